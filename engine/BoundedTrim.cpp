// trim, ltrim and rtrim with a set of at most kLongestTrimSet characters.

#include "engine/BoundedTrim.h"

#include <sqlite3.h>

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace engine {

namespace {

enum Ends { kLeft = 1, kRight = 2, kBoth = kLeft | kRight };

// The characters of the set as SQLite counts them: a byte from 0xc0 up together with the
// continuation bytes after it, any other byte alone.
std::vector<std::string_view> CharactersOf(const unsigned char* set)
{
    std::vector<std::string_view> characters;
    for (const unsigned char* z = set; *z != 0;) {
        const unsigned char* start = z;
        if (*z++ >= 0xc0)
            while ((*z & 0xc0) == 0x80)
                ++z;
        characters.emplace_back(reinterpret_cast<const char*>(start), static_cast<std::size_t>(z - start));
    }
    return characters;
}

// The length of the first character of the set that the text starts (left) or ends (right)
// with; 0 when none does.
std::size_t MatchAt(std::string_view text, const std::vector<std::string_view>& characters, bool left)
{
    for (const std::string_view character : characters) {
        if (character.size() > text.size())
            continue;
        const std::string_view end =
            left ? text.substr(0, character.size()) : text.substr(text.size() - character.size());
        if (end == character)
            return character.size();
    }
    return 0;
}

void BoundedTrim(sqlite3_context* context, int, sqlite3_value** arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL)
        return;
    const auto* in = sqlite3_value_text(arguments[0]);
    const auto* set = sqlite3_value_text(arguments[1]);
    if (in == nullptr || set == nullptr)
        return;
    std::string_view text(reinterpret_cast<const char*>(in),
                          static_cast<std::size_t>(sqlite3_value_bytes(arguments[0])));
    const std::vector<std::string_view> characters = CharactersOf(set);
    if (characters.size() > static_cast<std::size_t>(kLongestTrimSet)) {
        sqlite3_result_error_toobig(context);
        return;
    }
    const int ends = static_cast<int>(reinterpret_cast<std::intptr_t>(sqlite3_user_data(context)));
    if (!characters.empty()) {
        if ((ends & kLeft) != 0)
            while (const std::size_t length = MatchAt(text, characters, true))
                text.remove_prefix(length);
        if ((ends & kRight) != 0)
            while (const std::size_t length = MatchAt(text, characters, false))
                text.remove_suffix(length);
    }
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

} // namespace

void RegisterBoundedTrim(sqlite3* db)
{
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    for (const auto& [name, ends] : {std::pair{"trim", kBoth}, std::pair{"ltrim", kLeft}, std::pair{"rtrim", kRight}})
        sqlite3_create_function_v2(db, name, 2, kFlags, reinterpret_cast<void*>(static_cast<std::intptr_t>(ends)),
                                   BoundedTrim, nullptr, nullptr, nullptr);
}

} // namespace engine
