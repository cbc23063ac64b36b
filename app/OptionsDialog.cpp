// The options property sheet and its Other and Global pages.

#include "app/OptionsDialog.h"

#include "app/OptionsHotkey.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "mail/MailOptionsWidget.h"
#include "platform/Utf8Text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kTitle = 143;
constexpr int kTemplateFont = 210;
const char* const kHotkeyValue = "hotkey";

// Shows the combination pressed while it has the focus; Backspace or Delete alone clears it.
class CHotkeyEdit : public QLineEdit {
public:
    CHotkeyEdit(int hotkey, QWidget* parent) : QLineEdit(parent)
    {
        setReadOnly(true);
        SetHotkey(hotkey);
    }

    int hotkey() const { return property(kHotkeyValue).toInt(); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const int key = event->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Escape || key == Qt::Key_Return ||
            key == Qt::Key_Enter) {
            event->ignore();
            return;
        }
        const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
            SetHotkey(0);
            return;
        }
        if (const int value = HotkeyOfKeyCombination(event->keyCombination()); value != 0)
            SetHotkey(value);
    }

private:
    void SetHotkey(int value)
    {
        setProperty(kHotkeyValue, value);
        const QKeyCombination combination = KeyCombinationOfHotkey(value);
        setText(combination.key() == Qt::Key_unknown ? QStringLiteral("None")
                                                     : QKeySequence(combination).toString(QKeySequence::NativeText));
    }
};

QComboBox* IntervalBox(int index, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    for (const IntervalEntry& entry : IntervalEntries())
        box->addItem(entry.text, entry.minutes);
    box->setCurrentIndex(index);
    return box;
}

QSpinBox* NumberBox(int value, int maximum, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setRange(0, maximum);
    box->setValue(value);
    return box;
}

// Keeps the template within what the file stores by dropping the excess of what was just
// typed or pasted, instead of cutting its end unseen on OK.
void LimitTemplate(QPlainTextEdit& edit)
{
    const QString text = edit.toPlainText();
    const int excess = Utf8Length(text) - (SystemSettings::kTemplateBufferSize - 1);
    if (excess <= 0)
        return;
    QTextCursor cursor = edit.textCursor();
    int start = cursor.position();
    for (int removed = 0; start > 0 && removed < excess;) {
        const char16_t unit = text.at(--start).unicode();
        removed += unit < 0x80 ? 1 : unit < 0x800 || QChar::isSurrogate(unit) ? 2 : 3;
    }
    cursor.setPosition(start, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

} // namespace

COptionsDialog::COptionsDialog(OptionsSheet& sheet, bool trayAvailable, OptionsPage page, QWidget* parent)
    : QDialog(parent), sheet_(sheet), pages_(new QTabWidget(this))
{
    setWindowTitle(LoadString(kTitle));
    mailPage_ = new CMailOptionsPage(sheet.values.mailMethod, sheet.values.includeAttachments, pages_);
    pages_->addTab(mailPage_, QStringLiteral("Mail"));
    pages_->addTab(CreateOtherPage(trayAvailable), QStringLiteral("&Other"));
    pages_->addTab(CreateGlobalPage(), QStringLiteral("&Global"));
    pages_->setCurrentIndex(static_cast<int>(page));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Wide enough for a line of the template.
    setMinimumWidth(560);
}

QWidget* COptionsDialog::CreateOtherPage(bool trayAvailable)
{
    const OptionsValues& values = sheet_.values;
    auto* page = new QWidget(pages_);
    hotkey_ = new CHotkeyEdit(values.hotkey, page);
    hotkey_->setObjectName(QStringLiteral("hotkey1074"));
    systray_ = new QCheckBox(QStringLiteral("use systray icon"), page);
    systray_->setObjectName(QStringLiteral("systray1080"));
    systray_->setChecked(values.systray);
    autoClose_ = IntervalBox(values.autoCloseIndex, page);
    autoClose_->setObjectName(QStringLiteral("autoClose1081"));
    autoRefresh_ = IntervalBox(values.autoRefreshIndex, page);
    autoRefresh_->setObjectName(QStringLiteral("autoRefresh1082"));
    notify_ = new QCheckBox(QStringLiteral("Notify me of new or changed entries."), page);
    notify_->setObjectName(QStringLiteral("notify1103"));
    notify_->setChecked(values.notifyOfChanges);

    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("Defect entry hotkey:"), hotkey_);
    auto* tray = new QHBoxLayout;
    tray->addWidget(systray_);
    if (!trayAvailable) {
        // The setting stays as it was: another desktop may show the icon.
        systray_->setEnabled(false);
        auto* reason = new QLabel(QStringLiteral("(this desktop has no notification area)"), page);
        reason->setObjectName(QStringLiteral("systrayReason"));
        tray->addWidget(reason);
    }
    tray->addStretch(1);
    form->addRow(tray);
    form->addRow(QStringLiteral("auto close database after"), autoClose_);
    form->addRow(QStringLiteral("auto refresh list every"), autoRefresh_);
    form->addRow(notify_);
    return page;
}

