#pragma once
// One row of the defect list as it is kept in memory: the numbers as read and the texts as
// UTF-8 in one buffer, memo texts already cut to the cell length, so that 100 000 rows stay
// small and cost one allocation each. The cell texts are made from it when they are shown.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

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

    QByteArrayView text(Text which) const;
    // Copies the texts into the row's one buffer; memo texts must already be cut.
    void SetTexts(const Texts& texts);

    static ListRow FromRecord(const DefectRecord& record);

private:
    QByteArray texts_;
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
