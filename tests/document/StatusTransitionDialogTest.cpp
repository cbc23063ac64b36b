// The status transition and workflow dialogs: the model shown, the separator, the comment rule, the choices.

#include "document/StatusTransitionDialog.h"
#include "document/StatusTransitionModel.h"
#include "store/SelectWorkflowDialog.h"
#include "support/ScriptedUserInterface.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

std::vector<StatusEntry> Statuses()
{
    return {{1, QStringLiteral("new"), 0, QStringLiteral("just entered")},
            {2, QStringLiteral("open"), 1, QStringLiteral("being looked at")},
            {3, QStringLiteral("in progress"), 2, QStringLiteral("someone works on it")},
            {7, QStringLiteral("rejected"), 3, QStringLiteral("not a defect")}};
}

std::vector<StatusTransition> Transitions()
{
    return {{2, 3, 0, 0}, {2, -1, 1, 0}, {2, 7, 2, 3}, {3, 2, 3, 3}};
}

QPushButton* OkButton(QDialog& dialog)
{
    return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

} // namespace

TEST(StatusTransitionDialog, ShowsTheModelAndClosesOnlyWhenItAccepts)
{
    const auto statuses = Statuses();
    const auto transitions = Transitions();
    ScriptedUserInterface ui;
    StatusTransitionModel model(statuses, transitions, 2, ui);
    CStatusTransitionDialog dialog(model);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Change status"));

    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("statusList"));
    auto* description = dialog.findChild<QLabel*>(QStringLiteral("description"));
    auto* comment = dialog.findChild<QLineEdit*>(QStringLiteral("comment"));
    auto* showAll = dialog.findChild<QCheckBox*>(QStringLiteral("showAll"));
    ASSERT_TRUE(list && description && comment && showAll);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("in progress"));
    EXPECT_EQ(list->item(1)->text(), QString());
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("rejected *"));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(description->text(), QStringLiteral("someone works on it"));
    EXPECT_TRUE(OkButton(dialog)->isEnabled());
    auto* legend = dialog.findChild<QLabel*>(QStringLiteral("legend"));
    ASSERT_NE(legend, nullptr);
    EXPECT_TRUE(legend->isVisibleTo(&dialog) && legend->text().contains(QLatin1String("comment")))
        << "the * is explained";
    showAll->setChecked(true);
    EXPECT_FALSE(legend->isVisibleTo(&dialog)) << "no status is marked among all";
    showAll->setChecked(false);

    // The separator cannot be chosen, not even by a double click.
    list->setCurrentRow(1);
    EXPECT_FALSE(OkButton(dialog)->isEnabled());
    EXPECT_EQ(description->text(), QString());
    emit list->itemDoubleClicked(list->item(1));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    // Too short a comment and Yes: the dialog stays; No: it closes with the chosen status.
    list->setCurrentRow(2);
    comment->setText(QStringLiteral("a b c"));
    ui.ExpectMessage(156, Answer::Yes);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(model.CurrentStatus(), 2);
    ui.ExpectMessage(156, Answer::No);
    emit list->itemDoubleClicked(list->item(2));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(model.CurrentStatus(), 7);
    EXPECT_EQ(model.Comment(), QStringLiteral("a b c"));
}

TEST(StatusTransitionDialog, ShowAllRefillsTheList)
{
    const auto statuses = Statuses();
    const auto transitions = Transitions();
    ScriptedUserInterface ui;
    StatusTransitionModel model(statuses, transitions, 1, ui);
    CStatusTransitionDialog dialog(model);
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("statusList"));
    auto* showAll = dialog.findChild<QCheckBox*>(QStringLiteral("showAll"));
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(OkButton(dialog)->isEnabled());

    showAll->setChecked(true);
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(3)->text(), QStringLiteral("rejected"));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("description"))->text(), QStringLiteral("just entered"));
    list->setCurrentRow(3);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(model.CurrentStatus(), 7);
}

TEST(SelectWorkflowDialog, OffersTheThreeChoicesWithTheStandardPreselected)
{
    CSelectWorkflowDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select workflow"));
    EXPECT_EQ(dialog.Index(), 0);
    auto* own = dialog.findChild<QRadioButton*>(QStringLiteral("workflow2"));
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->text(), QStringLiteral("import your own workflow"));
    EXPECT_EQ(dialog.findChild<QRadioButton*>(QStringLiteral("workflow1"))->text(),
              QStringLiteral("Simple workflow for small teams without separate hotline and test department"));
    own->click();
    EXPECT_EQ(dialog.Index(), 2);
    QStringList buttons;
    for (QAbstractButton* button : dialog.findChild<QDialogButtonBox*>()->buttons())
        buttons << button->text();
    EXPECT_TRUE(buttons.contains(QStringLiteral("&Help")));

    // Help opens the guide's section on workflows, through the port.
    ScriptedUserInterface ui;
    dialog.findChild<QPushButton*>(QStringLiteral("help"))->click();
    EXPECT_EQ(ui.helpSections, std::vector<QString>{QStringLiteral("workflows")});
    EXPECT_EQ(dialog.Index(), 2) << "help changes no choice";
}

TEST(SelectWorkflowDialog, CancelChoosesNothingAndOkTheCheckedWorkflow)
{
    // The dialog runs modally; the buttons are pressed once it is up.
    const auto press = [](QDialogButtonBox::StandardButton which, const char* radio) {
        QTimer::singleShot(0, [which, radio] {
            auto* dialog = qobject_cast<CSelectWorkflowDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->findChild<QRadioButton*>(QString::fromLatin1(radio))->click();
            dialog->findChild<QDialogButtonBox*>()->button(which)->click();
        });
    };
    press(QDialogButtonBox::Cancel, "workflow1");
    EXPECT_EQ(RunSelectWorkflowDialog(nullptr), std::nullopt);
    press(QDialogButtonBox::Ok, "workflow1");
    EXPECT_EQ(RunSelectWorkflowDialog(nullptr), std::optional<int>(1));
}
