// Removing the local settings on the user's Yes: the profile file, the empty vendor folder, no save at exit.

#include "app/RemoveLocalSettings.h"

#include "base/UserInterface.h"
#include "platform/LocalSettings.h"
#include "platform/Profile.h"

#include <QDir>
#include <QFile>

bool RemoveLocalSettings(UserInterface& ui, LocalSettings& settings)
{
    if (ShowStringMessage(ui, 132, Buttons::YesNo, Icon::Question) != Answer::Yes)
        return false;
    {
        // Empties QSettings' shared cache of the file as well, so that a later read in this
        // process does not see the removed values.
        const auto profile = OpenProfile();
        profile->clear();
        profile->sync();
    }
    QFile::remove(ProfilePath());
    QDir().rmdir(VendorFolder());
    settings.dontSaveSettings = true;
    return true;
}
