#pragma once
// One row of the defect list as it is kept in memory: the numbers as read and the texts as
// UTF-8, memo texts already cut to the cell length, in a block of an arena that many rows share
// (ListTextArena), so that 100 000 rows stay small. The cell texts are made from it when they are
// shown.

#include "list/DateTextFormat.h"
#include "list/ListTextArena.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

class LookupLists;
struct DefectRecord;

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

    // The text, valid until a text of a row in another block of the same arena is read or the
    // arena changes (ListTextArena::Bytes): read it, copy it or compare it at once, never keep it.
    // All texts of one row lie in one block, so they may be read one after the other.
    QByteArrayView text(Text which) const;
    // Copies the texts into the arena; memo texts must already be cut.
    void SetTexts(const Texts& texts, ListTextArena& arena);
    // Whether the row holds exactly these texts (`texts` must not point into an arena).
    bool HasTexts(const Texts& texts) const;
    // Whether reading the texts costs no unpacking of their block.
    bool TextsAtHand() const { return block_ == nullptr || ListTextArena::AtHand(*block_); }
    // Refers to the texts of `other`, which stay where they are.
    void ShareTexts(const ListRow& other);
    // The bytes the texts take in their block.
    std::uint32_t textBytes() const;
    // Whether the two rows hold the same values, bit for bit, and the same texts in the same place.
    bool SameAs(const ListRow& other) const;

    // The row of a record, its texts in `arena`.
    static ListRow FromRecord(const DefectRecord& record, ListTextArena& arena);

private:
    friend class ListTextArena;

    // Texts that add up to less than this keep their ends in the row, in 16 bits, which keeps a
    // row at 96 bytes; longer ones keep them in 32 bits in front of the texts, and the row's last
    // end is this.
    static constexpr std::uint16_t kLongTexts = UINT16_MAX;
    using LongEnds = std::array<std::uint32_t, kTextCount>;
    bool LongTexts() const { return ends_.back() == kLongTexts; }
    // The ends of the texts in 32 bits, from the row or from in front of the texts.
    LongEnds Ends() const;
    // The first byte of the texts in their block (only with a block).
    const char* TextBytes() const;

    // The texts, one after the other, from `offset_` on in `block_` (none when they are all empty).
    const ListTextArena::Block* block_ = nullptr;
    std::uint32_t offset_ = 0;
    std::array<std::uint16_t, kTextCount> ends_{};
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
    // The names made so far, by list and id: ids from 0 to kIndexedIds in a vector each (the
    // usual ids, looked up for every row), any other in the map.
    static constexpr std::int32_t kIndexedIds = 4096;
    std::vector<std::vector<std::optional<QByteArray>>> indexedNames_;
    std::map<std::pair<int, std::int32_t>, QByteArray> names_;
};
