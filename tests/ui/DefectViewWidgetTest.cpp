// The defect form on a real document: what marks it modified, lists whose ids are missing,
// status changes with their history, and the attachments page.

#include "document/DefectDocFixture.h"
#include "ui/DefectView.h"
#include "ui/FormFields.h"
#include "ui/TextEditCommands.h"

#include "base/DatabaseUnavailable.h"
#include "base/StatusTransitionChoices.h"
#include "document/EditRecovery.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QUrl>

namespace {

class DefectViewTest : public DefectDocFixture {
protected:
    DefectViewTest()
    {
        AddAnnAndBobLoggingInAsAnn();
        // Priority 77, component 55 and addressee 99 are in no list.
        Exec(setup_,
             QStringLiteral("INSERT INTO defectlist (defect_id, statusid, priorityid, severityid, componentid, "
                            "categoryid, toid, fromid, subject, history, foundversion) "
                            "VALUES (5, 2, 77, 3, 55, 1, 99, 2, 'crash', '', '1.0')"));
        EXPECT_TRUE(doc_.OnOpenDocument(path_));
        form_.SetDocument(doc_);
        doc_.defects().SelectDefect(5);
    }

    template <typename T>
    T* Field(const char* name)
    {
        T* field = form_.findChild<T*>(QLatin1String(name));
        EXPECT_NE(field, nullptr) << name;
        return field;
    }
    QWidget* Page(const char* name) { return Field<QWidget>(name); }
    std::int64_t Stored(const char* column)
    {
        return QueryNumber(setup_,
                           QStringLiteral("SELECT %1 FROM defectlist WHERE defect_id = 5").arg(QLatin1String(column)));
    }

    // The user replaces the subject by typing.
    void TypeSubject(const QString& text)
    {
        auto* subject = Field<QLineEdit>("subject");
        subject->selectAll();
        QTest::keyClicks(subject, text);
        ASSERT_TRUE(form_.isModified());
    }
    bool StoredIs(const char* condition)
    {
        return QueryNumber(
                   setup_,
                   QStringLiteral("SELECT %1 FROM defectlist WHERE defect_id = 5").arg(QLatin1String(condition))) == 1;
    }

    CDefectView form_;
};

// Chooses the status with the id from the full list.
std::function<bool(StatusTransitionChoices&)> Choose(int statusId)
{
    return [statusId](StatusTransitionChoices& choices) {
        choices.SetShowAll(true);
        for (std::size_t i = 0; i < choices.Items().size(); ++i)
            if (choices.Items()[i].data == statusId)
                choices.Select(static_cast<int>(i));
        choices.SetComment(QStringLiteral("looked at"));
        return choices.Accept();
    };
}

} // namespace

TEST_F(DefectViewTest, MissingIdsShowTheFirstEntriesAndOnlyUserEditsMarkTheForm)
{
    ASSERT_TRUE(form_.isEnabled());
    EXPECT_EQ(Field<QLineEdit>("defectId")->text(), QStringLiteral("5"));
    EXPECT_EQ(Field<QPushButton>("statusButton")->text(), QStringLiteral("open"));
    EXPECT_EQ(Field<QComboBox>("priority")->currentText(), QStringLiteral("<unevaluated>"));
    EXPECT_EQ(Field<QComboBox>("to")->currentText(), QStringLiteral("Ann"));
    EXPECT_EQ(Field<QComboBox>("from")->currentText(), QStringLiteral("Bob"));
    auto* tabs = Field<QTabWidget>("pages");
    for (int page : {1, 2, 3, 0})
        tabs->setCurrentIndex(page);
    EXPECT_FALSE(form_.isModified()) << "switching pages is no edit";

    // The found version stands on two pages: an edit on one shows on the other.
    auto* foundOnSummary = Page("summaryPage")->findChild<QLineEdit*>(QStringLiteral("foundVersion"));
    foundOnSummary->selectAll();
    RunEditCommand(foundOnSummary, EditCommand::Cut);
    EXPECT_TRUE(form_.isModified()) << "a cut from the Edit menu is the user's edit";
    tabs->setCurrentIndex(1);
    EXPECT_EQ(Page("detailsPage")->findChild<QLineEdit*>(QStringLiteral("foundVersion"))->text(), QString());
    EXPECT_FALSE(CanRunEditCommand(Page("historyPage")->findChild<QTextEdit*>(), EditCommand::Paste));

    ASSERT_TRUE(doc_.SaveCurrentRecord());
    EXPECT_FALSE(form_.isModified());
    EXPECT_EQ(Stored("priorityid"), 0);
    EXPECT_EQ(Stored("toid"), 1);
    EXPECT_EQ(Stored("componentid"), QueryNumber(setup_, QStringLiteral("SELECT min(component_id) FROM component")));
    EXPECT_EQ(Stored("severityid"), 3);
    EXPECT_EQ(Stored("length(foundversion)"), 0);
}

