// The test trace: the lines it writes of dialogs, activation, focus and keys; nothing without it.

#include "app/TestTrace.h"

#include "list/DefectListModel.h"
#include "support/TempFolder.h"
#include "ui/DefectListView.h"

#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

QStringList TraceLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A window with a named field, a password field and a named list of three rows, the second bold.
struct TracedWindow {
    QDialog window;
    QLineEdit* field = new QLineEdit(QStringLiteral("two\tparts\nand a line"), &window);
    QLineEdit* password = new QLineEdit(QStringLiteral("secret"), &window);
    QTableView* list = new QTableView(&window);
    QStandardItemModel model{3, 2};

    TracedWindow()
    {
        window.setWindowTitle(QStringLiteral("Traced"));
        field->setObjectName(QStringLiteral("subject"));
        password->setObjectName(QStringLiteral("password"));
        password->setEchoMode(QLineEdit::Password);
        list->setObjectName(QStringLiteral("defectList"));
        for (int row = 0; row < 3; ++row) {
            model.setItem(row, 0, new QStandardItem(QString::number(row + 1)));
            model.setItem(row, 1, new QStandardItem(QStringLiteral("subject %1").arg(row + 1)));
        }
        QFont bold;
        bold.setBold(true);
        model.item(1, 1)->setFont(bold);
        list->setModel(&model);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(new QLabel(QStringLiteral("What the window says"), &window));
        layout->addWidget(field);
        layout->addWidget(password);
        layout->addWidget(list);
    }
};

} // namespace

TEST(TestTraceWindow, WithoutTheVariableNothingIsTraced)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("trace.txt"));
    qunsetenv("VELLACORD_TEST_TRACE");
    TestTrace::InstallFromEnvironment();
    TracedWindow shown;
    shown.window.show();
    EXPECT_FALSE(QFile::exists(path));

    TestTrace unwritable(folder.file(QStringLiteral("no/such/folder/trace.txt")));
    EXPECT_FALSE(unwritable.tracing());
}

TEST(TestTraceWindow, DialogsFocusAndKeysAreWrittenAsTheUserSeesThem)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("trace.txt"));
    TracedWindow traced;
    {
        TestTrace trace(path);
        ASSERT_TRUE(trace.tracing());
        traced.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&traced.window));

        traced.field->setFocus();
        QTest::keyRelease(traced.field, Qt::Key_Shift);
        traced.password->setFocus();
        traced.list->setFocus();
        traced.list->selectRow(1);
        QTest::keyRelease(traced.list, Qt::Key_Shift);
        traced.field->setFocus();
        QTest::keyRelease(traced.field, Qt::Key_Shift);
        // Keys that reach no focused widget tell nothing.
        QTest::keyRelease(traced.password, Qt::Key_Shift);
    }
    // Gone with the trace: later events are not written.
    traced.password->setFocus();

    const QStringList lines = TraceLines(path);
    const QStringList expected{
        "dialog\tTraced\tWhat the window says",
        "active\tTraced",
        "focus\tTraced\tsubject\tQLineEdit\ttwo parts\\nand a line",
        "key\tTraced\tsubject\tQLineEdit\ttwo parts\\nand a line",
        "view\tTraced\tdefectList\tQTableView\trows=3 selected=0 bold=0 current=",
        "focus\tTraced\tpassword\tQLineEdit\t<hidden>",
        // The list makes its first row current when it gets the focus.
        "focus\tTraced\tdefectList\tQTableView\trows=3 selected=0 bold=0 current=1|subject 1",
        "key\tTraced\tdefectList\tQTableView\trows=3 selected=1 bold=1 current=2|subject 2",
        "focus\tTraced\tsubject\tQLineEdit\ttwo parts\\nand a line",
        "key\tTraced\tsubject\tQLineEdit\ttwo parts\\nand a line",
        "view\tTraced\tdefectList\tQTableView\trows=3 selected=1 bold=1 current=2|subject 2",
    };
    EXPECT_EQ(lines.join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString());
}

TEST(TestTraceWindow, ARowIsBoldWhenItsFontOrTheUnreadDelegateSaysSo)
{
    QStandardItemModel model(3, 1);
    for (int row = 0; row < 3; ++row)
        model.setItem(row, 0, new QStandardItem(QString::number(row + 1)));
    model.item(1, 0)->setData(true, DefectListModel::kUnreadRole);
    QFont bold;
    bold.setBold(true);
    model.item(2, 0)->setFont(bold);
    QTableView view;
    view.setModel(&model);
    const auto boldOf = [&](int row) {
        view.setCurrentIndex(model.index(row, 0));
        return TestTrace::Describe(&view).section(QLatin1Char('\t'), 3).section(QLatin1Char(' '), 2, 2).toStdString();
    };
    // A plain view does not know the unread role.
    EXPECT_EQ(boldOf(0), "bold=0");
    EXPECT_EQ(boldOf(1), "bold=0");
    EXPECT_EQ(boldOf(2), "bold=1");
    view.setItemDelegate(new UnreadBoldDelegate(&view));
    EXPECT_EQ(boldOf(0), "bold=0");
    EXPECT_EQ(boldOf(1), "bold=1");
    EXPECT_EQ(boldOf(2), "bold=1");
}

TEST(TestTraceWindow, TheFirstWaitWithAWindowShownIsTracedOnceWithItsLists)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("trace.txt"));
    const auto waitForEvents = [] {
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
    };
    QStandardItemModel model(4, 1);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Main"));
    auto* list = new QTableView(&window);
    list->setObjectName(QStringLiteral("defectList"));
    list->setModel(&model);
    TestTrace trace(path);
    trace.TraceFirstIdle();
    // Waits before a window shows are not the end of a start-up.
    waitForEvents();
    EXPECT_TRUE(TraceLines(path).isEmpty());
    window.show();
    waitForEvents();
    waitForEvents();
    const QStringList lines = TraceLines(path);
    EXPECT_EQ(lines.mid(0, 2).join(QLatin1Char('\n')).toStdString(),
              "idle\tMain\nview\tMain\tdefectList\tQTableView\trows=4 selected=0 bold=0 current=");
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^idle"))).size(), 1);
}
