// The byte scan that cuts stored connection strings after the data source's name.

#include "export/DsnFixup.h"

#include <QFile>

namespace report {

namespace {

const QByteArray& Name8()
{
    static const QByteArray name("DSN=Vellacord");
    return name;
}

const QByteArray& Name16()
{
    static const QByteArray name = [] {
        QByteArray wide;
        for (const char c : Name8())
            wide.append(c).append('\0');
        return wide;
    }();
    return name;
}

bool MatchesAt(const QByteArray& bytes, qsizetype at, const QByteArray& pattern)
{
    return at + pattern.size() <= bytes.size() && bytes.mid(at, pattern.size()) == pattern;
}

} // namespace

int CutAfterDataSourceName(QByteArray& bytes)
{
    int replaced = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        if (MatchesAt(bytes, at, Name8())) {
            at += Name8().size();
            const qsizetype semicolon = bytes.indexOf(';', at);
            if (semicolon >= 0) {
                bytes[semicolon] = '\0';
                ++replaced;
                at = semicolon + 1;
            }
        } else if (MatchesAt(bytes, at, Name16())) {
            at += Name16().size();
            // Code units keep the alignment of the match.
            for (qsizetype unit = at; unit + 1 < bytes.size(); unit += 2) {
                if (bytes[unit] == ';' && bytes[unit + 1] == '\0') {
                    bytes[unit] = '\0';
                    ++replaced;
                    at = unit + 2;
                    break;
                }
            }
        } else {
            ++at;
        }
    }
    return replaced;
}

DsnFixResult FixDataSourceNames(const QString& path)
{
    QFile file(path);
    // Read first: an installed document that names no data source may well be read-only.
    if (!file.open(QIODevice::ReadOnly))
        return DsnFixResult::Failed;
    QByteArray bytes = file.read(kScannedBytes);
    file.close();
    if (CutAfterDataSourceName(bytes) == 0)
        return DsnFixResult::Unchanged;
    if (!file.open(QIODevice::ReadWrite) || file.write(bytes) != bytes.size() || !file.flush())
        return DsnFixResult::Failed;
    return DsnFixResult::Fixed;
}

} // namespace report