TEST_F(DefectViewTest, EachStatusChangeAddsAHistoryLineAndOnlyClosedSetsTheClosingDate)
{
    auto* status = Field<QPushButton>("statusButton");
    Field<QTabWidget>("pages")->setCurrentIndex(2);
    ui_.ExpectStatusTransition(Choose(10));
    status->click();
    EXPECT_EQ(status->text(), QStringLiteral("closed"));
    EXPECT_TRUE(form_.isModified());
    EXPECT_FALSE(Page("historyPage")->findChild<QLineEdit*>(QStringLiteral("closed"))->text().isEmpty());

    ui_.ExpectStatusTransition(Choose(11));
    status->click();
    EXPECT_EQ(status->text(), QStringLiteral("reopened"));
    EXPECT_TRUE(Page("historyPage")->findChild<QLineEdit*>(QStringLiteral("closed"))->text().isEmpty());

    // The history page shows both lines with the user's name greyed.
    QTextDocument* shown = Page("historyPage")->findChild<QTextEdit*>()->document();
    ASSERT_EQ(shown->blockCount(), 3); // two lines and the empty one after the last line feed
    const QTextBlock first = shown->firstBlock();
    const int name = static_cast<int>(first.text().indexOf(QStringLiteral("(Ann)")));
    QTextCursor cursor(shown);
    cursor.setPosition(first.position() + name + 1);
    EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(128, 128, 128));
    cursor.setPosition(first.position() + 1);
    EXPECT_NE(cursor.charFormat().foreground().color(), QColor(128, 128, 128));

    ASSERT_TRUE(doc_.SaveCurrentRecord());
    EXPECT_EQ(Stored("statusid"), 11);
    EXPECT_EQ(Stored("closed"), 0);
    EXPECT_EQ(Stored("length(history) - length(replace(history, char(10), ''))"), 2);
    ui_.VerifyAllUsed();
}

TEST_F(DefectViewTest, TheAttachmentsPageCreatesAFolderOnlyWhenAskedAndTakesDroppedFiles)
{
    Field<QTabWidget>("pages")->setCurrentIndex(3);
    QWidget* page = Page("attachmentsPage");
    const QString root = folder_.file(QStringLiteral("test.attach"));
    EXPECT_FALSE(QFileInfo::exists(root)) << "looking creates nothing";
    EXPECT_TRUE(Field<QPushButton>("createFolder")->isVisibleTo(page));
    EXPECT_FALSE(Field<QWidget>("folderView")->isVisibleTo(page));

    Field<QPushButton>("createFolder")->click();
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/0000000005")).isDir());
    EXPECT_FALSE(Field<QPushButton>("createFolder")->isVisibleTo(page));
    EXPECT_TRUE(Field<QWidget>("folderView")->isVisibleTo(page));

    const QString dropped = folder_.file(QStringLiteral("trace.log"));
    ASSERT_TRUE(QFile(dropped).open(QIODevice::WriteOnly));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dropped)});
    // A drop goes to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(page, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(page, &drop);
    EXPECT_TRUE(QFileInfo::exists(root + QStringLiteral("/0000000005/trace.log")));
    EXPECT_FALSE(form_.isModified()) << "attachments are no field of the record";
}

