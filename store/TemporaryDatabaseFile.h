#pragma once
// A temporary database file beside the database that maintenance writes before it renames it
// into place; removed, with its journal, unless it arrived.

#include "engine/Connection.h"

#include <QFile>
#include <QString>

#include <utility>

class TemporaryDatabaseFile {
public:
    // Removes a file of that name first: one left by a dead process of the same id.
    explicit TemporaryDatabaseFile(QString path) : path_(std::move(path)) { Remove(); }
    TemporaryDatabaseFile(const TemporaryDatabaseFile&) = delete;
    TemporaryDatabaseFile& operator=(const TemporaryDatabaseFile&) = delete;
    ~TemporaryDatabaseFile() { Remove(); }
    const QString& path() const { return path_; }

private:
    // After the rename nothing is left at the name, so removing is harmless then.
    void Remove() const
    {
        QFile::remove(path_);
        QFile::remove(engine::Connection::JournalOf(path_));
    }
    QString path_;
};
