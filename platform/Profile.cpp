// Where the profile's INI file lives, and opening it with QSettings.

#include "platform/Profile.h"

#include <QStandardPaths>

QString VendorFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
        QLatin1String(kVendorKey);
}

QString ProfilePath()
{
    return VendorFolder() + QLatin1Char('/') + QLatin1String(kApplicationKey) + QStringLiteral(".conf");
}

std::unique_ptr<QSettings> OpenProfile()
{
    return std::make_unique<QSettings>(ProfilePath(), QSettings::IniFormat);
}
