// A password's stored hash, and whether an entered password matches the stored value.

#include "document/PasswordHash.h"

#include <QCryptographicHash>

#include <algorithm>

QString PasswordHash(const QString& password)
{
    QByteArray digest = QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5);
    for (int group = 0; group < digest.size(); group += 4)
        std::reverse(digest.begin() + group, digest.begin() + group + 4);
    return QString::fromLatin1(digest.toHex());
}

bool PasswordAccepted(const QString& storedPasswd, const QString& entered)
{
    if (storedPasswd.isEmpty() && entered.isEmpty())
        return true;
    return PasswordHash(entered) == storedPasswd;
}
