// The .xlsx file of the current list, written with libxlsxwriter.

#include "export/XlsxExport.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/Result.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Statement.h"
#include "export/OutputFile.h"
#include "export/SpreadsheetQuery.h"
#include "export/XlsxLibrary.h"
#include "list/ColumnCatalogue.h"

#include <QDir>
#include <QTemporaryFile>

#include <memory>
#include <string>

namespace {

// The spreadsheet's own date-and-time format, shown in the reader's locale.
constexpr std::uint8_t kDateTimeFormat = 22;
// The longest text a cell holds, in UTF-16 code units as the spreadsheet programs count.
constexpr qsizetype kLongestCellText = 32767;

// The text of a cell. A NUL would end the C string the library takes and so cut the value: it is
// shown as the symbol for null. U+FFFE and U+FFFF cannot stand in the sheet's XML and become
// U+FFFD. A text longer than a cell holds is cut between two characters and ends in a marker
// that says so; the CSV export holds the whole text.
QByteArray CellText(QString text)
{
    text.replace(QChar(u'\0'), QChar(0x2400)).replace(QChar(0xFFFE), QChar::ReplacementCharacter);
    text.replace(QChar(0xFFFF), QChar::ReplacementCharacter);
    if (text.size() > kLongestCellText) {
        const QString marker =
            QStringLiteral(" \u2026[cut: the text has %1 characters; the CSV export holds them all]").arg(text.size());
        qsizetype keep = kLongestCellText - marker.size();
        if (text.at(keep - 1).isHighSurrogate())
            --keep;
        text = text.left(keep) + marker;
    }
    return text.toUtf8();
}

struct WorkbookFree {
    void operator()(lxw_workbook* workbook) const { xlsx::lxw_workbook_free(workbook); }
};
using Workbook = std::unique_ptr<lxw_workbook, WorkbookFree>;

enum class CellKind { Text, Number, Date };

CellKind KindOf(int columnId)
{
    switch (columnId) {
    case column::kDefectId:
    case column::kFoundBuild:
    case column::kFixedBuild:
        return CellKind::Number;
    case column::kOpened:
    case column::kModified:
    case column::kClosed:
    case column::kLastRead:
        return CellKind::Date;
    default:
        return CellKind::Text;
    }
}

void Check(lxw_error error)
{
    if (error != LXW_NO_ERROR)
        throw check::abort_on(std::string("Writing output file failed! (") + xlsx::lxw_strerror(error) + ")");
}

// One sheet being written; Begin starts it afresh (a read that lost the file starts again).
class ListSheet {
public:
    ListSheet(const QString& path, const ListColumns& list, std::vector<int> columns)
        : path_(path.toStdString()), tmpdir_(QDir::tempPath().toStdString()), list_(list), columns_(std::move(columns))
    {
    }

    void Begin()
    {
        // Rows are written in order and go straight to a temporary file: a long list costs no memory.
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = tmpdir_.data();
        workbook_.reset(xlsx::workbook_new_opt(path_.c_str(), &options));
        check::abort_if(!workbook_, "Could not open output file!");
        sheet_ = xlsx::workbook_add_worksheet(workbook_.get(), nullptr);
        check::abort_if(sheet_ == nullptr, "Writing output file failed!");
        lxw_format* bold = xlsx::workbook_add_format(workbook_.get());
        xlsx::format_set_bold(bold);
        date_ = xlsx::workbook_add_format(workbook_.get());
        xlsx::format_set_num_format_index(date_, kDateTimeFormat);
        for (lxw_col_t col = 0; col < columns_.size(); ++col) {
            const ListColumn& shown = list_.columns[static_cast<std::size_t>(columns_[col])];
            Check(xlsx::worksheet_set_column_pixels(sheet_, col, col, static_cast<std::uint32_t>(shown.width), nullptr));
            Check(xlsx::worksheet_write_string(sheet_, 0, col, shown.caption.toStdString().c_str(), bold));
        }
        xlsx::worksheet_freeze_panes(sheet_, 1, 0);
        row_ = 0;
    }

    void Add(const engine::Statement& statement)
    {
        ++row_;
        for (lxw_col_t col = 0; col < columns_.size(); ++col) {
            const engine::Value value = statement.Column(static_cast<int>(col));
            if (engine::IsNull(value))
                continue;
            switch (KindOf(columns_[col])) {
            case CellKind::Number:
                Check(xlsx::worksheet_write_number(sheet_, row_, col, engine::AsReal(value), nullptr));
                break;
            case CellKind::Date:
                // Dates are kept as the spreadsheet keeps them: days since 1899-12-30; 0 is not set.
                if (const double date = engine::AsReal(value); date != 0)
                    Check(xlsx::worksheet_write_number(sheet_, row_, col, date, date_));
                break;
            case CellKind::Text: {
                // A line break inside a cell is a line feed alone.
                const QString text = engine::AsText(value).replace(QLatin1String("\r\n"), QLatin1String("\n"));
                Check(xlsx::worksheet_write_string(sheet_, row_, col, CellText(text).constData(), nullptr));
                break;
            }
            }
        }
    }

    void Close()
    {
        const lxw_error error = xlsx::workbook_close(workbook_.release());
        check::abort_if(error == LXW_ERROR_CREATING_XLSX_FILE, "Could not open output file!");
        Check(error);
    }

private:
    std::string path_;
    std::string tmpdir_;
    const ListColumns& list_;
    std::vector<int> columns_;
    Workbook workbook_;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* date_ = nullptr;
    lxw_row_t row_ = 0;
};

} // namespace

void WriteListWorkbook(const QString& path, engine::Connection& connection, const ListColumns& list,
                       const ListCondition& condition)
{
    ErrorContext context("Exporting database table");
    if (OutputFile::WritesInPlace(path)) {
        // A workbook is a zip file, written with seeks: it is made in the temporary folder and
        // then copied into the pipe or device.
        QTemporaryFile workbook(QDir::temp().filePath(QStringLiteral("VellacordExport-XXXXXX.xlsx")));
        check::abort_if(!workbook.open(), "Could not open output file!");
        workbook.close();
        WriteListWorkbook(workbook.fileName(), connection, list, condition);
        check::abort_if(!workbook.open(), "Writing output file failed!");
        OutputFile file(path);
        constexpr qint64 kChunkBytes = 1 << 20;
        while (!workbook.atEnd()) {
            const QByteArray chunk = workbook.read(kChunkBytes);
            check::abort_if(file.device().write(chunk) != chunk.size(), "Writing output file failed!");
        }
        file.Commit();
        return;
    }
    std::vector<int> columns = VisibleColumns(list);
    const QString select = SpreadsheetSelect(columns, condition.text);
    ListSheet sheet(path, list, std::move(columns));
    const long status = connection.ReadRows(
        select, {}, condition.carriesFilter ? engine::Access::ReadOnly : engine::Access::Any, [&] { sheet.Begin(); },
        [&](const engine::Statement& row) { sheet.Add(row); });
    if (engine::Failed(status))
        CHResult(status, connection.TakeErrorRecords()).check();
    sheet.Close();
}
