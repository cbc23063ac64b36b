#pragma once
// Shared pieces of the shell's tests: a clean settings file and error context, and a
// temporary folder standing in for the system's.

#include "base/ErrorContext.h"
#include "platform/Profile.h"
#include "support/TempFolder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

// Removes the stored local settings (also a folder left where the file belongs) and empties
// the error context.
inline void ForgetLocalSettingsAndContext()
{
    {
        const auto profile = OpenProfile();
        profile->clear();
        profile->sync();
    }
    QFile::remove(ProfilePath());
    QDir(ProfilePath()).removeRecursively();
    TheErrorContext().ContextText(true);
}

// Points the temporary folder (TMPDIR) at a folder of the test while it lives.
class TemporaryFolderOverride {
public:
    TemporaryFolderOverride() : saved_(qgetenv("TMPDIR")) { qputenv("TMPDIR", folder_.path().toUtf8()); }
    TemporaryFolderOverride(const TemporaryFolderOverride&) = delete;
    TemporaryFolderOverride& operator=(const TemporaryFolderOverride&) = delete;
    ~TemporaryFolderOverride() { qputenv("TMPDIR", saved_); }

    QString path() const { return folder_.path(); }
    QString file(const QString& name) const { return folder_.file(name); }

private:
    TempFolder folder_;
    QByteArray saved_;
};
