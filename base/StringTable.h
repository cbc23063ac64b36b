#pragma once
// The program's texts by resource number.

#include <QString>

// The text of string `id`; an id without a text is a contract failure.
QString LoadString(int id);

// The text of string `id` used as a printf-style format (texts are UTF-8).
template <typename... Args>
QString FormatString(int id, Args... args)
{
    return QString::asprintf(LoadString(id).toUtf8().constData(), args...);
}
