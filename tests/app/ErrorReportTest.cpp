// Failure reports: the context they carry and empty, the engine's records, and the dump file.

#include "AppTestSupport.h"

#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "base/StringTable.h"
#include "engine/EngineStatus.h"
#include "support/ScriptedUserInterface.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {

void FailInside(const char* operation)
{
    ErrorContext context(operation);
    throw std::runtime_error("boom");
}

class ErrorReportTest : public testing::Test {
protected:
    void SetUp() override { TheErrorContext().ContextText(true); }

    TemporaryFolderOverride temp_;
};

const QString kDumpHead = QStringLiteral(
    "------------------------------------------------\n"
    "Vellacord encountered an error. The error message will be shown below this window. Please leave this window "
    "open until you have confirmed the error message.\n");
const QString kEnglishCrash = QStringLiteral(
    "Please confirm the Vellacord error message box and wait until Vellacord has closed. Then start the windows "
    "utility 'DRWTSN32' and send me the contents of the log file.\n");
const QString kEnglishRequest =
    QStringLiteral("\nPlease send the contents of this file to support@vellacord.example. Thank you.\n\n");
const QString kGerman = QStringLiteral(
    "Vellacord ist in einen Fehlerzustand gelaufen. Die Fehlermeldung wird unterhalb dieses Fensters angezeigt. "
    "Bitte lassen Sie dieses Fenster geöffnet bis Sie die Fehlermeldung bestätigt haben.\n");
const QString kGermanCrash = QStringLiteral(
    "Bitte bestätigen Sie die Vellacord Fehlermeldung und warten Sie, bis Vellacord beendet ist. Starten Sie dann "
    "das Windows utility 'DRWTSN32' und senden Sie mir den Inhalt des Log files.\n");
const QString kGermanRequest =
    QStringLiteral("\nBitte senden Sie den Inhalt dieser Datei an support@vellacord.example. Vielen Dank.\n\n");

} // namespace

TEST_F(ErrorReportTest, DescribeAndReportCarryTheContextAndEmptyIt)
{
    ScriptedUserInterface ui;
    // Handled without a report: its context stays and ends the next report.
    try {
        FailInside("handled earlier");
    } catch (const std::runtime_error&) {
    }
    EXPECT_THROW(FailInside("Saving record"), std::runtime_error);

    ui.ExpectMessageText(QStringLiteral("Operation failed"));
    ReportFailure(QStringLiteral("database unavailable"), ReportStyle::Error);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral(
                  "Operation failed - \nthe error is \"database unavailable\"\nSaving record\n handled earlier\n "));
    EXPECT_EQ(ui.messages[0].icon, Icon::Error);
    EXPECT_TRUE(ui.messages[0].foreground);

    EXPECT_EQ(DescribeError(QStringLiteral("again")), QStringLiteral("the error is \"again\"\n"));

    ui.ExpectMessageText(QStringLiteral("x"));
    ReportFailure(QStringLiteral("x"), ReportStyle::Information);
    EXPECT_EQ(ui.messages[1].icon, Icon::Information);
    EXPECT_FALSE(ui.messages[1].foreground);
}

