#pragma once
// A document on a fresh file with the administrator Ann and the user Bob, for the options tests.

#include "document/DefectDocFixture.h"
#include "platform/LocalSettings.h"

class OptionsFixture : public DefectDocFixture {
protected:
    void LogIn(const char* login)
    {
        AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"), {}, QStringLiteral("A"));
        AddStakeholder(setup_, 2, QStringLiteral("Bob"), QStringLiteral("bob"));
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        doc_.SetAutoLogin(QLatin1String(login));
        ASSERT_TRUE(doc_.OnOpenDocument(path_));
    }

    LocalSettings settings_;
};
