// The string table: every subsystem's texts gathered into one map by id.

#include "base/StringTable.h"

#include "base/Check.h"

#include <unordered_map>

namespace {

struct StringEntry {
    int id;
    const char* text;
};

// Each subsystem keeps its texts in a file of its own below strings/.
constexpr StringEntry kStrings[] = {
#include "resources/strings/admin.inc"
#include "resources/strings/app.inc"
#include "resources/strings/defect.inc"
#include "resources/strings/document.inc"
#include "resources/strings/export.inc"
#include "resources/strings/list.inc"
#include "resources/strings/mail.inc"
#include "resources/strings/options.inc"
#include "resources/strings/reports.inc"
#include "resources/strings/shell.inc"
#include "resources/strings/store.inc"
#include "resources/strings/workflow.inc"
};

const std::unordered_map<int, const char*>& StringMap()
{
    static const std::unordered_map<int, const char*> map = [] {
        std::unordered_map<int, const char*> result;
        for (const StringEntry& entry : kStrings)
            result.emplace(entry.id, entry.text);
        return result;
    }();
    return map;
}

} // namespace

QString LoadString(int id)
{
    const auto& map = StringMap();
    const auto found = map.find(id);
    check::assertion(found != map.end(), "string resource not found");
    return QString::fromUtf8(found->second);
}