TEST_F(ErrorReportTest, EngineRecordsGoBehindDetailsAndTheTextSaysWhatTheyMean)
{
    ScriptedUserInterface ui;
    const engine::ErrorRecords records{
        {QStringLiteral("near \"selec\": syntax error"), 1, QStringLiteral("selec * from x")}};
    ui.ExpectMessageText(QStringLiteral("failed to create database"), Answer::No);
    EXPECT_EQ(ShowOleDbErrors(ui, engine::kFaultyCommand, records, QStringLiteral("failed to create database")),
              Answer::No);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].buttons, Buttons::YesNo);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("The database could not carry out the operation.\n\nfailed to create database"));
    EXPECT_EQ(ui.messages[0].details,
              QStringLiteral("OLE DB Error Record dump for hr = 0x80040e14\n"
                             "Row #:    0 Source: \"SQLite\" Description: \"near \"selec\": syntax error\" "
                             "Extended Code:    1 Statement: \"selec * from x\"\n"
                             "OLE DB Error Record dump end\n"));

    // A server's record says which engine reported it.
    const engine::ErrorRecords serverRecords{{QStringLiteral("relation \"x\" does not exist (SQLSTATE 42P01)"), 1,
                                              QStringLiteral("SELECT * FROM x"), engine::FailureKind::Other,
                                              QStringLiteral("postgresql://dbhost/team")}};
    EXPECT_TRUE(
        OleDbErrorReport(engine::kFaultyCommand, serverRecords).contains(QStringLiteral("Source: \"PostgreSQL\"")));

    // A failure without records says so, behind "Details" too.
    ui.ExpectMessageText(QStringLiteral("The database could not"), Answer::Yes);
    EXPECT_EQ(ShowOleDbErrors(ui, engine::kFailure, {}), Answer::Yes);
    EXPECT_EQ(
        ui.messages[1].details,
        QStringLiteral(
            "OLE DB Error Record dump for hr = 0x80004005\nNo OLE DB Error Information found: hr = 0x80004005\n"));
}

// Each kind of failure the engine tells apart reads as a sentence naming the file; none shows the
// engine's own words, a status code or a statement.
TEST_F(ErrorReportTest, FailureTextsNameTheCauseAndTheFile)
{
    using engine::FailureKind;
    QTemporaryDir folder;
    const QString file = folder.path() + QStringLiteral("/team.defl");
    const auto text = [&](FailureKind kind, const QString& where) {
        return FailureText(
            {{QStringLiteral("database or disk is full"), 13, QStringLiteral("BEGIN IMMEDIATE"), kind, where}});
    };
    EXPECT_EQ(text(FailureKind::DiskFull, file),
              QStringLiteral("The disk holding %1 is full; your edits are kept.").arg(file));
    EXPECT_TRUE(text(FailureKind::NotADatabase, file).startsWith(LoadString(125) + QStringLiteral("\n") + file));
    EXPECT_TRUE(text(FailureKind::Damaged, file).contains(QStringLiteral("damaged or cut off")));
    // Read-only: the file or the folder, whichever it is.
    EXPECT_TRUE(text(FailureKind::ReadOnly, file).startsWith(QStringLiteral("The database %1 is read-only").arg(file)));
    EXPECT_TRUE(
        text(FailureKind::ReadOnly, folder.path())
            .startsWith(QStringLiteral("The folder %1, which holds the database, is read-only").arg(folder.path())));
    EXPECT_TRUE(text(FailureKind::Locked, file).contains(QStringLiteral("Another program keeps %1 locked").arg(file)));
    EXPECT_TRUE(text(FailureKind::Unreachable, QString())
                    .startsWith(QStringLiteral("Vellacord cannot reach the "
                                               "database")));
    for (const FailureKind kind :
         {FailureKind::Other, FailureKind::NotADatabase, FailureKind::Damaged, FailureKind::DiskFull,
          FailureKind::ReadOnly, FailureKind::Locked, FailureKind::Unreachable, FailureKind::Maintenance}) {
        const QString shown = text(kind, file);
        EXPECT_FALSE(shown.contains(QStringLiteral("disk is full")) || shown.contains(QStringLiteral("BEGIN")) ||
                     shown.contains(QStringLiteral("0x")))
            << shown.toStdString();
    }
    EXPECT_TRUE(text(FailureKind::Maintenance, file).startsWith(file + QStringLiteral(" is locked for maintenance")));
    // Not a database, nor read-only, is told in network words.
    EXPECT_FALSE(text(FailureKind::ReadOnly, file).contains(QStringLiteral("network")));
    EXPECT_FALSE(text(FailureKind::NotADatabase, file).contains(QStringLiteral("network")));
}

