// Translating a column or field name through the profile's Language group.

#include "platform/DisplayNames.h"

#include "platform/Profile.h"

namespace {
constexpr int kMaxTranslationLength = 1023;
}

QString TranslateDisplayName(const QString& name)
{
    const auto profile = OpenProfile();
    profile->beginGroup(QStringLiteral("Language"));
    const QVariant value = profile->value(name);
    if (!value.isValid())
        return name;
    return value.toString().left(kMaxTranslationLength);
}
