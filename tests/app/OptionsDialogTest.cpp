#include "document/DefectDocFixture.h"

#include "app/OptionsDialog.h"
#include "platform/LocalSettings.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>

namespace {

class NoEffects : public OptionsEffects {
public:
    void RegisterHotkey(int) override {}
    void ApplyTrayMode() override {}
};

class OptionsDialogTest : public DefectDocFixture {
protected:
    void LogIn(const char* login)
    {
        AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"), {}, QStringLiteral("A"));
        AddStakeholder(setup_, 2, QStringLiteral("Bob"), QStringLiteral("bob"));
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        doc_.SetAutoLogin(QLatin1String(login));
        ASSERT_TRUE(doc_.OnOpenDocument(path_));
    }

    template <typename T> T* Field(QDialog& dialog, const char* name)
    {
        return dialog.findChild<T*>(QLatin1String(name));
    }

    LocalSettings settings_;
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
