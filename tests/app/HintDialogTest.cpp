// The hint dialog: the buttons of its style, the check box, and what Escape and each button answer.

#include "app/HintDialog.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

HintAnswer RunThen(CHintDialog& dialog, const std::function<void()>& action)
{
    QTimer::singleShot(0, &dialog, action);
    return dialog.Run();
}

} // namespace

TEST(HintDialog, ButtonsCheckBoxAndEscape)
{
    HintRequest request;
    request.hintId = 1000;
    request.text = QStringLiteral("mail settings not set");
    request.style = HintStyle::YesNo;
    request.checkBoxTicked = false;

    CHintDialog yesNo(request);
    QStringList captions;
    for (const QPushButton* button : yesNo.findChildren<QPushButton*>())
        captions << button->text();
    EXPECT_EQ(captions, (QStringList{"&Yes", "&No"}));
    QCheckBox* box = yesNo.findChild<QCheckBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Do not show this message again."));
    EXPECT_FALSE(box->isChecked());

    const HintAnswer escaped = RunThen(yesNo, [&] { yesNo.reject(); });
    EXPECT_EQ(escaped.result, Answer::No);
    EXPECT_FALSE(escaped.dontShowAgain);

    CHintDialog yes(request);
    const HintAnswer accepted = RunThen(yes, [&] { yes.findChildren<QPushButton*>().front()->click(); });
    EXPECT_EQ(accepted.result, Answer::Yes);

    request.style = HintStyle::Ok;
    request.checkBoxTicked = true;
    CHintDialog ok(request);
    ASSERT_EQ(ok.findChildren<QPushButton*>().size(), 1);
    const HintAnswer pressed = RunThen(ok, [&] { ok.findChild<QPushButton*>()->click(); });
    EXPECT_EQ(pressed.result, Answer::Ok);
    EXPECT_TRUE(pressed.dontShowAgain);
}
