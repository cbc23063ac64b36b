#pragma once
// Where the workstation's settings live: an INI file below the vendor key, read and written
// through QSettings.

#include <QSettings>
#include <QString>

#include <memory>

inline constexpr const char* kVendorKey = "VellacordTeam";
inline constexpr const char* kApplicationKey = "Vellacord";

// $XDG_CONFIG_HOME/VellacordTeam (or ~/.config/VellacordTeam).
QString VendorFolder();
// The application's file in the vendor folder.
QString ProfilePath();
std::unique_ptr<QSettings> OpenProfile();
