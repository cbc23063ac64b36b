// The "&History" page of the defect form.
#include "ui/HistoryPage.h"

#include "document/DefectRecord.h"
#include "document/History.h"
#include "platform/OleDate.h"
#include "ui/FormFields.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTextEdit>

#include <utility>

namespace {

// The tab stops of the log, in twips (1/1440 inch): the status after the date, the comment after the status.
constexpr int kTabStopsTwips[] = {1200, 3600};
constexpr double kTwipsPerInch = 1440.0;
const QColor kUserNameColour(128, 128, 128);

QLineEdit* MakeDateField(QWidget* parent, const char* name)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setReadOnly(true);
    return field;
}

// A date in the user's locale; empty when it is not set.
QString DateText(double oleDate)
{
    return oleDate == 0 ? QString() : QLocale().toString(WallClockFromOleDate(oleDate), QLocale::ShortFormat);
}

} // namespace

CHistoryPage::CHistoryPage(QWidget* parent)
    : CFormPage(parent), opened_(MakeDateField(this, "opened")), modified_(MakeDateField(this, "modified")),
      closed_(MakeDateField(this, "closed")), read_(MakeDateField(this, "read")), history_(new QTextEdit(this))
{
    setObjectName(QStringLiteral("historyPage"));
    history_->setObjectName(QStringLiteral("history"));
    history_->setReadOnly(true);
    SetMinimumLines(history_, 4);
    history_->setAcceptRichText(false);
    history_->setLineWrapMode(QTextEdit::NoWrap);
    QTextOption option = history_->document()->defaultTextOption();
    QList<QTextOption::Tab> tabs;
    for (const int twips : kTabStopsTwips)
        tabs.append(QTextOption::Tab(twips / kTwipsPerInch * logicalDpiX(), QTextOption::LeftTab));
    option.setTabs(tabs);
    history_->document()->setDefaultTextOption(option);

    auto* grid = new QGridLayout(this);
    int column = 0;
    const std::pair<const char*, QLineEdit*> dates[] = {
        {"Opened:", opened_}, {"Modified:", modified_}, {"Closed:", closed_}, {"Read:", read_}};
    for (const auto& [text, field] : dates) {
        auto* label = new QLabel(QLatin1String(text), this);
        label->setBuddy(field);
        grid->addWidget(label, 0, column++);
        grid->addWidget(field, 0, column);
        grid->setColumnStretch(column++, 1);
    }
    grid->addWidget(history_, 1, 0, 1, column);
    grid->setRowStretch(1, 1);
}

void CHistoryPage::ShowValues(const DefectRecord& record, CDefectDoc&)
{
    opened_->setText(DateText(record.Opened));
    modified_->setText(DateText(record.Modified));
    closed_->setText(DateText(record.Closed));
    read_->setText(DateText(record.lastread));

    history_->setUpdatesEnabled(false);
    history_->setPlainText(record.History);
    QTextCursor cursor(history_->document());
    QTextCharFormat grey;
    grey.setForeground(kUserNameColour);
    for (const TextRange& range : HistoryUserNameRanges(record.History)) {
        cursor.setPosition(range.start);
        cursor.setPosition(range.start + range.length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(grey);
    }
    cursor.movePosition(QTextCursor::End);
    history_->setTextCursor(cursor);
    history_->ensureCursorVisible();
    history_->setUpdatesEnabled(true);
}
