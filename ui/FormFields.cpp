// The kinds of field the defect form is made of.
#include "ui/FormFields.h"

#include "document/DefectRecord.h"
#include "platform/Utf8Text.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QValidator>

#include <algorithm>
#include <limits>

namespace {

// The memos' height in the form's design size; they grow with the pane.
constexpr int kMemoLines = 4;

// Refuses a change that would not fit the record's buffer, counting UTF-8 bytes as it stores them.
class BufferValidator : public QValidator {
public:
    BufferValidator(int bufferSize, QObject* parent) : QValidator(parent), maxBytes_(bufferSize - 1) { }
    State validate(QString& input, int&) const override
    {
        return Utf8Length(input) <= maxBytes_ ? Acceptable : Invalid;
    }

private:
    int maxBytes_;
};

// Cuts what the user just typed or pasted before the cursor so that the text fits the buffer;
// the cut joins the insertion's undo step.
void KeepWithinBuffer(QPlainTextEdit* field, int maxBytes)
{
    const QString text = field->toPlainText();
    int excess = Utf8Length(text) - maxBytes;
    if (excess <= 0)
        return;
    QTextCursor cursor = field->textCursor();
    const int end = cursor.position();
    int start = end;
    while (excess > 0 && start > 0) {
        const int step =
            start >= 2 && text.at(start - 1).isLowSurrogate() && text.at(start - 2).isHighSurrogate() ? 2 : 1;
        start -= step;
        excess -= Utf8Length(text.mid(start, step));
    }
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.joinPreviousEditBlock();
    cursor.removeSelectedText();
    cursor.endEditBlock();
    field->setTextCursor(cursor);
}

} // namespace

void SetMinimumLines(QAbstractScrollArea* field, int lines)
{
    field->setMinimumHeight(field->fontMetrics().lineSpacing() * lines + 2 * field->frameWidth() + 8);
}

QLineEdit* MakeTextField(QWidget* parent, const char* name, int bufferSize)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setMaxLength(bufferSize - 1);
    field->setValidator(new BufferValidator(bufferSize, field));
    return field;
}

QLineEdit* MakeNumberField(QWidget* parent, const char* name)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setValidator(new QIntValidator(std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), field));
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 16);
    return field;
}

QPlainTextEdit* MakeMemoField(QWidget* parent, const char* name, int bufferSize)
{
    auto* field = new QPlainTextEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setTabChangesFocus(true);
    SetMinimumLines(field, kMemoLines);
    QObject::connect(field, &QPlainTextEdit::textChanged, field,
                     [field, maxBytes = bufferSize - 1] { KeepWithinBuffer(field, maxBytes); });
    return field;
}

QComboBox* MakeChoiceField(QWidget* parent, const char* name)
{
    auto* field = new QComboBox(parent);
    field->setObjectName(QLatin1String(name));
    field->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    field->setMinimumContentsLength(10);
    return field;
}

void AddLabelled(QGridLayout* grid, const QString& text, QWidget* field, int row, int column, int span)
{
    auto* label = new QLabel(text, field->parentWidget());
    label->setBuddy(field);
    grid->addWidget(label, row, column);
    grid->addWidget(field, row, column + 1, 1, span);
}

void ReportEdits(QWidget* field, const std::function<void()>& edited)
{
    // Only the user's changes: textEdited and activated are not sent for the form's own fills,
    // and the memos are filled with their signals blocked.
    if (auto* line = qobject_cast<QLineEdit*>(field))
        QObject::connect(line, &QLineEdit::textEdited, line, edited);
    else if (auto* choice = qobject_cast<QComboBox*>(field))
        QObject::connect(choice, &QComboBox::activated, choice, edited);
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(field))
        QObject::connect(memo, &QPlainTextEdit::textChanged, memo, edited);
}

void ShowChoices(QComboBox* field, const std::vector<ChoiceItem>& choices, int id)
{
    const QSignalBlocker blocker(field);
    field->setUpdatesEnabled(false);
    field->clear();
    int selected = -1;
    for (const ChoiceItem& choice : choices) {
        if (selected < 0 && choice.data == id)
            selected = field->count();
        field->addItem(choice.text, choice.data);
    }
    // An id that no entry has shows the first entry, which a save then stores.
    field->setCurrentIndex(choices.empty() ? -1 : std::max(selected, 0));
    field->setUpdatesEnabled(true);
}

int ChosenId(const QComboBox* field)
{
    return field->currentIndex() < 0 ? 0 : field->currentData().toInt();
}

void ShowNumber(QLineEdit* field, int value)
{
    field->setText(QString::number(value));
}

int TakeNumber(const QLineEdit* field)
{
    return field->text().toInt();
}

void ShowMemo(QPlainTextEdit* field, const QString& text)
{
    const QSignalBlocker blocker(field);
    field->setPlainText(text);
}

VersionRow::VersionRow(QWidget* parent, const char* prefix)
    : version(MakeTextField(parent, (QByteArray(prefix) + "Version").constData(), DefectRecord::kVersionSize)),
      build(MakeNumberField(parent, (QByteArray(prefix) + "Build").constData()))
{
    version->setMaximumWidth(build->maximumWidth());
}

void VersionRow::AddTo(QGridLayout* grid, int row, int column, const QString& versionLabel, const QString& buildLabel)
{
    auto* label = new QLabel(versionLabel, version->parentWidget());
    label->setBuddy(version);
    grid->addWidget(label, row, column);
    auto* line = new QHBoxLayout;
    line->addWidget(version);
    line->addWidget(new QLabel(buildLabel, version->parentWidget()));
    line->addWidget(build);
    line->addStretch();
    grid->addLayout(line, row, column + 1);
}

void VersionRow::Show(const QString& versionText, int buildNumber)
{
    version->setText(versionText);
    ShowNumber(build, buildNumber);
}

void VersionRow::Take(QString& versionText, int& buildNumber) const
{
    versionText = version->text();
    buildNumber = TakeNumber(build);
}
