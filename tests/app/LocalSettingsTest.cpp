// Local settings in the profile: the round trip, damaged values, hints, their removal, translated names.

#include "AppTestSupport.h"

#include "app/RemoveLocalSettings.h"
#include "app/WebPage.h"
#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/Hint.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "engine/EngineLibrary.h"
#include "platform/DisplayNames.h"
#include "platform/LocalSettings.h"
#include "platform/Profile.h"
#include "support/ScriptedUserInterface.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class LocalSettingsTest : public testing::Test {
protected:
    void SetUp() override { ForgetLocalSettingsAndContext(); }
    void TearDown() override { ForgetLocalSettingsAndContext(); }

    static void Put(const QString& key, const QVariant& value)
    {
        const auto profile = OpenProfile();
        profile->setValue(key, value);
    }

    static QByteArray Bytes(std::initializer_list<std::int32_t> words)
    {
        QByteArray bytes;
        for (const std::int32_t word : words)
            bytes.append(reinterpret_cast<const char*>(&word), sizeof word);
        return bytes;
    }
};

} // namespace

TEST_F(LocalSettingsTest, RoundTripOfEveryStoredValue)
{
    ASSERT_TRUE(ProfilePath().endsWith(QStringLiteral("/VellacordTeam/Vellacord.conf")));
    ASSERT_TRUE(ProfilePath().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));

    LocalSettings written;
    written.windowPlacement = WindowPlacement::Of(QRect(10, 20, 300, 200), WindowPlacement::kMaximized);
    written.mainWindowIsVisible = false;
    written.mailSettings.mailMethod = 2;
    written.mailTool = QStringLiteral("sendmail %TO%");
    written.includeAttachments = true;
    written.hints = {180, 1002};
    written.systray = true;
    written.sendMailHistory = {false, true, true, true, QStringLiteral("a@b.example"), QStringLiteral("note"), 3};
    written.Save();
    EXPECT_EQ(written.mailSettings.size, 8);

    const auto profile = OpenProfile();
    EXPECT_FALSE(profile->contains(QStringLiteral("Setup/websrc")));
    EXPECT_FALSE(profile->contains(QStringLiteral("Setup/installsrc")));
    EXPECT_FALSE(profile->contains(QStringLiteral("Settings/externalMailToolTimeout")));
    EXPECT_EQ(profile->value(QStringLiteral("Settings/hints")).toByteArray(), Bytes({180, 1002}));
    EXPECT_EQ(profile->value(QStringLiteral("Settings/mail")).toByteArray(), Bytes({8, 2}));

    LocalSettings read;
    EXPECT_TRUE(read.Load(engine::LibraryVersionNumber()));
    EXPECT_TRUE(read.loaded);
    EXPECT_EQ(read.windowPlacement.ToBytes(), written.windowPlacement.ToBytes());
    EXPECT_EQ(read.windowPlacement.NormalRect(), QRect(10, 20, 300, 200));
    EXPECT_FALSE(read.mainWindowIsVisible);
    EXPECT_EQ(read.mailSettings.size, 8);
    EXPECT_EQ(read.mailSettings.mailMethod, 2);
    EXPECT_EQ(read.mailTool, written.mailTool);
    EXPECT_TRUE(read.includeAttachments);
    EXPECT_EQ(read.hints, (std::vector<int>{180, 1002}));
    EXPECT_TRUE(read.systray);
    EXPECT_FALSE(read.sendMailHistory.to);
    EXPECT_TRUE(read.sendMailHistory.from);
    EXPECT_TRUE(read.sendMailHistory.extra);
    EXPECT_TRUE(read.sendMailHistory.attach);
    EXPECT_EQ(read.sendMailHistory.addr, QStringLiteral("a@b.example"));
    EXPECT_EQ(read.sendMailHistory.comment, QStringLiteral("note"));
    EXPECT_EQ(read.sendMailHistory.sendMethod, 3);
    EXPECT_EQ(read.externalMailToolTimeout, 50000);
    EXPECT_TRUE(read.memoSortable);
    EXPECT_EQ(read.webSource, QStringLiteral("@@page?empty=&gkw=@@keyword"));
}

