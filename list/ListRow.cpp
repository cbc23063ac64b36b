// The list's in-memory rows and the texts of their cells.

#include "list/ListRow.h"

#include "document/DefectRecord.h"
#include "document/LookupLists.h"
#include "list/ColumnCatalogue.h"
#include "platform/OleDate.h"

#include <QLocale>

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace {

QString Text(const ListRow& row, ListRow::Text which)
{
    return QString::fromUtf8(row.text(which));
}

QByteArrayView Memo(const QByteArray& utf8)
{
    return QByteArrayView(utf8.constData(),
                          Utf8PrefixBytes(utf8.constData(), static_cast<int>(utf8.size()), column::kMemoCellLength));
}

} // namespace

int Utf8PrefixBytes(const char* utf8, int bytes, int characters)
{
    // Plain ASCII up to the limit is the usual case: no character spans bytes there.
    if (bytes <= characters)
        return bytes;
    // Eight bytes at a time while the limit is not reached: the characters that begin in them are
    // the bytes that are not continuation bytes (10xxxxxx).
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    int end = 0;
    int count = 0;
    for (; end + 8 <= bytes; end += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, utf8 + end, sizeof word);
        // One bit per continuation byte, summed into the top byte by the multiplication.
        const std::uint64_t continuations = (word & ~(word << 1) & kHighBits) >> 7;
        const int begun = 8 - static_cast<int>((continuations * kOnes) >> 56);
        if (count + begun > characters)
            break;
        count += begun;
    }
    for (; end < bytes; ++end) {
        if ((static_cast<unsigned char>(utf8[end]) & 0xC0) != 0x80 && count++ == characters)
            break;
    }
    return end;
}

ListRow::LongEnds ListRow::Ends() const
{
    LongEnds ends{};
    if (LongTexts())
        std::memcpy(ends.data(), ListTextArena::Bytes(*block_) + offset_, sizeof ends);
    else
        std::copy(ends_.begin(), ends_.end(), ends.begin());
    return ends;
}

const char* ListRow::TextBytes() const
{
    return ListTextArena::Bytes(*block_) + offset_ + (LongTexts() ? sizeof(LongEnds) : 0);
}

QByteArrayView ListRow::text(Text which) const
{
    if (block_ == nullptr)
        return {};
    const auto at = static_cast<std::size_t>(which);
    const LongEnds ends = Ends();
    const std::uint32_t begin = at == 0 ? 0 : ends[at - 1];
    return QByteArrayView(TextBytes() + begin, ends[at] - begin);
}

std::uint32_t ListRow::textBytes() const
{
    return static_cast<std::uint32_t>(LongTexts() ? sizeof(LongEnds) : 0) + Ends().back();
}

void ListRow::SetTexts(const Texts& texts, ListTextArena& arena)
{
    std::size_t total = 0;
    for (const QByteArrayView& text : texts)
        total += static_cast<std::size_t>(text.size());
    ends_ = {};
    block_ = nullptr;
    offset_ = 0;
    if (total == 0)
        return;
    const bool longTexts = total >= kLongTexts;
    const ListTextArena::Room room = arena.Allocate(total + (longTexts ? sizeof(LongEnds) : 0));
    block_ = room.block;
    offset_ = room.offset;
    char* out = room.bytes + (longTexts ? sizeof(LongEnds) : 0);
    LongEnds ends{};
    std::uint32_t end = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::copy_n(texts[i].data(), texts[i].size(), out + end);
        end += static_cast<std::uint32_t>(texts[i].size());
        ends[i] = end;
    }
    if (longTexts) {
        std::memcpy(room.bytes, ends.data(), sizeof ends);
        ends_.back() = kLongTexts;
    } else {
        for (std::size_t i = 0; i < ends.size(); ++i)
            ends_[i] = static_cast<std::uint16_t>(ends[i]);
    }
}

bool ListRow::HasTexts(const Texts& texts) const
{
    std::size_t total = 0;
    for (const QByteArrayView& text : texts)
        total += static_cast<std::size_t>(text.size());
    if (LongTexts() != (total >= kLongTexts))
        return false;
    // The lengths first: a row whose lengths differ is not unpacked (unless its texts are long).
    const LongEnds ends = Ends();
    std::uint32_t begin = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (ends[i] - begin != static_cast<std::uint32_t>(texts[i].size()))
            return false;
        begin = ends[i];
    }
    if (block_ == nullptr)
        return true;
    const char* bytes = TextBytes();
    begin = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::uint32_t size = ends[i] - begin;
        if (size > 0 && std::memcmp(bytes + begin, texts[i].data(), size) != 0)
            return false;
        begin = ends[i];
    }
    return true;
}

