#pragma once
// A temporary folder for one test, removed with everything in it at the end.

#include <QString>
#include <QTemporaryDir>

class TempFolder {
public:
    TempFolder() : dir_(QStringLiteral("/tmp/vellacord-test-XXXXXX")) { }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};