TEST_F(LocalSettingsTest, LoadStopsWhereAValueIsMissing)
{
    LocalSettings fresh;
    EXPECT_FALSE(fresh.Load(engine::LibraryVersionNumber()));
    EXPECT_FALSE(fresh.loaded);
    EXPECT_TRUE(fresh.mainWindowIsVisible);
    EXPECT_TRUE(fresh.sendMailHistory.to);

    // Hints and the setup values come before the window position and are read anyway.
    Put(QStringLiteral("Settings/hints"), Bytes({180}) + QByteArray("\x01\x02", 2));
    Put(QStringLiteral("Settings/mainWindowIsVisible"), 0);
    Put(QStringLiteral("Settings/mailTool"), QStringLiteral("tool"));
    Put(QStringLiteral("Setup/websrc"), QStringLiteral("https://x.example/@@page/@@keyword"));
    Put(QStringLiteral("Setup/installsrc"), QStringLiteral("/opt/setup"));
    LocalSettings noPlacement;
    EXPECT_FALSE(noPlacement.Load(engine::LibraryVersionNumber()));
    EXPECT_EQ(noPlacement.hints, (std::vector<int>{180}));
    EXPECT_EQ(noPlacement.webSource, QStringLiteral("https://x.example/@@page/@@keyword"));
    EXPECT_EQ(noPlacement.installSource, QStringLiteral("/opt/setup"));
    EXPECT_TRUE(noPlacement.mainWindowIsVisible);
    EXPECT_TRUE(noPlacement.mailTool.isEmpty());

    // With the position but no "mail" the visibility is read, the rest is not.
    Put(QStringLiteral("Settings/mainWindowPosition"), QByteArray(44, '\x01'));
    Put(QStringLiteral("Settings/externalMailToolTimeout"), 1234);
    LocalSettings noMail;
    EXPECT_FALSE(noMail.Load(engine::LibraryVersionNumber()));
    EXPECT_FALSE(noMail.loaded);
    EXPECT_EQ(noMail.windowPlacement.ToBytes(), QByteArray(44, '\x01'));
    EXPECT_FALSE(noMail.mainWindowIsVisible);
    EXPECT_TRUE(noMail.mailTool.isEmpty());
    EXPECT_EQ(noMail.externalMailToolTimeout, 50000);

    // A short "mail" value overwrites only what it holds.
    Put(QStringLiteral("Settings/mail"), Bytes({8}));
    LocalSettings shortMail;
    shortMail.mailSettings.mailMethod = 7;
    EXPECT_TRUE(shortMail.Load(engine::LibraryVersionNumber()));
    EXPECT_EQ(shortMail.mailSettings.size, 8);
    EXPECT_EQ(shortMail.mailSettings.mailMethod, 7);
    EXPECT_EQ(shortMail.mailTool, QStringLiteral("tool"));
    EXPECT_EQ(shortMail.externalMailToolTimeout, 1234);

    // A long one copies at most eight bytes.
    Put(QStringLiteral("Settings/mail"), Bytes({8, 1, 99}));
    LocalSettings longMail;
    EXPECT_TRUE(longMail.Load(engine::LibraryVersionNumber()));
    EXPECT_EQ(longMail.mailSettings.mailMethod, 1);
}

TEST_F(LocalSettingsTest, TheRecentDatabasesAreKeptLatestFirstAndSurviveWithoutTheOtherSettings)
{
    LocalSettings settings;
    for (int i = 0; i < LocalSettings::kRecentDatabases + 2; ++i)
        settings.RememberDatabase(QStringLiteral("/share/team%1.defl").arg(i));
    settings.RememberDatabase(QStringLiteral("/share/team3.defl"));
    settings.RememberDatabase(QString());
    ASSERT_EQ(settings.recentDatabases.size(), LocalSettings::kRecentDatabases);
    EXPECT_EQ(settings.recentDatabases.front(), "/share/team3.defl") << "reopened: first, and only once";
    EXPECT_EQ(settings.recentDatabases.count(QStringLiteral("/share/team3.defl")), 1);
    EXPECT_EQ(settings.recentDatabases.at(1), "/share/team7.defl");
    EXPECT_FALSE(settings.recentDatabases.contains(QStringLiteral("/share/team1.defl"))) << "the oldest go";

    // Written at once and alone: a program that never ends normally still finds them next time.
    EXPECT_TRUE(settings.SaveRecentDatabases());
    EXPECT_FALSE(OpenProfile()->contains(QStringLiteral("Settings/mainWindowPosition")));
    LocalSettings next;
    EXPECT_FALSE(next.Load(engine::LibraryVersionNumber()));
    EXPECT_EQ(next.recentDatabases, settings.recentDatabases);

    // After "Remove local settings" nothing is written back.
    ForgetLocalSettingsAndContext();
    next.dontSaveSettings = true;
    next.SaveRecentDatabases();
    EXPECT_FALSE(QFile::exists(ProfilePath()));

    next.dontSaveSettings = false;
    next.Save();
    LocalSettings afterSave;
    EXPECT_TRUE(afterSave.Load(engine::LibraryVersionNumber()));
    EXPECT_EQ(afterSave.recentDatabases, settings.recentDatabases);
}