QWidget* COptionsDialog::CreateGlobalPage()
{
    const SystemSettings& system = sheet_.values.system;
    auto* page = new QWidget(pages_);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("These settings are global and affect all users."), page));
    if (!sheet_.globalEditable()) {
        auto* readOnly = new QLabel(QStringLiteral("Only administrators can change them."), page);
        readOnly->setObjectName(QStringLiteral("globalReadOnly"));
        layout->addWidget(readOnly);
    }

    auto* compaction = new QGroupBox(QStringLiteral("compact database"), page);
    auto* compactionForm = new QFormLayout(compaction);
    compressDays_ = NumberBox(system.CompressEveryNDays, OptionsSheet::kMaxCompressionDays, compaction);
    compressDays_->setObjectName(QStringLiteral("compressDays1051"));
    growth_ = new QComboBox(compaction);
    growth_->setObjectName(QStringLiteral("growth1099"));
    growth_->addItems(GrowthEntries());
    growth_->setCurrentIndex(std::clamp(system.CompressGrowthFactor, 0, growth_->count() - 1));
    backups_ = NumberBox(system.BackupsToKeep, OptionsSheet::kMaxBackups, compaction);
    backups_->setObjectName(QStringLiteral("backups1052"));
    compactionForm->addRow(QStringLiteral("every 'n' days (0..off)"), compressDays_);
    compactionForm->addRow(QStringLiteral("after size increase of"), growth_);
    compactionForm->addRow(QStringLiteral("number of backups to keep"), backups_);
    layout->addWidget(compaction);

    auto* mailGroup = new QGroupBox(QStringLiteral("email template and tools"), page);
    auto* mailForm = new QFormLayout(mailGroup);
    template_ = new QPlainTextEdit(system.email_template, mailGroup);
    template_->setObjectName(QStringLiteral("template1115"));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setFamilies({LoadString(kTemplateFont), fixed.family()});
    fixed.setStyleHint(QFont::TypeWriter);
    template_->setFont(fixed);
    template_->setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(template_, &QPlainTextEdit::textChanged, this, [this] { LimitTemplate(*template_); });
    mailTool_ = new QLineEdit(system.sendmailTool, mailGroup);
    mailTool_->setObjectName(QStringLiteral("mailTool1116"));
    zipTool_ = new QLineEdit(system.compressionTool, mailGroup);
    zipTool_->setObjectName(QStringLiteral("zipTool1118"));
    mailForm->addRow(QStringLiteral("template:"), template_);
    mailForm->addRow(QStringLiteral("EMail Tool:"), CreateToolRow(mailGroup, mailTool_, mail::Tool::Mail));
    mailForm->addRow(QStringLiteral("ZIP Tool:"), CreateToolRow(mailGroup, zipTool_, mail::Tool::Compression));
    auto* note = new QLabel(
        QStringLiteral("NOTE: The path specified here must be valid for all users. If you are working in a network "
                       "environment, be sure to choose a path valid for everyone such as /net/server/share/path/tool. "
                       "And remember to add command variables!"),
        mailGroup);
    note->setWordWrap(true);
    mailForm->addRow(note);
    layout->addWidget(mailGroup, 1);

    if (!sheet_.globalEditable()) {
        for (QWidget* field :
             {static_cast<QWidget*>(compressDays_), static_cast<QWidget*>(growth_), static_cast<QWidget*>(backups_)})
            field->setEnabled(false);
        template_->setReadOnly(true);
        for (QLineEdit* tool : {mailTool_, zipTool_})
            tool->setReadOnly(true);
        for (QPushButton* browse : mailGroup->findChildren<QPushButton*>())
            browse->setEnabled(false);
    }
    return page;
}

QWidget* COptionsDialog::CreateToolRow(QWidget* page, QLineEdit* field, mail::Tool tool)
{
    field->setMaxLength(SystemSettings::kToolBufferSize - 1);
    auto* row = new QWidget(page);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    auto* browse = new QPushButton(QStringLiteral("..."), row);
    browse->setObjectName(field->objectName() + QStringLiteral("Browse"));
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    connect(browse, &QPushButton::clicked, this, [this, field, tool] { Browse(field, tool); });
    layout->addWidget(browse);
    return row;
}

void COptionsDialog::Browse(QLineEdit* field, mail::Tool tool)
{
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Open;
    request.filter = QStringLiteral("All Files (*)|*||");
    UserInterface& ui = TheUserInterface();
    const std::optional<QString> program = ui.ChooseFile(request);
    if (!program)
        return;
    if (const std::optional<QString> command = mail::BrowsedToolCommand(tool, *program))
        field->setText(*command);
    else
        ShowStringMessage(ui, mail::options_string::kPathTooLong, Buttons::Ok, Icon::Warning);
}

void COptionsDialog::Collect()
{
    OptionsValues& values = sheet_.values;
    values.mailMethod = mailPage_->method();
    values.includeAttachments = mailPage_->includeAttachments();
    values.hotkey = static_cast<CHotkeyEdit*>(hotkey_)->hotkey();
    values.systray = systray_->isChecked();
    values.autoCloseIndex = autoClose_->currentIndex();
    values.autoRefreshIndex = autoRefresh_->currentIndex();
    values.notifyOfChanges = notify_->isChecked();
    values.system.CompressEveryNDays = compressDays_->value();
    values.system.CompressGrowthFactor = growth_->currentIndex();
    values.system.BackupsToKeep = backups_->value();
    values.system.email_template = template_->toPlainText();
    values.system.sendmailTool = mailTool_->text();
    values.system.compressionTool = zipTool_->text();
}

void COptionsDialog::accept()
{
    Collect();
    if (const std::optional<mail::ToolProblem> problem = sheet_.CheckGlobal()) {
        pages_->setCurrentIndex(static_cast<int>(OptionsPage::Global));
        ShowTextMessage(TheUserInterface(), mail::ProblemText(*problem), Buttons::Ok, Icon::Warning, problem->stringId);
        QLineEdit* field = problem->tool == mail::Tool::Mail ? mailTool_ : zipTool_;
        field->setFocus();
        field->selectAll();
        return;
    }
    // The user gave up waiting for the file: what they typed stays, for another OK or Cancel.
    if (!sheet_.Apply()) {
        pages_->setCurrentIndex(static_cast<int>(OptionsPage::Global));
        return;
    }
    QDialog::accept();
}