TEST_F(DefectViewTest, TypingReplacesTheNewSubjectAndSavingToNobodyAsksFirst)
{
    doc_.InsertNewDefect();
    auto* subject = Field<QLineEdit>("subject");
    ASSERT_FALSE(subject->text().isEmpty()) << "a new defect shows its placeholder subject";
    QTest::keyClicks(subject, QStringLiteral("Printer jams"));
    EXPECT_EQ(subject->text(), QStringLiteral("Printer jams"));
    const qint32 created = doc_.defects().CurrentDefectId();
    ASSERT_NE(created, 5);
    const auto stored = [&](const QString& subjectText) {
        return QueryNumber(setup_,
                           QStringLiteral("SELECT count(*) FROM defectlist WHERE defect_id = ? AND subject = ?"),
                           {std::int64_t{created}, subjectText}) == 1;
    };
    auto* to = Field<QComboBox>("to");
    const auto chooseAddressee = [to](int index) {
        to->setCurrentIndex(index);
        emit to->activated(index);
    };

    // The new defect goes to nobody: No goes back to the form with the edits kept.
    ASSERT_EQ(ChosenId(Field<QComboBox>("to")), reserved::kNobody);
    ui_.ExpectMessage(40240, Answer::No);
    EXPECT_FALSE(doc_.SaveCurrentRecord());
    EXPECT_TRUE(form_.isModified());
    EXPECT_FALSE(stored(QStringLiteral("Printer jams")));

    // Once an addressee is chosen nothing is asked.
    chooseAddressee(to->findText(QStringLiteral("Bob")));
    EXPECT_TRUE(doc_.SaveCurrentRecord());
    EXPECT_TRUE(stored(QStringLiteral("Printer jams")));

    // Yes saves to nobody and is not asked again for the same defect.
    chooseAddressee(to->findData(reserved::kNobody));
    ui_.ExpectMessage(40240, Answer::Yes);
    EXPECT_TRUE(doc_.SaveCurrentRecord());
    QTest::keyClicks(subject, QStringLiteral(" on A3"));
    EXPECT_TRUE(doc_.SaveCurrentRecord());
    EXPECT_TRUE(stored(QStringLiteral("Printer jams on A3")));
    ui_.VerifyAllUsed();
}

TEST_F(DefectViewTest, TheFormMarksTheReadersOwnUnreadDefect)
{
    QWidget* mark = Field<QWidget>("unreadMark");
    EXPECT_FALSE(mark->isVisibleTo(&form_)) << "defect 5 is addressed to somebody else";
    Exec(setup_, QStringLiteral("UPDATE defectlist SET toid = 1, lastread = 0 WHERE defect_id = 5"));
    doc_.defects().LoadDefect(5, true);
    EXPECT_TRUE(mark->isVisibleTo(&form_));
    form_.setLastRead(46000.5);
    EXPECT_FALSE(mark->isVisibleTo(&form_)) << "marked as read";
    Exec(setup_, QStringLiteral("UPDATE defectlist SET toid = 2, lastread = 0 WHERE defect_id = 5"));
    doc_.defects().LoadDefect(5, true);
    EXPECT_FALSE(mark->isVisibleTo(&form_)) << "Bob's unread defect is not Ann's news";
}

