// Remembering the last login of each database in the workstation's profile.
#include "platform/LastLogin.h"

#include "platform/Profile.h"

#include <QFileInfo>
#include <QUrl>

namespace {

const QString kGroup = QStringLiteral("LastLogin");

// One key per database file: the absolute path, encoded so that its slashes make no groups.
QString Key(const QString& databasePath)
{
    const QFileInfo info(databasePath);
    const QString path = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    return QString::fromLatin1(QUrl::toPercentEncoding(path));
}

} // namespace

QString LastLoginName(const QString& databasePath)
{
    if (databasePath.isEmpty())
        return {};
    const auto profile = OpenProfile();
    profile->beginGroup(kGroup);
    return profile->value(Key(databasePath)).toString();
}

void RememberLastLogin(const QString& databasePath, const QString& loginName)
{
    if (databasePath.isEmpty())
        return;
    const auto profile = OpenProfile();
    profile->beginGroup(kGroup);
    profile->setValue(Key(databasePath), loginName);
}
