#pragma once
// A document on a fresh database, with a connection of its own for arranging and checking rows.

#include "DocumentTestSupport.h"

#include "document/DefectDoc.h"
#include "platform/OleDate.h"
#include "support/ScriptedUserInterface.h"

class DefectDocFixture : public DatabaseTest {
protected:
    DefectDocFixture() { EXPECT_EQ(setup_.Open(path_), engine::kOk); }

    // Stakeholders Ann (1) and Bob (2); the document's next login is Ann's, without a dialog.
    void AddAnnAndBobLoggingInAsAnn()
    {
        AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
        AddStakeholder(setup_, 2, QStringLiteral("Bob"), QStringLiteral("bob"));
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        doc_.SetAutoLogin(QStringLiteral("ann"));
    }

    engine::Connection setup_;
    ScriptedUserInterface ui_;
    ManualClock clock_;
    NoAdministration administration_;
    CDefectDoc doc_{ui_, clock_, administration_};
};
