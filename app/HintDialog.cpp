// The hint dialog: the text, "Do not show this message again." and the buttons of the hint's style.
#include "app/HintDialog.h"

#include "base/Hint.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kTextWidthInCharacters = 60;

} // namespace

CHintDialog::CHintDialog(const HintRequest& request, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Hint"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(request.text, this);
    text->setObjectName(QStringLiteral("hintText"));
    text->setWordWrap(true);
    // Wide enough that a hint of a few sentences reads as a paragraph, not a column.
    text->setMinimumWidth(text->fontMetrics().averageCharWidth() * kTextWidthInCharacters);
    layout->addWidget(text);

    dontShowAgain_ = new QCheckBox(QStringLiteral("Do not show this message again."), this);
    dontShowAgain_->setChecked(request.checkBoxTicked);
    layout->addWidget(dontShowAgain_);

    auto* row = new QHBoxLayout;
    row->addStretch();
    bool first = true;
    for (const HintButton& button : HintButtonsForStyle(request.style)) {
        auto* push = new QPushButton(button.caption, this);
        push->setDefault(first);
        first = false;
        const Answer result = button.result;
        connect(push, &QPushButton::clicked, this, [this, result] { Finish(result); });
        row->addWidget(push);
        escapeResult_ = result;
    }
    layout->addLayout(row);
}

void CHintDialog::reject()
{
    Finish(escapeResult_);
}

void CHintDialog::Finish(Answer result)
{
    result_ = result;
    done(static_cast<int>(result));
}

HintAnswer CHintDialog::Run()
{
    HintAnswer answer;
    exec();
    answer.result = result_;
    answer.dontShowAgain = dontShowAgain_->isChecked();
    return answer;
}
