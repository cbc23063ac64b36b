#pragma once
// One row of the defect list as it is kept in memory: the numbers as read and the texts as
// UTF-8, memo texts already cut to the cell length, in blocks of an arena that many rows share,
// so that 100 000 rows stay small and a fill allocates per block, not per row. The cell texts are
// made from it when they are shown.

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
#include <vector>

class ListRow;
class LookupLists;
struct DefectRecord;

// Holds the texts of many rows in blocks, so that a fill allocates per block, not per row. The
// rows point into the blocks and own nothing: the arena lives as long as its rows.
class ListTextArena {
public:
    static constexpr std::size_t kBlockBytes = 256 * 1024;

    explicit ListTextArena(std::size_t blockBytes = kBlockBytes) : blockBytes_(blockBytes) { }
    ListTextArena(ListTextArena&& other) noexcept;
    ListTextArena& operator=(ListTextArena&& other) noexcept;

    // Room for `bytes` bytes.
    char* Allocate(std::size_t bytes);
    // Gives out the newest block's room again and frees the others: for a reader that keeps one
    // row at a time. The rows whose texts were in the arena must not be read afterwards.
    void Reuse();
    // The bytes of all blocks held.
    std::size_t capacity() const { return capacity_; }
    // Takes over the blocks of `other` that hold texts of `rows`; `other` keeps the rest.
    void AdoptBlocksOf(const std::vector<ListRow>& rows, ListTextArena& other);
    // Copies the texts of `rows` into fresh blocks when the blocks held are mostly texts no row
    // shows any more (the earlier copies of rows that changed), and frees the old blocks.
    void CompactFor(std::vector<ListRow>& rows);

private:
    std::size_t blockBytes_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::size_t> sizes_;
    char* cursor_ = nullptr; // the free part of the newest block
    std::size_t left_ = 0;
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
    // Copies the texts into the arena; memo texts must already be cut.
    void SetTexts(const Texts& texts, ListTextArena& arena);
    // Whether the row holds exactly these texts.
    bool HasTexts(const Texts& texts) const;
    // Points at the texts of `other`, which stay where they are.
    void ShareTexts(const ListRow& other);
    // Where the texts begin, and their length.
    const char* textData() const { return texts_; }
    std::uint32_t textBytes() const { return ends_.back(); }

    // The row of a record, its texts in `arena`.
    static ListRow FromRecord(const DefectRecord& record, ListTextArena& arena);

private:
    friend class ListTextArena;

    const char* texts_ = nullptr; // in the blocks of an arena, one after the other
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
