// The document's writes under failing file calls: a save, a new defect, a deletion with
// attachments, a view save and a save in Setup > Lists.
#include "FaultSession.h"

#include "document/SetupListsEditor.h"
#include "list/DefectList.h"
#include "list/ViewStore.h"
#include "store/AttachmentPaths.h"

#include <QSignalSpy>

namespace {

using namespace fault;

const QString kEdited = QStringLiteral("edited while the disk failed");
const QString kRenamed = QStringLiteral("renamed while the disk failed");
constexpr std::int32_t kEditedDefect = 2;
constexpr std::int32_t kDeletedDefect = 3;
constexpr int kComponentsPage = 1;

class DocumentFaults : public ::testing::Test {
protected:
    DocumentFaults() : folder_(ScratchRoot() + QStringLiteral("/vellacord-faults-XXXXXX"))
    {
        Install();
        arranged_ = folder_.filePath(QStringLiteral("arranged.defl"));
        path_ = folder_.filePath(QStringLiteral("team.defl"));
        CreateCurrentDatabase(arranged_);
        engine::Connection setup;
        EXPECT_EQ(setup.Open(arranged_), engine::kOk);
        AddStakeholder(setup, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
        AddStakeholder(setup, 2, QStringLiteral("Bob"), QStringLiteral("bob"));
        for (std::int32_t id = 1; id <= 5; ++id)
            InsertDefectRow(setup, id, 1, 1, 1, QStringLiteral("defect %1").arg(id));
        Exec(setup, QStringLiteral("INSERT INTO component (component, sys_sortorder) VALUES ('Import', 9)"));
        componentId_ = QueryNumber(setup, QStringLiteral("SELECT max(component_id) FROM component"));
        Exec(setup, QStringLiteral("INSERT INTO views (userid, viewname) VALUES (1, 'mine')"));
        viewId_ = static_cast<std::int32_t>(QueryNumber(setup, QStringLiteral("SELECT max(id) FROM views")));
        for (int column = 0; column < 3; ++column)
            Exec(setup,
                 QStringLiteral("INSERT INTO viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, "
                                "descending, invisible) VALUES (?, ?, ?, 80, ?, 0, 0, 0)"),
                 {std::int64_t{viewId_}, std::int64_t{column}, QStringLiteral("column %1").arg(column),
                  std::int64_t{column}});
        // No compaction falls due while the runs open and close the file.
        Exec(setup,
             QStringLiteral("INSERT INTO SystemSettings (BackupsToKeep, SizeAfterLastCompress, "
                            "DateOfLastCompress, CompressEveryNDays, CompressGrowthFactor) VALUES (1, 0, 0, 0, 0)"));
    }

    // The arranged file at the run's path, its attachments, and no kept edits.
    void Fresh()
    {
        ClearRecoveryFolder();
        QDir(AttachmentRootFor(path_)).removeRecursively();
        QFile::remove(path_ + QStringLiteral("-journal"));
        ASSERT_TRUE(CopyFresh(arranged_, path_));
        const QString folder = DefectAttachmentPath(path_, kDeletedDefect);
        ASSERT_TRUE(QDir().mkpath(folder));
        for (const QString& name : {QStringLiteral("a.txt"), QStringLiteral("b.txt")}) {
            QFile file(folder + QLatin1Char('/') + name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("attached");
        }
    }

    // The next start of the program opens the file by itself; edits kept from this run are applied.
    void OpenNext(Trial& run)
    {
        Session next(path_);
        next.ui.AnswerText(QStringLiteral("Apply them now?"), Answer::Yes);
        if (!next.Open())
            run.Break(Broken::NextOpen, "the program does not open the file");
        if (next.ui.retryDialogs > 0)
            run.Break(Broken::NextOpen, "the program waits for the file");
        for (const QString& text : next.ui.shown) {
            if (!text.contains(QStringLiteral("Apply them now?")))
                run.Break(Broken::NextOpen, "the program says: " + text.left(200).toStdString());
        }
        next.Quit();
    }

    QString Subject(const Snapshot& rows, std::int32_t id)
    {
        const auto found = rows.find(QStringLiteral("defectlist:%1").arg(id));
        return found == rows.end() ? QString() : found->second;
    }

    QTemporaryDir folder_;
    QString arranged_;
    QString path_;
    std::int32_t viewId_ = 0;
    std::int64_t componentId_ = 0;
};

// Each file call is a round trip on a share: an auto-refresh that finds the file unchanged takes
// one read lock for the change stamp and reads nothing else; after a commit elsewhere it reads
// the boxes' choices and the list again.
TEST_F(DocumentFaults, AnIdleAutoRefreshIsOneReadTransaction)
{
    Fresh();
    Session session(path_);
    CDefectList list(session.doc);
    ASSERT_TRUE(session.Open());
    QSignalSpy filled(&list, &CDefectList::listFilled);
    QSignalSpy boxes(&list, &CDefectList::filterChoicesChanged);
    const Plan never{Call::Read, Kind::IoError, 1 << 30};
    {
        const Armed counting(never);
        list.AutoRefresh();
        EXPECT_LE(Calls(Call::Lock), 3) << "lock, hot journal check, unlock";
        EXPECT_LE(Calls(Call::Read), 1);
    }
    EXPECT_EQ(filled.count(), 0);
    EXPECT_EQ(boxes.count(), 0);

    engine::Connection elsewhere;
    ASSERT_EQ(elsewhere.Open(path_), engine::kOk);
    Exec(elsewhere, QStringLiteral("UPDATE defectlist SET subject='changed elsewhere' WHERE defect_id=1"));
    {
        const Armed counting(never);
        list.AutoRefresh();
        EXPECT_GT(Calls(Call::Lock), 3);
    }
    EXPECT_EQ(filled.count(), 1);
    EXPECT_EQ(boxes.count(), 1);
    EXPECT_EQ(list.model().CellText(list.model().RowOf(1), 2), QStringLiteral("changed elsewhere"));
    session.Quit();
}

TEST_F(DocumentFaults, SavingAnEditedDefectKeepsTheEditsUntilTheyAreStored)
{
    const Tally tally = Sweep("save an edited defect", [&](Trial& run) {
        Fresh();
        const Snapshot before = Rows(path_);
        {
            Session session(path_);
            ASSERT_TRUE(session.Open());
            session.doc.defects().SelectDefect(kEditedDefect);
            session.form.Edit([](DefectRecord& r) { r.Subject = kEdited; });
            bool saved = false;
            bool completed = false;
            {
                const Armed armed(run.plan);
                completed = RunAsCommand(session.doc, [&] { saved = session.doc.SaveCurrentRecord(); });
            }
            const bool acknowledged = completed && saved && !session.form.isModified();
            run.CheckTexts(session.ui, acknowledged);
            if (acknowledged && !Subject(Rows(path_), kEditedDefect).contains(kEdited))
                run.Break(Broken::FalseSuccess, "the save was confirmed, the file has the old subject");
            // The disk is back a minute later: the user saves again, and quits.
            session.clock.Advance(60);
            if (completed && session.form.isModified() && !session.doc.SaveCurrentRecord())
                run.Break(Broken::LostEdits, "the edits kept in the form cannot be saved afterwards");
            session.ui.retriesLeft = 0;
            session.Quit();
        }
        run.CheckIntegrity(path_);
        const QStringList lost = Lost(before, Rows(path_), [](const QString& key) {
            return IsSettingsRow(key) || key == QStringLiteral("defectlist:%1").arg(kEditedDefect);
        });
        if (!lost.isEmpty())
            run.Break(Broken::LostSave, lost.join(QStringLiteral(", ")).toStdString());
        OpenNext(run);
        if (!Subject(Rows(path_), kEditedDefect).contains(kEdited))
            run.Break(Broken::LostEdits, "the edited subject never reached the file");
    });
    EXPECT_GT(tally.fired, 0);
}

TEST_F(DocumentFaults, ANewDefectIsAddedOnceOrNotAtAll)
{
    const Tally tally = Sweep("new defect", [&](Trial& run) {
        Fresh();
        const Snapshot before = Rows(path_);
        std::int32_t current = 0;
        {
            Session session(path_);
            ASSERT_TRUE(session.Open());
            session.doc.defects().SelectDefect(1);
            session.ui.templateRow = -1;
            bool completed = false;
            {
                const Armed armed(run.plan);
                completed = RunAsCommand(session.doc, [&] { session.doc.InsertNewDefect(); });
            }
            current = session.doc.defects().CurrentDefectId();
            const bool acknowledged = completed && current > 5;
            run.CheckTexts(session.ui, acknowledged);
            session.ui.retriesLeft = 0;
            session.Quit();
        }
        run.CheckIntegrity(path_);
        const Snapshot after = Rows(path_);
        const QStringList lost = Lost(before, after, IsSettingsRow);
        if (!lost.isEmpty())
            run.Break(Broken::LostSave, lost.join(QStringLiteral(", ")).toStdString());
        int added = 0;
        for (const auto& [key, row] : after)
            added += key.startsWith(QLatin1String("defectlist:")) && !before.contains(key) ? 1 : 0;
        if (added > 1)
            run.Break(Broken::FalseSuccess, std::to_string(added) + " defects were added by one command");
        if (current > 5 && !after.contains(QStringLiteral("defectlist:%1").arg(current)))
            run.Break(Broken::FalseSuccess, "the new defect is shown, and the file does not have it");
        OpenNext(run);
    });
    EXPECT_GT(tally.fired, 0);
}

TEST_F(DocumentFaults, ADeletedDefectNeverLeavesItsRowWithoutItsAttachments)
{
    const Tally tally = Sweep("delete a defect with attachments", [&](Trial& run) {
        Fresh();
        const Snapshot before = Rows(path_);
        const QString row = QStringLiteral("defectlist:%1").arg(kDeletedDefect);
        bool announced = false;
        {
            Session session(path_);
            ASSERT_TRUE(session.Open());
            session.doc.defects().SelectDefect(kDeletedDefect);
            FakeDefectList list(session.doc.defects());
            list.rows = {{kDeletedDefect - 1, QStringLiteral("Ann"), false},
                         {kDeletedDefect, QStringLiteral("Ann"), true},
                         {kDeletedDefect + 1, QStringLiteral("Ann"), false}};
            session.ui.Answer(107, Answer::Yes);
            QSignalSpy deleted(&session.doc, &CDefectDoc::defectsDeleted);
            bool completed = false;
            {
                const Armed armed(run.plan);
                completed = RunAsCommand(session.doc, [&] { session.doc.DeleteSelectedRecords(&list); });
            }
            announced = completed && deleted.count() == 1;
            // The question whether to delete is no answer to a failure.
            session.ui.shown.erase(session.ui.shown.begin());
            run.CheckTexts(session.ui, announced && session.ui.shown.empty());
            session.ui.retriesLeft = 0;
            session.Quit();
        }
        run.CheckIntegrity(path_);
        const Snapshot after = Rows(path_);
        const QStringList lost =
            Lost(before, after, [&](const QString& key) { return IsSettingsRow(key) || key == row; });
        if (!lost.isEmpty())
            run.Break(Broken::LostSave, lost.join(QStringLiteral(", ")).toStdString());
        const QDir attachments(DefectAttachmentPath(path_, kDeletedDefect));
        if (after.contains(row) && attachments.entryList(QDir::Files).size() != 2)
            run.Break(Broken::LostSave, "the defect is still stored, its attachments are gone");
        if (announced && after.contains(row))
            run.Break(Broken::FalseSuccess, "the list drops the defect, and the file still has it");
        OpenNext(run);
    });
    EXPECT_GT(tally.fired, 0);
}

TEST_F(DocumentFaults, AViewIsStoredWholeOrKeptForTheNextSave)
{
    const auto widths = [&](const Snapshot& rows) {
        QStringList found;
        for (const auto& [key, row] : rows) {
            if (key.startsWith(QLatin1String("viewcolumns:")) && row.startsWith(QString::number(viewId_) + '|'))
                found << row.section(QLatin1Char('|'), 3, 3);
        }
        return found.join(QLatin1Char(','));
    };
    const Tally tally = Sweep("save a view", [&](Trial& run) {
        Fresh();
        const Snapshot before = Rows(path_);
        const QString oldWidths = widths(before);
        {
            Session session(path_);
            ASSERT_TRUE(session.Open());
            ViewDefinition view;
            ASSERT_TRUE(LoadView(session.doc, session.ui, viewId_, view));
            for (ViewColumn& column : view.columns)
                column.Width = 120;
            view.modified = true;
            bool saved = false;
            bool completed = false;
            {
                const Armed armed(run.plan);
                completed = RunAsCommand(session.doc, [&] { saved = SaveView(session.doc, session.ui, view); });
            }
            run.CheckTexts(session.ui, completed && saved);
            const QString stored = widths(Rows(path_));
            if (saved && stored != QStringLiteral("120,120,120"))
                run.Break(Broken::FalseSuccess, "the view was confirmed, the file has widths " + stored.toStdString());
            if (!saved && stored != oldWidths && stored != QStringLiteral("120,120,120"))
                run.Break(Broken::LostSave, "the file holds half a view: widths " + stored.toStdString());
            if (!saved && !view.modified)
                run.Break(Broken::LostEdits, "the view's changes count as saved");
            if (completed && !saved && !SaveView(session.doc, session.ui, view))
                run.Break(Broken::LostEdits, "the view cannot be saved once the disk is back");
            session.ui.retriesLeft = 0;
            session.Quit();
        }
        run.CheckIntegrity(path_);
        const QStringList lost = Lost(before, Rows(path_), [](const QString& key) {
            return IsSettingsRow(key) || key.startsWith(QLatin1String("viewcolumns:"));
        });
        if (!lost.isEmpty())
            run.Break(Broken::LostSave, lost.join(QStringLiteral(", ")).toStdString());
        OpenNext(run);
    });
    EXPECT_GT(tally.fired, 0);
}

TEST_F(DocumentFaults, TheListEditorKeepsWhatWasTypedUntilItIsStored)
{
    const auto component = [&](const Snapshot& rows) {
        const auto found = rows.find(QStringLiteral("component:%1").arg(componentId_));
        return found == rows.end() ? QString() : found->second;
    };
    const Tally tally = Sweep("save in the list editor", [&](Trial& run) {
        Fresh();
        const Snapshot before = Rows(path_);
        bool typed = false;
        bool stored = false;
        {
            Session session(path_);
            ASSERT_TRUE(session.Open());
            session.ui.listEditor = [&](ListEditorActions& actions) {
                auto& editor = static_cast<SetupListsEditor&>(actions);
                if (!editor.ChangePage(kComponentsPage))
                    return;
                const int column = editor.ColumnIndex(QStringLiteral("component"));
                for (int row = 0; row < editor.RowCount(); ++row) {
                    if (editor.RowTexts(row).at(column) == QLatin1String("Import") && editor.SelectRow(row))
                        break;
                }
                if (editor.FieldText(column) != QLatin1String("Import"))
                    return;
                editor.SetFieldText(column, kRenamed);
                typed = true;
                stored = editor.Save();
                if (!stored && editor.FieldText(column) != kRenamed)
                    run.Break(Broken::LostEdits,
                              "the field lost what was typed: " + editor.FieldText(column).toStdString());
                // The disk is back; the user presses Save again and closes.
                Disarm();
                if (!stored && !editor.Save())
                    run.Break(Broken::LostEdits, "what was typed cannot be stored once the disk is back");
                editor.Close();
            };
            bool completed = false;
            {
                const Armed armed(run.plan);
                completed = RunAsCommand(session.doc, [&] { session.doc.EditLookupLists(); });
            }
            run.CheckTexts(session.ui, completed && (stored || !typed));
            session.ui.retriesLeft = 0;
            session.Quit();
        }
        run.CheckIntegrity(path_);
        const Snapshot after = Rows(path_);
        const QStringList lost = Lost(before, after, [](const QString& key) {
            return IsSettingsRow(key) || key.startsWith(QLatin1String("component:"));
        });
        if (!lost.isEmpty())
            run.Break(Broken::LostSave, lost.join(QStringLiteral(", ")).toStdString());
        if (stored && !component(after).contains(kRenamed))
            run.Break(Broken::FalseSuccess,
                      "the editor stored the name, the file has " + component(after).toStdString());
        if (typed && !component(after).contains(kRenamed))
            run.Break(Broken::LostEdits, "the typed name never reached the file");
        OpenNext(run);
    });
    EXPECT_GT(tally.fired, 0);
}

} // namespace
