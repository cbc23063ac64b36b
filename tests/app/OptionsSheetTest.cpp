// The options sheet's values: the lists, storing every page, other workstations' changes, who may change what.

#include "OptionsFixture.h"

#include "app/OptionsHotkey.h"
#include "app/OptionsSheet.h"
#include "base/Check.h"
#include "mail/NotificationSender.h"

#include <QFile>

namespace {

using mail::Tool;

TEST(OptionsLists, AnIntervalSelectsTheLastEntryNotAboveIt)
{
    const auto& entries = IntervalEntries();
    EXPECT_EQ(entries[static_cast<std::size_t>(IntervalIndexFor(45))].minutes, 30);
    EXPECT_EQ(IntervalIndexFor(0), 0);
    EXPECT_EQ(IntervalIndexFor(5000), static_cast<int>(entries.size()) - 1);
    EXPECT_EQ(entries[0].text, QStringLiteral("never"));
    EXPECT_EQ(entries[2].text, QStringLiteral("05 min"));
    EXPECT_EQ(entries.back().text, QStringLiteral("12:00 h"));
    EXPECT_EQ(GrowthEntries().front(), QStringLiteral("off"));
}

TEST(OptionsLists, ToolCommandLinesAreCheckedIgnoringCase)
{
    const QString zip = QStringLiteral("zip \"%zipfile%\" \"%attachmentdir%\"");
    EXPECT_FALSE(mail::CheckToolCommands(QStringLiteral("mailer \"%TEXTFILE%\" -to \"%TO%\""), zip));
    EXPECT_FALSE(mail::CheckToolCommands(QString(), QString()));
    EXPECT_FALSE(mail::CheckToolCommands(*mail::BrowsedToolCommand(Tool::Mail, QStringLiteral("/usr/bin/mail")), zip))
        << "a browsed mail tool works as it is filled in";
    const auto server =
        mail::CheckToolCommands(QStringLiteral("blat %textfile% -to %to% -server YOUR_SERVER_HERE"), zip);
    ASSERT_TRUE(server);
    EXPECT_EQ(server->stringId, mail::options_string::kServerMissing);
    const auto missing = mail::CheckToolCommands(QString(), QStringLiteral("zip \"%attachmentdir%\""));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->stringId, mail::options_string::kTokenMissing);
    EXPECT_EQ(missing->tool, Tool::Compression);
    EXPECT_TRUE(mail::ProblemText(*missing).startsWith(QStringLiteral("The variable %zipfile% is missing")));
    EXPECT_FALSE(mail::BrowsedToolCommand(Tool::Compression, QString(1951, QLatin1Char('p'))));
    // The mail tool's arguments need more than the 50 characters kept for them.
    EXPECT_TRUE(mail::BrowsedToolCommand(Tool::Compression, QString(1950, QLatin1Char('p'))));
    EXPECT_FALSE(mail::BrowsedToolCommand(Tool::Mail, QString(1950, QLatin1Char('p'))));
}

TEST(OptionsLists, MailMethodsAndHotkeys)
{
    EXPECT_EQ(mail::ChoiceForMethod(0), mail::MethodChoice::SystemMail);
    EXPECT_EQ(mail::MethodForChoice(mail::ChoiceForMethod(3)), 3);
    EXPECT_EQ(mail::MethodForChoice(mail::ChoiceForMethod(4)), 4);
    EXPECT_THROW(mail::ChoiceForMethod(2), check::assertion_failed);
    // Ctrl with the keypad's plus, the default, survives the key editor's round trip.
    const QKeyCombination keypadPlus = KeyCombinationOfHotkey(619);
    EXPECT_EQ(keypadPlus, QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus));
    EXPECT_EQ(HotkeyOfKeyCombination(keypadPlus), 619);
    EXPECT_EQ(HotkeyOfKeyCombination(QKeyCombination(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_F2)), 0x571);
    EXPECT_EQ(HotkeyOfKeyCombination(QKeyCombination(Qt::ControlModifier, Qt::Key_Plus)), 0);
}

class RecordingEffects : public OptionsEffects {
public:
    void RegisterHotkey(int hotkey) override { calls.push_back(QStringLiteral("hotkey %1").arg(hotkey)); }
    void ApplyTrayMode() override { calls.push_back(QStringLiteral("tray")); }
    std::vector<QString> calls;
};

