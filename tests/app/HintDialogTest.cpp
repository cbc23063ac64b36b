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
    EXPECT_EQ(escaped.result, 7);
    EXPECT_FALSE(escaped.dontShowAgain);

    request.style = HintStyle::Ok;
    request.checkBoxTicked = true;
    CHintDialog ok(request);
    ASSERT_EQ(ok.findChildren<QPushButton*>().size(), 1);
    const HintAnswer pressed = RunThen(ok, [&] { ok.findChild<QPushButton*>()->click(); });
    EXPECT_EQ(pressed.result, 1);
    EXPECT_TRUE(pressed.dontShowAgain);
}