TEST_F(LocalSettingsTest, TenByteHintsGiveTwoIds)
{
    Put(QStringLiteral("Settings/hints"), Bytes({181, 1000}) + QByteArray("\xff\xff", 2));
    LocalSettings settings;
    settings.hints = {5};
    settings.Load(engine::LibraryVersionNumber());
    EXPECT_EQ(settings.hints, (std::vector<int>{181, 1000}));
}

TEST_F(LocalSettingsTest, DamagedPlacementFailsAndSavingRepairsIt)
{
    Put(QStringLiteral("Settings/mainWindowPosition"), QByteArray(43, '\x02'));
    Put(QStringLiteral("Settings/mail"), Bytes({8, 1}));
    LocalSettings settings;
    try {
        settings.Load(engine::LibraryVersionNumber());
        FAIL() << "a 43-byte placement must fail";
    } catch (const check::assertion_failed& e) {
        EXPECT_STREQ(e.what(), "the registry settings are damaged");
    }
    EXPECT_EQ(TheErrorContext().ContextText(true), "loading settings from registry\n ");
    EXPECT_EQ(settings.mailSettings.mailMethod, 0);

    settings.Save();
    LocalSettings repaired;
    EXPECT_TRUE(repaired.Load(engine::LibraryVersionNumber()));
    EXPECT_TRUE(repaired.windowPlacement.IsEmpty());
}

TEST_F(LocalSettingsTest, FailedWriteThrowsABooleanResult)
{
    QDir().mkpath(ProfilePath()); // a folder where the file should be
    LocalSettings settings;
    EXPECT_THROW(settings.Save(), CBResult);
    EXPECT_EQ(TheErrorContext().ContextText(true), "saving settings to registry\n ");
}

TEST_F(LocalSettingsTest, EngineOlderThanRequiredEndsTheStart)
{
    LocalSettings settings;
    try {
        settings.CheckDatabaseEngine(3038999);
        FAIL() << "an old engine must be refused";
    } catch (const check::assertion_failed& e) {
        EXPECT_STREQ(e.what(), "could not load database engine version info.");
    }
    EXPECT_FALSE(settings.memoSortable);
    settings.CheckDatabaseEngine(kMinimumEngineVersion);
    EXPECT_TRUE(settings.memoSortable);
}

