#pragma once
// Deleting the defects selected in the list, with their attachment directories. Only the
// author of a defect or an administrator may delete it.

#include "document/DefectContext.h"

#include <QString>

#include <cstdint>
#include <vector>

class DefectPersistence;

// The defect that becomes current after the selected rows are gone: the row after the last
// selected one, else the nearest unselected row before it, else none (-1).
std::int32_t NextCurrentDefect(const std::vector<DefectListSeam::Row>& rows);

// One DELETE statement and the defects it removes.
struct DeleteBatch {
    QString sql;
    std::vector<std::int32_t> ids;
};

// The statements for `ids` in their order: each one ends as soon as it has passed 500
// characters, the last one after the last id.
std::vector<DeleteBatch> BuildDeleteBatches(const std::vector<std::int32_t>& ids);

// Saves the current defect, checks the rights, asks string 107 and deletes the selected
// defects in statements of a little over 500 characters, then tells the context which defects
// went and which one becomes current. Without a list nothing happens.
void DeleteSelectedDefects(DefectContext& context, DefectPersistence& persistence, const DefectListSeam* list);
