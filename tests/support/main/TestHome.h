#pragma once
// The tests' settings, data and temporary files (the dump among them) live in a folder of their
// own, never in the user's folders or the shared temporary folder.

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

inline void UseOwnFolders(const QTemporaryDir& home)
{
    // A test's child workstation shares the settings of the test that started it.
    if (qEnvironmentVariableIsEmpty("VELLACORD_TEST_KEEP_CONFIG"))
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    for (const char* variable : {"XDG_DATA_HOME", "TMPDIR"}) {
        const QString folder = home.filePath(QString::fromLatin1(variable));
        QDir().mkpath(folder);
        qputenv(variable, folder.toUtf8());
    }
}
