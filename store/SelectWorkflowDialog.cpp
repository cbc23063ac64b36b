// The workflow chooser of a new database, and the port's way to run it.

#include "store/SelectWorkflowDialog.h"

#include "base/UserInterface.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

CSelectWorkflowDialog::CSelectWorkflowDialog(QWidget* parent) : QDialog(parent), choices_(new QButtonGroup(this))
{
    setWindowTitle(QStringLiteral("Select workflow"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Select the workflow you want to use. The workflow helps you selecting the "
                                           "right status of a defect. You can change your selection later at any "
                                           "time you like."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);

    const QString captions[] = {
        QStringLiteral(
            "Standard workflow for medium and large sized teams with separate hotline and/or test department"),
        QStringLiteral("Simple workflow for small teams without separate hotline and test department"),
        QStringLiteral("import your own workflow"),
    };
    int index = 0;
    for (const QString& caption : captions) {
        auto* radio = new QRadioButton(caption, this);
        radio->setObjectName(QStringLiteral("workflow%1").arg(index));
        choices_->addButton(radio, index++);
        layout->addWidget(radio);
    }
    choices_->button(0)->setChecked(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
    help->setObjectName(QStringLiteral("help"));
    connect(help, &QPushButton::clicked, this, [] { TheUserInterface().ShowHelp(QStringLiteral("workflows")); });
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, help, &QPushButton::click);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

int CSelectWorkflowDialog::Index() const
{
    return choices_->checkedId();
}

std::optional<int> RunSelectWorkflowDialog(QWidget* parent)
{
    CSelectWorkflowDialog dialog(parent);
    // Cancel chooses nothing: a database being created is then not created.
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Index();
}
