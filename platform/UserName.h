#pragma once

#include <QString>

#include <optional>

// The login name of the process's user; none when it cannot be found out.
std::optional<QString> OperatingSystemUserName();