void ListRow::ShareTexts(const ListRow& other)
{
    block_ = other.block_;
    offset_ = other.offset_;
    ends_ = other.ends_;
}

bool ListRow::SameAs(const ListRow& other) const
{
    // Bit for bit, so that a row put back shows exactly what it showed (a date of -0 is no 0).
    const auto same = [](double a, double b) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    };
    return defectId == other.defectId && statusId == other.statusId && toId == other.toId && fromId == other.fromId &&
        priorityId == other.priorityId && severityId == other.severityId && componentId == other.componentId &&
        categoryId == other.categoryId && foundBuild == other.foundBuild && fixedBuild == other.fixedBuild &&
        same(opened, other.opened) && same(modified, other.modified) && same(closed, other.closed) &&
        same(lastRead, other.lastRead) && block_ == other.block_ && offset_ == other.offset_ && ends_ == other.ends_;
}

ListRow ListRow::FromRecord(const DefectRecord& record, ListTextArena& arena)
{
    ListRow row;
    row.defectId = record.Defect_ID;
    row.statusId = record.StatusID;
    row.toId = record.ToID;
    row.fromId = record.FromID;
    row.priorityId = record.PriorityID;
    row.severityId = record.SeverityID;
    row.componentId = record.ComponentID;
    row.categoryId = record.categoryid;
    row.foundBuild = record.FoundBuild;
    row.fixedBuild = record.FixedBuild;
    row.opened = record.Opened;
    row.modified = record.Modified;
    row.closed = record.Closed;
    row.lastRead = record.lastread;
    const QByteArray subject = record.Subject.toUtf8();
    const QByteArray description = record.Description.toUtf8();
    const QByteArray comments = record.Comments.toUtf8();
    const QByteArray foundVersion = record.foundversion.toUtf8();
    const QByteArray fixedVersion = record.fixedversion.toUtf8();
    const QByteArray cc = record.Cc.toUtf8();
    row.SetTexts({subject, Memo(description), Memo(comments), foundVersion, fixedVersion, cc}, arena);
    return row;
}

QString ListDateText(double oleDate)
{
    return QLocale().toString(WallClockFromOleDate(oleDate), QLocale::ShortFormat);
}

namespace {

// What a list column shows of a row; `date` makes a date's text.
template <typename DateText>
QString MakeCellText(const ListRow& row, int columnId, const LookupLists& lookups, const DateText& date)
{
    const auto dateOrDash = [&](double oleDate) { return oleDate == 0 ? QStringLiteral("-") : date(oleDate); };
    switch (columnId) {
    case column::kDefectId:
        return QString::number(row.defectId);
    case column::kStatus:
        return lookups.LookupName(LookupList::Status, row.statusId);
    case column::kSubject:
        return Text(row, ListRow::kSubject);
    case column::kTo:
        return lookups.LookupName(LookupList::Stakeholder, row.toId);
    case column::kFrom:
        return lookups.LookupName(LookupList::Stakeholder, row.fromId);
    case column::kPriority:
        return lookups.LookupName(LookupList::Priority, row.priorityId);
    case column::kSeverity:
        return lookups.LookupName(LookupList::Severity, row.severityId);
    case column::kComponent:
        return lookups.LookupName(LookupList::Component, row.componentId);
    case column::kFoundBuild:
        return QString::number(row.foundBuild);
    case column::kFixedBuild:
        return QString::number(row.fixedBuild);
    case column::kDescription:
        return Text(row, ListRow::kDescription);
    case column::kOpened:
        return date(row.opened);
    case column::kModified:
        return date(row.modified);
    case column::kClosed:
        return dateOrDash(row.closed);
    case column::kComments:
        return Text(row, ListRow::kComments);
    case column::kLastRead:
        return dateOrDash(row.lastRead);
    case column::kFoundVersion:
        return Text(row, ListRow::kFoundVersion);
    case column::kFixedVersion:
        return Text(row, ListRow::kFixedVersion);
    case column::kCategory:
        return lookups.LookupName(LookupList::Category, row.categoryId);
    case column::kCc:
        return Text(row, ListRow::kCc);
    default:
        return QStringLiteral("unknown column index");
    }
}

void AppendNumber(QByteArray& out, std::int32_t value)
{
    char digits[12];
    int count = 0;
    auto magnitude = static_cast<std::uint32_t>(value);
    if (value < 0)
        magnitude = 0U - magnitude;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0)
        out += '-';
    while (count > 0)
        out += digits[--count];
}

