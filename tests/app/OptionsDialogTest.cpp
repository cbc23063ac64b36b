// The options dialog: a missing variable keeps it open, texts fit their storage, others see Global read-only.

#include "OptionsFixture.h"

#include "app/OptionsDialog.h"
#include "platform/Utf8Text.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>

namespace {

class NoEffects : public OptionsEffects {
public:
    void RegisterHotkey(int) override { }
    void ApplyTrayMode() override { }
};

class OptionsDialogTest : public OptionsFixture {
protected:
    template <typename T>
    T* Field(QDialog& dialog, const char* name)
    {
        return dialog.findChild<T*>(QLatin1String(name));
    }

    NoEffects effects_;
};

TEST_F(OptionsDialogTest, AMissingVariableKeepsTheSheetOpenOnItsField)
{
    LogIn("ann");
    OptionsSheet sheet(doc_, settings_, effects_);
    COptionsDialog dialog(sheet, false, OptionsPage::Mail);
    Field<QLineEdit>(dialog, "zipTool1118")->setText(QStringLiteral("zip \"%attachmentdir%\""));
    ui_.ExpectMessage(mail::options_string::kTokenMissing);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.focusWidget(), Field<QLineEdit>(dialog, "zipTool1118"));
    EXPECT_EQ(dialog.findChild<QTabWidget*>()->currentIndex(), static_cast<int>(OptionsPage::Global));

    Field<QLineEdit>(dialog, "zipTool1118")->setText(QStringLiteral("zip \"%ZIPFILE%\" \"%attachmentdir%\""));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.values.system.compressionTool, QStringLiteral("zip \"%ZIPFILE%\" \"%attachmentdir%\""));
}

TEST_F(OptionsDialogTest, TheTemplateTakesNoMoreThanTheFileStores)
{
    LogIn("ann");
    OptionsSheet sheet(doc_, settings_, effects_);
    COptionsDialog dialog(sheet, true, OptionsPage::Global);
    auto* edit = Field<QPlainTextEdit>(dialog, "template1115");
    edit->setPlainText(QString(7993, QLatin1Char('x')));
    edit->moveCursor(QTextCursor::Start);
    // Ten two-byte characters pasted where seven no longer fit; the text after them stays.
    edit->insertPlainText(QString(10, QChar(0x00E4)));
    EXPECT_EQ(Utf8Length(edit->toPlainText()), SystemSettings::kTemplateBufferSize - 1);
    EXPECT_TRUE(edit->toPlainText().startsWith(QString(3, QChar(0x00E4)) + QLatin1Char('x')));
}

TEST_F(OptionsDialogTest, OthersSeeTheGlobalPageReadOnly)
{
    LogIn("bob");
    OptionsSheet sheet(doc_, settings_, effects_);
    COptionsDialog dialog(sheet, true, OptionsPage::Global);
    EXPECT_FALSE(Field<QSpinBox>(dialog, "backups1052")->isEnabled());
    EXPECT_TRUE(Field<QLineEdit>(dialog, "mailTool1116")->isReadOnly());
    EXPECT_TRUE(Field<QPlainTextEdit>(dialog, "template1115")->isReadOnly());
    EXPECT_FALSE(Field<QWidget>(dialog, "mailTool1116Browse")->isEnabled());
    EXPECT_NE(Field<QWidget>(dialog, "globalReadOnly"), nullptr);
}

} // namespace
