// Adding files to a defect's attachment folder: the first makes the folder, a clash offers
// save-as, and a cancelled save-as leaves the old file and reports the system's text.

#include "document/AttachmentCopy.h"
#include "platform/FileCopy.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <gtest/gtest.h>

namespace {

void Write(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(AttachmentCopy, TheFirstFileMakesTheFolderAndANameClashOffersSaveAs)
{
    TempFolder folder;
    ScriptedUserInterface ui;
    const QString database = folder.file(QStringLiteral("tracker.mdb"));
    const QString source = folder.file(QStringLiteral("notes.txt"));
    const QString copied = folder.file(QStringLiteral("tracker.mdb.attach/0000000003/notes.txt"));
    Write(source, "first");
    ui.ExpectFile(source);
    EXPECT_TRUE(ChooseAndAddAttachment(ui, database, 3));
    EXPECT_EQ(Read(copied), "first");

    // The same name again: save-as on the clashing name, and the copy goes where the user says.
    Write(source, "second");
    const QString renamed = folder.file(QStringLiteral("tracker.mdb.attach/0000000003/notes-2.txt"));
    ui.ExpectFile(renamed);
    EXPECT_TRUE(AddAttachment(ui, database, 3, source));
    ASSERT_EQ(ui.fileRequests.size(), 2u);
    EXPECT_EQ(ui.fileRequests[1].kind, FileDialogRequest::Kind::Save);
    EXPECT_EQ(ui.fileRequests[1].initialPath, copied);
    EXPECT_TRUE(ui.fileRequests[1].overwritePrompt);
    EXPECT_EQ(Read(renamed), "second");

    // Save-as onto the file itself must not destroy it.
    ui.ExpectFile(renamed);
    EXPECT_TRUE(AddAttachment(ui, database, 3, renamed));
    EXPECT_EQ(Read(renamed), "second");

    // Cancelled: the old file stays and string 158 names the clash in the system's words.
    ui.ExpectFile(std::nullopt);
    ui.ExpectMessage(158);
    EXPECT_FALSE(AddAttachment(ui, database, 3, source));
    EXPECT_EQ(Read(copied), "first");
    EXPECT_EQ(ui.messages.back().text,
              QStringLiteral("Could not copy the file. The operating system returned the following error: ") +
                  SystemErrorText(EEXIST));
    ui.VerifyAllUsed();
}

TEST(AttachmentCopy, AFileWithoutAProgramIsToldAndRemovingAsksFirstAndCountsWhatWent)
{
    TempFolder folder;
    ScriptedUserInterface ui;
    const QString log = folder.file(QStringLiteral("trace.log"));
    const QString shot = folder.file(QStringLiteral("shot.png"));
    Write(log, "log");
    Write(shot, "png");

    EXPECT_TRUE(OpenAttachment(ui, log));
    ui.openWithDesktopSucceeds = false;
    ui.ExpectMessageText(QStringLiteral("'trace.log' could not be opened"));
    EXPECT_FALSE(OpenAttachment(ui, log));
    EXPECT_EQ(ui.openedWithDesktop.size(), 2u);

    // No keeps both; one file is named in the question, several are counted.
    ui.ExpectMessageText(QStringLiteral("Remove the attachment 'trace.log'"), Answer::No);
    EXPECT_EQ(RemoveAttachments(ui, {log}), 0);
    EXPECT_TRUE(QFile::exists(log));
    ui.ExpectMessageText(QStringLiteral("Remove the 3 selected attachments"), Answer::Yes);
    ui.ExpectMessageText(QStringLiteral("could not be removed; they may be open in another program or read-only: "
                                        "gone.txt"));
    EXPECT_EQ(RemoveAttachments(ui, {log, shot, folder.file(QStringLiteral("gone.txt"))}), 2);
    EXPECT_FALSE(QFile::exists(log));
    EXPECT_FALSE(QFile::exists(shot));
    EXPECT_EQ(RemoveAttachments(ui, {}), 0) << "nothing selected, nothing asked";
    ui.VerifyAllUsed();
}

TEST(AttachmentCopy, NothingIsWrittenThroughALinkOrOutsideTheDefectsFolder)
{
    TempFolder folder;
    ScriptedUserInterface ui;
    const QString database = folder.file(QStringLiteral("team.defl"));
    const QString source = folder.file(QStringLiteral("notes.txt"));
    Write(source, "mine");
    const QString elsewhere = folder.file(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    const QString victim = elsewhere + QStringLiteral("/notes.txt");
    Write(victim, "theirs");

    // The defect's folder is a link: the user hears why, and nothing lands where it points.
    ASSERT_TRUE(QDir().mkpath(folder.file(QStringLiteral("team.attach"))));
    const QString linkedFolder = folder.file(QStringLiteral("team.attach/0000000005"));
    ASSERT_TRUE(QFile::link(elsewhere, linkedFolder));
    ui.ExpectMessageText(linkedFolder);
    EXPECT_FALSE(AddAttachment(ui, database, 5, source));
    EXPECT_EQ(QDir(elsewhere).entryList(QDir::Files), QStringList{"notes.txt"});
    EXPECT_EQ(Read(victim), "theirs");

    // A link in the folder under the file's name: the clash is offered as one, and saving over it
    // replaces the link, not the file it points to.
    const QString directory = folder.file(QStringLiteral("team.attach/0000000006"));
    ASSERT_TRUE(QDir().mkpath(directory));
    ASSERT_TRUE(QFile::link(victim, directory + QStringLiteral("/notes.txt")));
    ui.ExpectFile(directory + QStringLiteral("/notes.txt"));
    EXPECT_TRUE(AddAttachment(ui, database, 6, source));
    EXPECT_FALSE(QFileInfo(directory + QStringLiteral("/notes.txt")).isSymLink());
    EXPECT_EQ(Read(directory + QStringLiteral("/notes.txt")), "mine");
    EXPECT_EQ(Read(victim), "theirs");

    // Save-as elsewhere is refused and asked again; a cancel then ends with string 158.
    ui.ExpectFile(victim);
    ui.ExpectMessage(2306);
    ui.ExpectFile(std::nullopt);
    ui.ExpectMessage(158);
    EXPECT_FALSE(AddAttachment(ui, database, 6, source));
    EXPECT_EQ(Read(victim), "theirs");
    ui.VerifyAllUsed();
}