TEST_F(LocalSettingsTest, RemoveLocalSettingsAsksAndRemovesTheFileAndTheEmptyVendorFolder)
{
    ScriptedUserInterface ui;
    LocalSettings settings;
    settings.Save();
    Put(QStringLiteral("Language/Subject"), QStringLiteral("Betreff"));

    ui.ExpectMessage(132, Answer::No);
    EXPECT_FALSE(RemoveLocalSettings(ui, settings));
    EXPECT_TRUE(QFile::exists(ProfilePath()));
    EXPECT_FALSE(settings.dontSaveSettings);
    EXPECT_EQ(ui.messages.back().buttons, Buttons::YesNo);
    EXPECT_EQ(ui.messages.back().icon, Icon::Question);

    // Another program's file keeps the vendor folder.
    QFile other(VendorFolder() + QStringLiteral("/Other.conf"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    ui.ExpectMessage(132, Answer::Yes);
    EXPECT_TRUE(RemoveLocalSettings(ui, settings));
    EXPECT_FALSE(QFile::exists(ProfilePath()));
    EXPECT_TRUE(QDir(VendorFolder()).exists());
    EXPECT_TRUE(settings.dontSaveSettings);
    EXPECT_EQ(TranslateDisplayName(QStringLiteral("Subject")), QStringLiteral("Subject"));
    LocalSettings reloaded;
    EXPECT_FALSE(reloaded.Load(engine::LibraryVersionNumber()));

    QFile::remove(other.fileName());
    settings.dontSaveSettings = false;
    settings.Save();
    ui.ExpectMessage(132, Answer::Yes);
    EXPECT_TRUE(RemoveLocalSettings(ui, settings));
    EXPECT_FALSE(QDir(VendorFolder()).exists());
}

TEST_F(LocalSettingsTest, TranslateDisplayNameReadsTheLanguageGroup)
{
    EXPECT_EQ(TranslateDisplayName(QStringLiteral("Subject")), QStringLiteral("Subject"));
    Put(QStringLiteral("Language/Subject"), QStringLiteral("Betreff"));
    Put(QStringLiteral("Language/Long"), QString(1500, QLatin1Char('l')));
    EXPECT_EQ(TranslateDisplayName(QStringLiteral("Subject")), QStringLiteral("Betreff"));
    EXPECT_EQ(TranslateDisplayName(QStringLiteral("Status")), QStringLiteral("Status"));
    EXPECT_EQ(TranslateDisplayName(QStringLiteral("Long")).size(), 1023);
}

TEST_F(LocalSettingsTest, OpenWebPageFillsBothPlaceholdersAndReportsAFailure)
{
    ScriptedUserInterface ui;
    const QString savedSource = TheLocalSettings().webSource;
    EXPECT_EQ(WebPageAddress(QStringLiteral("@@page?empty=&gkw=@@keyword"), QStringLiteral("https://v.example/"),
                             QStringLiteral("homepage")),
              QStringLiteral("https://v.example/?empty=&gkw=homepage"));

    TheLocalSettings().webSource = QStringLiteral("https://w.example/@@keyword/@@page/@@page");
    OpenWebPage(QStringLiteral("p"), QStringLiteral("k"));
    ASSERT_EQ(ui.openedWithDesktop.size(), 1u);
    EXPECT_EQ(ui.openedWithDesktop[0], QStringLiteral("https://w.example/k/p/p"));
    EXPECT_EQ(ui.CountOf("message"), 0);

    ui.openWithDesktopSucceeds = false;
    ui.ExpectMessage(147);
    OpenWebPage(QStringLiteral("p"), QStringLiteral("k"));
    EXPECT_TRUE(ui.messages.back().text.startsWith(
        QStringLiteral("Your webbrowser could not be started. Please open the webpage 'https://w.example/k/p/p' "
                       "manually.\n\n(diagnostic error code: ")));
    TheLocalSettings().webSource = savedSource;
}

TEST(Hints, ShownOnceUnlessTurnedOff)
{
    ScriptedUserInterface ui;
    std::vector<int> hints = {1000};
    EXPECT_EQ(ShowHint(ui, 1000, hints, HintStyle::YesNo, Answer::No, false), Answer::No);
    EXPECT_EQ(ui.CountOf("hint"), 0);

    ui.ExpectHint(1002, {Answer::Ok, true});
    EXPECT_EQ(ShowHint(ui, 1002, hints, HintStyle::Ok, Answer::Cancel, true), Answer::Ok);
    EXPECT_EQ(ui.interactions().back().text, LoadString(1002));
    EXPECT_EQ(hints, (std::vector<int>{1000, 1002}));
    EXPECT_EQ(ShowHint(ui, 1002, hints, HintStyle::Ok, Answer::Cancel, true), Answer::Cancel)
        << "a hint turned off gives the caller's default at once";

    ui.ExpectHint(180, {Answer::Ok, false});
    EXPECT_EQ(ShowHint(ui, 180, hints, HintStyle::Ok, Answer::Cancel, true), Answer::Ok);
    EXPECT_EQ(hints.size(), 2u);
}

TEST(Hints, ButtonsByTheLowFourBitsOfTheStyle)
{
    const auto ok = HintButtonsForStyle(HintStyle::Ok);
    ASSERT_EQ(ok.size(), 1u);
    EXPECT_EQ(ok[0].caption, QStringLiteral("OK"));
    EXPECT_EQ(ok[0].result, Answer::Ok);

    const auto yesNo = HintButtonsForStyle(static_cast<HintStyle>(0x34));
    ASSERT_EQ(yesNo.size(), 2u);
    EXPECT_EQ(yesNo[0].caption, QStringLiteral("&Yes"));
    EXPECT_EQ(yesNo[0].result, Answer::Yes);
    EXPECT_EQ(yesNo[1].caption, QStringLiteral("&No"));
    EXPECT_EQ(yesNo[1].result, Answer::No);

    for (const int style : {1, 2, 0x23}) {
        const auto okCancel = HintButtonsForStyle(static_cast<HintStyle>(style));
        ASSERT_EQ(okCancel.size(), 2u);
        EXPECT_EQ(okCancel[1].caption, QStringLiteral("Cancel"));
        EXPECT_EQ(okCancel[1].result, Answer::Cancel);
    }
    EXPECT_EQ(HintButtonsForStyle(static_cast<HintStyle>(0x10)).size(), 1u);
}
