#pragma once
// The login name of the process's user; none when it cannot be found out.

#include <QString>

#include <optional>

std::optional<QString> OperatingSystemUserName();
