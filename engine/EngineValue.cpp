// Reading an engine value as a number or a text, whichever type the engine stored it with.

#include "engine/EngineValue.h"

namespace engine {

std::int64_t AsInt(const Value& value)
{
    if (const auto* integer = std::get_if<std::int64_t>(&value))
        return *integer;
    if (const auto* real = std::get_if<double>(&value))
        return static_cast<std::int64_t>(*real);
    if (const auto* text = std::get_if<QString>(&value))
        return text->toLongLong();
    return 0;
}

double AsReal(const Value& value)
{
    if (const auto* real = std::get_if<double>(&value))
        return *real;
    if (const auto* integer = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*integer);
    if (const auto* text = std::get_if<QString>(&value))
        return text->toDouble();
    return 0.0;
}

QString AsText(const Value& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return *text;
    if (const auto* integer = std::get_if<std::int64_t>(&value))
        return QString::number(*integer);
    if (const auto* real = std::get_if<double>(&value))
        return QString::number(*real, 'g', 17);
    if (const auto* blob = std::get_if<QByteArray>(&value))
        return QString::fromUtf8(*blob);
    return {};
}

} // namespace engine
