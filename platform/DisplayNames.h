#pragma once
// Translated display names of columns and fields.

#include <QString>

// The text to show for a display name (a column or field name) from the profile's "Language"
// group; the name itself when there is no translation.
QString TranslateDisplayName(const QString& name);
