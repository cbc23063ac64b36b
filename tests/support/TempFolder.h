#pragma once

#include <QString>
#include <QTemporaryDir>

// A temporary folder for one test, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() : dir_(QStringLiteral("/tmp/vellacord-test-XXXXXX")) { }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};