TEST_F(ErrorReportTest, DumpTextHasBothLanguagesAndCrashLinesOnlyWhenCrashing)
{
    const QDateTime at(QDate(2024, 3, 5), QTime(14, 7, 9));
    const QString tail = QStringLiteral("------------------------------------------------\n"
                                        "Vellacord exception at %1\n"
                                        "Error: Exception caught: CHResult error code: 80004005\n"
                                        "Context:\nSaving record\n \n"
                                        "__________________________________________________________\n")
                             .arg(QLocale::system().toString(at, QLocale::ShortFormat));
    const QString message = QStringLiteral("Exception caught: CHResult error code: 80004005");
    EXPECT_EQ(ErrorDumpText(message, false, at, QStringLiteral("Saving record\n ")),
              kDumpHead + kEnglishRequest + kGerman + kGermanRequest + tail);
    EXPECT_EQ(ErrorDumpText(message, true, at, QStringLiteral("Saving record\n ")),
              kDumpHead + kEnglishCrash + kEnglishRequest + kGerman + kGermanCrash + kGermanRequest + tail);
}

TEST_F(ErrorReportTest, DumpIsWrittenAndOpenedWithoutEmptyingTheContext)
{
    ScriptedUserInterface ui;
    EXPECT_THROW(FailInside("compacting database"), std::runtime_error);
    QFile old(ErrorDumpPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'o'));
    old.close();

    WriteErrorDump(QStringLiteral("unspecified exception"), true);
    ASSERT_EQ(ErrorDumpPath(), temp_.file(QStringLiteral("Vellacord.dump.txt")));
    QFile dump(ErrorDumpPath());
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(dump.readAll());
    EXPECT_TRUE(content.startsWith(kDumpHead + kEnglishCrash));
    EXPECT_TRUE(content.contains(QStringLiteral("Error: unspecified exception\nContext:\ncompacting database\n \n")));
    EXPECT_FALSE(content.contains(QLatin1Char('o') + QString(20, QLatin1Char('o')))) << "the earlier dump is replaced";
    ASSERT_EQ(ui.openedWithDesktop.size(), 1u);
    EXPECT_EQ(ui.openedWithDesktop[0], ErrorDumpPath());
    EXPECT_EQ(TheErrorContext().ContextText(true), "compacting database\n ");

    // A temporary folder that is missing or cannot be written: no dump, nothing opened, no failure.
    qputenv("TMPDIR", temp_.file(QStringLiteral("missing/folder")).toUtf8());
    EXPECT_TRUE(ErrorDumpPath().isEmpty());
    EXPECT_NO_THROW(WriteErrorDump(QStringLiteral("x"), false));
    qputenv("TMPDIR", temp_.file(QStringLiteral("Vellacord.dump.txt")).toUtf8()); // a file, not a folder
    EXPECT_NO_THROW(WriteErrorDump(QStringLiteral("x"), false));
    EXPECT_EQ(ui.openedWithDesktop.size(), 1u);
}

TEST(ErrorContextEdges, SeparatorsAndAnEntryThatDoesNotFitEntirely)
{
    ErrorContextBuffer buffer;
    buffer.push("one");
    buffer.push("two");
    buffer.push("three");
    EXPECT_EQ(buffer.ContextText(false), "three\n two\n one\n ");
    EXPECT_EQ(buffer.ContextText(true), "three\n two\n one\n ");
    EXPECT_EQ(buffer.ContextText(false), "");

    // Fill until only a few bytes are left: a text longer than the room is recorded empty,
    // the earlier ones stay intact.
    ErrorContextBuffer nearlyFull;
    const std::string block(1000, 'b');
    for (int i = 0; i < 8; ++i)
        nearlyFull.push(block.c_str());
    const std::uint32_t room = nearlyFull.offsetTop() - nearlyFull.textEnd();
    ASSERT_GT(room, 8u);
    const std::string tooLong(room, 'z');
    nearlyFull.push(tooLong.c_str());
    const std::string text = nearlyFull.ContextText(false);
    EXPECT_EQ(text.find('z'), std::string::npos);
    EXPECT_EQ(text.substr(0, 2), "\n ");
    EXPECT_EQ(std::count(text.begin(), text.end(), 'b'), 8000);
}
