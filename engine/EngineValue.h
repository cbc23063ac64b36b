#pragma once
// Column values as the engine stores them, and reading them as the program's types.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <variant>

namespace engine {

// One column value as the engine stores it.
using Value = std::variant<std::monostate, std::int64_t, double, QString, QByteArray>;

inline bool IsNull(const Value& value)
{
    return std::holds_alternative<std::monostate>(value);
}

// Reads a value as the program's types; NULL reads as 0 or an empty text.
std::int64_t AsInt(const Value& value);
double AsReal(const Value& value);
QString AsText(const Value& value);

} // namespace engine