class OptionsSheetTest : public OptionsFixture {
protected:
    // Changes every page, applies, and reads back what the file holds.
    SystemSettings ApplyChanges(OptionsSheet& sheet)
    {
        sheet.values.mailMethod = mail::MethodChoice::ExternalTool;
        sheet.values.hotkey = 0x571;
        sheet.values.autoCloseIndex = IntervalIndexFor(30);
        sheet.values.notifyOfChanges = false;
        sheet.values.systray = true;
        sheet.values.system.sendmailTool = QStringLiteral("mailer %to% %textfile%");
        sheet.values.system.BackupsToKeep = 12;
        EXPECT_TRUE(sheet.Apply());
        EXPECT_TRUE(doc_.LoadUserSettings());
        EXPECT_EQ(doc_.database().LoadSystemSettings(), engine::kOk);
        return doc_.database().settings();
    }

    RecordingEffects effects_;
};

TEST_F(OptionsSheetTest, AnAdministratorStoresEveryPageInOrder)
{
    LogIn("ann");
    OptionsSheet sheet(doc_, settings_, effects_);
    EXPECT_TRUE(sheet.globalEditable());
    const SystemSettings stored = ApplyChanges(sheet);
    EXPECT_EQ(stored.sendmailTool, QStringLiteral("mailer %to% %textfile%"));
    EXPECT_EQ(stored.BackupsToKeep, 12);
    EXPECT_EQ(settings_.mailSettings.mailMethod, mail::kMethodExternalTool);
    EXPECT_TRUE(settings_.systray);
    EXPECT_EQ(doc_.userSettings().AutoCloseDB, 30);
    EXPECT_EQ(doc_.userSettings().Hotkey, 0x571);
    EXPECT_EQ(doc_.userSettings().NotifyOfChanges, 0);
    EXPECT_EQ(effects_.calls, (std::vector<QString>{QStringLiteral("hotkey 1393"), QStringLiteral("tray")}));
}

TEST_F(OptionsSheetTest, AnotherWorkstationsChangesAreShownAndNotUndone)
{
    LogIn("ann");
    CDatabaseAccess other(ui_, clock_, path_);
    ASSERT_EQ(other.LoadSystemSettings(), engine::kOk);
    other.settings().email_template = QStringLiteral("theirs");
    ASSERT_EQ(other.SaveSystemSettings(), engine::kOk);
    OptionsSheet sheet(doc_, settings_, effects_);
    EXPECT_EQ(sheet.values.system.email_template, QStringLiteral("theirs"));
    // A compaction elsewhere while the sheet is open.
    other.settings().DateOfLastCompress = 46000.5;
    ASSERT_EQ(other.SaveSystemSettings(), engine::kOk);
    EXPECT_EQ(ApplyChanges(sheet).DateOfLastCompress, 46000.5);
}

TEST_F(OptionsSheetTest, GivingUpOnTheFileKeepsTheKnownGlobalSettings)
{
    LogIn("ann");
    OptionsSheet sheet(doc_, settings_, effects_);
    const SystemSettings known = doc_.database().settings();
    doc_.GoOffline();
    setup_.Close();
    ASSERT_TRUE(QFile::rename(path_, path_ + QStringLiteral(".away")));
    ui_.ExpectRetry(RetryAnswer::Cancel);
    sheet.values.system.BackupsToKeep = 12;
    EXPECT_FALSE(sheet.Apply());
    EXPECT_EQ(doc_.database().settings().BackupsToKeep, known.BackupsToKeep);
    EXPECT_EQ(doc_.database().settings().email_template, known.email_template);
}

TEST_F(OptionsSheetTest, OthersCannotChangeTheGlobalSettings)
{
    LogIn("bob");
    OptionsSheet sheet(doc_, settings_, effects_);
    EXPECT_FALSE(sheet.globalEditable());
    const SystemSettings before = doc_.database().settings();
    sheet.values.system.compressionTool = QStringLiteral("no tokens");
    EXPECT_FALSE(sheet.CheckGlobal());
    const SystemSettings stored = ApplyChanges(sheet);
    EXPECT_EQ(stored.sendmailTool, before.sendmailTool);
    EXPECT_EQ(stored.BackupsToKeep, before.BackupsToKeep);
    // Their own settings are theirs to change.
    EXPECT_EQ(doc_.userSettings().AutoCloseDB, 30);
}

} // namespace
