// The process user's login name from the password database.

#include "platform/UserName.h"

#include <pwd.h>
#include <unistd.h>

std::optional<QString> OperatingSystemUserName()
{
    const passwd* entry = getpwuid(geteuid());
    if (entry == nullptr || entry->pw_name == nullptr)
        return std::nullopt;
    return QString::fromLocal8Bit(entry->pw_name);
}
