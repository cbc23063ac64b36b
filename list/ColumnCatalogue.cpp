// The fixed names and sort expressions of the list columns.

#include "list/ColumnCatalogue.h"

#include <array>

namespace {

struct CatalogueEntry {
    const char* internalName;
    const char* orderBy;
};

// Lookup columns sort by the lookup table's order, not by the name. The repeated columns of
// DefectListQuery carry qualified names and are written in brackets.
constexpr std::array<CatalogueEntry, column::kCount> kCatalogue{{
    {"DefectID", "Defect_ID"},
    {"Status", "[Status.sys_sortorder]"},
    {"Subject", "Subject"},
    {"To", "[To.sys_sortorder]"},
    {"From", "[From.sys_sortorder]"},
    {"Priority", "[Priority.sys_sortorder]"},
    {"Severity", "[Severity.sys_sortorder]"},
    {"Component", "[Component.sys_sortorder]"},
    {"FoundBuild", "FoundBuild"},
    {"FixedBuild", "FixedBuild"},
    {"Description", "Description"},
    {"Opened", "Opened"},
    {"Modified", "Modified"},
    {"Closed", "Closed"},
    {"Comments", "Comments"},
    {"lastread", "lastread"},
    {"foundversion", "foundversion"},
    {"fixedversion", "fixedversion"},
    {"Category", "[category.sys_sortorder]"},
    {"Cc", "Cc"},
}};

bool Known(int columnId)
{
    return columnId >= 0 && columnId < column::kCount;
}

} // namespace

QString ColumnInternalName(int columnId)
{
    return Known(columnId) ? QString::fromLatin1(kCatalogue[static_cast<std::size_t>(columnId)].internalName)
                           : QString();
}

QString ColumnOrderByExpression(int columnId)
{
    return Known(columnId) ? QString::fromLatin1(kCatalogue[static_cast<std::size_t>(columnId)].orderBy) : QString();
}
