#pragma once
// A connection to one database file that several processes share.

#include "platform/PresenceLock.h"
#include "store/EngineValue.h"

#include <QString>

#include <cstdint>
#include <vector>

struct sqlite3;

namespace engine {

class Rowset;

using Parameters = std::vector<Value>;

class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    ~Connection();

    // Opens an existing file for shared use. A file taken for maintenance cannot be opened.
    long Open(const QString& path);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    const QString& path() const { return path_; }

    // Runs a command without a result; "?" marks the parameters.
    long Execute(const QString& sql, const Parameters& parameters = {});

    // Reads every row of a SELECT into `rows`; no statement stays open afterwards.
    long Query(const QString& sql, const Parameters& parameters, Rowset& rows);

    // The first column of the first row; kEndOfRowset when there is no row.
    long QueryInt(const QString& sql, const Parameters& parameters, std::int64_t& value);

    std::int64_t LastInsertId() const;
    int Changes() const;

    // Creates a new, empty database file; refuses with kDataSourceExists when the path exists.
    static long CreateFile(const QString& path);

    // Writes a compact copy of the closed file `source` to `destination` (which must not exist).
    static long CompactInto(const QString& source, const QString& destination);

private:
    friend class Statement;
    long Fail(int code, const QString& sql);

    sqlite3* db_ = nullptr;
    PresenceLock presence_;
    QString path_;
};

} // namespace engine