// Bytes that are no UTF-8 become U+FFFD, as in the texts made for the screen.
void AppendText(QByteArray& out, QByteArrayView text)
{
    if (text.isValidUtf8())
        out += text;
    else
        out += QString::fromUtf8(text).toUtf8();
}

std::pair<LookupList, std::int32_t> LookupOf(const ListRow& row, int columnId)
{
    switch (columnId) {
    case column::kStatus:
        return {LookupList::Status, row.statusId};
    case column::kTo:
        return {LookupList::Stakeholder, row.toId};
    case column::kFrom:
        return {LookupList::Stakeholder, row.fromId};
    case column::kPriority:
        return {LookupList::Priority, row.priorityId};
    case column::kSeverity:
        return {LookupList::Severity, row.severityId};
    case column::kComponent:
        return {LookupList::Component, row.componentId};
    default:
        return {LookupList::Category, row.categoryId};
    }
}

} // namespace

QString CellText(const ListRow& row, int columnId, const LookupLists& lookups)
{
    return MakeCellText(row, columnId, lookups, ListDateText);
}

CellTexts::CellTexts(const LookupLists& lookups) : lookups_(lookups)
{
}

QString CellTexts::Text(const ListRow& row, int columnId) const
{
    return MakeCellText(row, columnId, lookups_, [this](double oleDate) { return dates_.Text(oleDate); });
}

void CellTexts::AppendUtf8(QByteArray& out, const ListRow& row, int columnId)
{
    const auto date = [&](double oleDate, bool dash) {
        if (dash && oleDate == 0) {
            out += '-';
            return;
        }
        dates_.AppendUtf8(out, oleDate);
    };
    switch (columnId) {
    case column::kDefectId:
        AppendNumber(out, row.defectId);
        return;
    case column::kFoundBuild:
        AppendNumber(out, row.foundBuild);
        return;
    case column::kFixedBuild:
        AppendNumber(out, row.fixedBuild);
        return;
    case column::kSubject:
        AppendText(out, row.text(ListRow::kSubject));
        return;
    case column::kDescription:
        AppendText(out, row.text(ListRow::kDescription));
        return;
    case column::kComments:
        AppendText(out, row.text(ListRow::kComments));
        return;
    case column::kFoundVersion:
        AppendText(out, row.text(ListRow::kFoundVersion));
        return;
    case column::kFixedVersion:
        AppendText(out, row.text(ListRow::kFixedVersion));
        return;
    case column::kCc:
        AppendText(out, row.text(ListRow::kCc));
        return;
    case column::kOpened:
        date(row.opened, false);
        return;
    case column::kModified:
        date(row.modified, false);
        return;
    case column::kClosed:
        date(row.closed, true);
        return;
    case column::kLastRead:
        date(row.lastRead, true);
        return;
    case column::kStatus:
    case column::kTo:
    case column::kFrom:
    case column::kPriority:
    case column::kSeverity:
    case column::kComponent:
    case column::kCategory: {
        const auto [list, id] = LookupOf(row, columnId);
        const auto index = static_cast<std::size_t>(list);
        if (id >= 0 && id < kIndexedIds) {
            if (indexedNames_.size() <= index)
                indexedNames_.resize(index + 1);
            std::vector<std::optional<QByteArray>>& names = indexedNames_[index];
            if (names.size() <= static_cast<std::size_t>(id))
                names.resize(static_cast<std::size_t>(id) + 1);
            std::optional<QByteArray>& name = names[static_cast<std::size_t>(id)];
            if (!name)
                name = lookups_.LookupName(list, id).toUtf8();
            out += *name;
            return;
        }
        const auto key = std::make_pair(static_cast<int>(list), id);
        auto found = names_.find(key);
        if (found == names_.end())
            found = names_.emplace(key, lookups_.LookupName(list, id).toUtf8()).first;
        out += found->second;
        return;
    }
    default:
        out += "unknown column index";
        return;
    }
}
