// The template chooser: shortcut digits, the preselected last template, confirming by key and activation.

#include "document/TemplateSelectionDialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

void Press(QWidget* target, Qt::Key key, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
}

QStringList Subjects(int count)
{
    QStringList subjects;
    for (int i = 0; i < count; ++i)
        subjects << QStringLiteral("template %1").arg(i);
    return subjects;
}

} // namespace

TEST(TemplateSelectionDialogTest, ShowsShortcutsAndPreselectsTheLastTemplate)
{
    CTemplateSelectionDialog dialog(Subjects(12), 4);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select a template"));
    QTreeWidget* list = dialog.list();
    ASSERT_EQ(list->topLevelItemCount(), 12);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("shortcut"));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("subject"));
    EXPECT_EQ(list->header()->sectionSize(0), 40);
    EXPECT_EQ(list->header()->sectionSize(1), 400);
    QStringList shortcuts;
    for (int row = 0; row < 12; ++row)
        shortcuts << list->topLevelItem(row)->text(0);
    EXPECT_EQ(shortcuts, (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "", ""}));
    EXPECT_EQ(list->topLevelItem(11)->text(1), QStringLiteral("template 11"));
    EXPECT_EQ(list->indexOfTopLevelItem(list->currentItem()), 4);
    EXPECT_EQ(dialog.choice(), 4);

    // Moving the selection changes the choice; the space bar confirms it.
    list->setCurrentItem(list->topLevelItem(11));
    EXPECT_EQ(dialog.choice(), 11);
    Press(list, Qt::Key_Space, QStringLiteral(" "));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.choice(), 11);

    CTemplateSelectionDialog outOfRange(Subjects(2), 7);
    EXPECT_EQ(outOfRange.choice(), 0);
}

TEST(TemplateSelectionDialogTest, ADigitChoosesItsRowAndConfirmsAtOnce)
{
    CTemplateSelectionDialog dialog(Subjects(12), 0);
    Press(dialog.list(), Qt::Key_0, QStringLiteral("0"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.choice(), 9) << "0 is the tenth row";

    CTemplateSelectionDialog three(Subjects(4), 0);
    Press(three.list(), Qt::Key_3, QStringLiteral("3"));
    EXPECT_EQ(three.result(), QDialog::Accepted);
    EXPECT_EQ(three.choice(), 2);

    // A digit without a row does nothing.
    CTemplateSelectionDialog two(Subjects(2), 1);
    Press(two.list(), Qt::Key_5, QStringLiteral("5"));
    EXPECT_NE(two.result(), QDialog::Accepted);
    EXPECT_EQ(two.choice(), 1);

    // Activating a row (Enter, double-click) confirms it.
    CTemplateSelectionDialog activated(Subjects(3), 0);
    emit activated.list()->itemActivated(activated.list()->topLevelItem(2), 1);
    EXPECT_EQ(activated.result(), QDialog::Accepted);

    CTemplateSelectionDialog entered(Subjects(3), 1);
    entered.show();
    Press(entered.list(), Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(entered.result(), QDialog::Accepted);
    EXPECT_EQ(entered.choice(), 1);
}
