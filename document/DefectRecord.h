#pragma once
// The current defect as the database view DefectListQuery shows it: 21 columns in a fixed
// order. Texts are held as UTF-8 of at most (size - 1) bytes, the sizes of the fixed buffers
// the file format was designed around; dates are OLE dates, 0 meaning "not set".

#include "engine/Rowset.h"
#include "engine/UpdatableRowset.h"

#include <QString>
#include <QStringList>

#include <cstdint>

struct DefectRecord {
    static constexpr int kCommentsSize = 8000;
    static constexpr int kDescriptionSize = 8000;
    static constexpr int kHistorySize = 8000;
    static constexpr int kSubjectSize = 256;
    static constexpr int kCcSize = 256;
    static constexpr int kVersionSize = 11;
    static constexpr int kColumnCount = 21;

    double Closed = 0;
    QString Comments;
    std::int32_t ComponentID = 0;
    std::int32_t Defect_ID = 0;
    QString Description;
    std::int32_t FixedBuild = 0;
    std::int32_t FoundBuild = 0;
    std::int32_t FromID = 0;
    QString History;
    double Modified = 0;
    double Opened = 0;
    std::int32_t PriorityID = 0;
    std::int32_t SeverityID = 0;
    std::int32_t StatusID = 0;
    QString Subject;
    std::int32_t ToID = 0;
    double lastread = 0;
    QString foundversion;
    QString fixedversion;
    std::int32_t categoryid = 0;
    QString Cc;

    // The column names in binding order.
    static const QStringList& ColumnNames();

    // The record's SELECT over DefectListQuery without a condition.
    static QString SelectText();
    // The SELECT of one defect; its parameter is the defect id.
    static QString SelectByIdText();

    // The current row of a rowset opened with SelectText; texts are cut to their buffers.
    static DefectRecord FromRow(const engine::Rowset& rowset);

    // The values to write, in column order; the key is left alone, texts cut to their buffers.
    engine::RowValues ToRowValues() const;
    // The values that write `lastread` and leave every other column alone.
    static engine::RowValues LastReadValues(double lastread);

    // Cuts every text to its buffer at a character boundary.
    void FitTexts();

    // All 21 columns equal: texts byte for byte, numbers and dates exactly.
    friend bool operator==(const DefectRecord&, const DefectRecord&) = default;
};

// A saved defect is announced by mail unless it is a template or a draft.
bool NotifiesOnSave(const DefectRecord& record);