TEST_F(DefectViewTest, ASaveTheFileRefusesKeepsTheEditsApartFromTheDefectAsLoaded)
{
    TypeSubject(QStringLiteral("mine"));
    Exec(setup_,
         QStringLiteral("CREATE TRIGGER full BEFORE UPDATE ON defectlist "
                        "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"));
    ui_.ExpectMessageText(QString(), Answer::No);
    EXPECT_FALSE(doc_.SaveCurrentRecord());
    EXPECT_EQ(form_.asLoaded().Subject, QStringLiteral("crash")) << "only a stored save changes the record as loaded";
    Exec(setup_, QStringLiteral("DROP TRIGGER full"));

    // A refresh reloads the unchanged defect: the edits stay, nobody claims another user's change.
    doc_.defects().ReloadCurrentDefect();
    EXPECT_TRUE(form_.isModified());
    EXPECT_EQ(Field<QLineEdit>("subject")->text(), QStringLiteral("mine"));

    // Another user's change meanwhile: the user is asked and keeps the edits over it.
    Exec(setup_, QStringLiteral("UPDATE defectlist SET subject = 'theirs', cc = 'bob@x' WHERE defect_id = 5"));
    ui_.ExpectMessage(40150, Answer::Yes);
    doc_.defects().ReloadCurrentDefect();
    EXPECT_TRUE(form_.isModified());
    EXPECT_EQ(Field<QLineEdit>("subject")->text(), QStringLiteral("mine"));
    EXPECT_EQ(Field<QLineEdit>("cc")->text(), QStringLiteral("bob@x"));
    EXPECT_EQ(form_.asLoaded().Subject, QStringLiteral("theirs"));
    ASSERT_TRUE(doc_.SaveCurrentRecord());
    EXPECT_FALSE(form_.isModified());
    EXPECT_TRUE(StoredIs("subject = 'mine' AND cc = 'bob@x'"));
    ui_.VerifyAllUsed();
}

TEST_F(DefectViewTest, ASaveThatFindsTheFileGoneClosesOnceAndTheKeptEditsApplyAtTheNextLogin)
{
    TypeSubject(QStringLiteral("mine"));
    const QString away = path_ + QStringLiteral(".away");
    ASSERT_TRUE(QFile::rename(path_, away));
    ui_.ExpectRetry(RetryAnswer::Cancel);
    EXPECT_THROW(doc_.SaveCurrentRecord(), database_unavailable);

    // What the program does when such a failure reaches it: it says that it closes, and closes,
    // keeping the edits; the file is not waited for a second time.
    doc_.StopWaitingForFile();
    ui_.ExpectMessageText(QStringLiteral("were kept in"));
    doc_.OnCloseDocument();
    EXPECT_EQ(ui_.CountOf("retry"), 1);
    const QStringList kept = KeptEditsFiles(path_, 1);
    ASSERT_EQ(kept.size(), 1);
    const std::optional<RecoveredEdits> edits = ReadKeptEdits(kept.front());
    ASSERT_TRUE(edits.has_value());
    EXPECT_EQ(edits->original.Subject, QStringLiteral("crash"));
    EXPECT_EQ(edits->edited.Subject, QStringLiteral("mine"));

    // The file is back and nobody changed the defect: the next start applies the edits.
    ASSERT_TRUE(QFile::rename(away, path_));
    CDefectDoc next(ui_, clock_, administration_);
    next.SetOperatingSystemUser([] { return std::nullopt; });
    next.SetAutoLogin(QStringLiteral("ann"));
    CDefectView nextForm;
    nextForm.SetDocument(next);
    ui_.ExpectMessageText(QStringLiteral("Apply them now?"), Answer::Yes);
    ASSERT_TRUE(next.OnOpenDocument(path_));
    EXPECT_TRUE(StoredIs("subject = 'mine'"));
    EXPECT_EQ(nextForm.asLoaded().Subject, QStringLiteral("mine"));
    EXPECT_TRUE(KeptEditsFiles(path_, 1).isEmpty());
    ui_.VerifyAllUsed();
}

TEST_F(DefectViewTest, TheAttachmentsPageShowsNoFolderThatIsALinkAndSaysWhy)
{
    const QString elsewhere = folder_.file(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QDir().mkpath(folder_.file(QStringLiteral("test.attach"))));
    const QString linked = folder_.file(QStringLiteral("test.attach/0000000005"));
    ASSERT_TRUE(QFile::link(elsewhere, linked));
    doc_.defects().ReloadCurrentDefect(); // shows the record again
    Field<QTabWidget>("pages")->setCurrentIndex(3);
    QWidget* page = Page("attachmentsPage");
    EXPECT_FALSE(Field<QWidget>("folderView")->isVisibleTo(page));
    EXPECT_FALSE(Field<QPushButton>("createFolder")->isVisibleTo(page)) << "making a folder would go through the link";
    EXPECT_FALSE(Field<QPushButton>("addAttachment")->isEnabled());
    EXPECT_TRUE(Field<QLabel>("createHint")->text().contains(linked));
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
}
