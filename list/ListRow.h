#pragma once
// One row of the defect list as it is kept in memory: the numbers as read and the texts as
// UTF-8, memo texts already cut to the cell length, in blocks that many rows share, so that
// 100 000 rows stay small and a fill allocates per block, not per row. The cell texts are made
// from it when they are shown.

#include "list/DateTextFormat.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>

class LookupLists;
struct DefectRecord;

// Hands out room for row texts from blocks; a block lives as long as a row holds texts in it.
class ListTextArena {
public:
    static constexpr std::size_t kBlockBytes = 256 * 1024;

    // Room for `bytes` bytes, owning its block.
    std::shared_ptr<char> Allocate(std::size_t bytes);

private:
    std::shared_ptr<char[]> block_;
    std::size_t used_ = 0;
    std::size_t capacity_ = 0;
};

class ListRow {
public:
    enum Text { kSubject, kDescription, kComments, kFoundVersion, kFixedVersion, kCc, kTextCount };
    using Texts = std::array<QByteArrayView, kTextCount>;

    std::int32_t defectId = 0;
    std::int32_t statusId = 0;
    std::int32_t toId = 0;
    std::int32_t fromId = 0;
    std::int32_t priorityId = 0;
    std::int32_t severityId = 0;
    std::int32_t componentId = 0;
    std::int32_t categoryId = 0;
    std::int32_t foundBuild = 0;
    std::int32_t fixedBuild = 0;
    double opened = 0;
    double modified = 0;
    double closed = 0;
    double lastRead = 0;

    QByteArrayView text(Text which) const;
    // Copies the texts into room of their own, or into the arena's block; memo texts must
    // already be cut.
    void SetTexts(const Texts& texts);
    void SetTexts(const Texts& texts, ListTextArena& arena);

    static ListRow FromRecord(const DefectRecord& record);

private:
    void CopyTexts(const Texts& texts, std::shared_ptr<char> room);

    std::shared_ptr<char> texts_; // points into a shared block and keeps it
    std::array<std::uint32_t, kTextCount> ends_{};
};

// The number of bytes of the first `characters` characters of a UTF-8 text (a cut never
// splits a character).
int Utf8PrefixBytes(const char* utf8, int bytes, int characters);

// The text of catalogue column `columnId` for the row: lookups by name ("-- 7 --" for an id
// without an entry), dates in the user's locale ("-" for an unset Closed or Read), memo texts
// cut to the cell length, and "unknown column index" for an id outside the catalogue.
QString CellText(const ListRow& row, int columnId, const LookupLists& lookups);

// A date-time as the list shows it: the user's locale, short form.
QString ListDateText(double oleDate);

// The cell texts of many rows, as CellText makes them: the date pattern is read once, and the
// lookup names are converted to UTF-8 once each. Made for one pass over the rows, as the names
// and the locale may change between two.
class CellTexts {
public:
    explicit CellTexts(const LookupLists& lookups);

    QString Text(const ListRow& row, int columnId) const;
    // Appends the same text as UTF-8.
    void AppendUtf8(QByteArray& out, const ListRow& row, int columnId);

private:
    const LookupLists& lookups_;
    DateTextFormat dates_;
    std::map<std::pair<int, std::int32_t>, QByteArray> names_;
    QString date_; // reused for each date
};
