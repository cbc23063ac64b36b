#pragma once
// A document on a fresh database, with a connection of its own for arranging and checking rows.

#include "DocumentTestSupport.h"

#include "document/DefectDoc.h"
#include "platform/OleDate.h"
#include "support/ScriptedUserInterface.h"

class DefectDocFixture : public DatabaseTest {
protected:
    DefectDocFixture() { EXPECT_EQ(setup_.Open(path_), engine::kOk); }

    engine::Connection setup_;
    ScriptedUserInterface ui_;
    ManualClock clock_;
    NoAdministration administration_;
    CDefectDoc doc_{ui_, clock_, administration_};
};
