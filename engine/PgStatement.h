#pragma once
// One statement on the server: translated, sent with its parameters, its rows read one by one.

#include "engine/EngineValue.h"

#include <QStringList>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct pg_result;
struct pg_cancel;

namespace engine {

class PgConnection;
enum class Access;

class PgStatement {
public:
    PgStatement(PgConnection& connection, const QString& sql, Access access);
    PgStatement(const PgStatement&) = delete;
    PgStatement& operator=(const PgStatement&) = delete;
    ~PgStatement();

    long Bind(const std::vector<Value>& parameters);
    long Step();

    int ColumnCount() const;
    QStringList ColumnNames() const;
    Value Column(int index) const;
    std::int64_t ColumnInt(int index) const;
    double ColumnReal(int index) const;
    const char* ColumnUtf8(int index, int& bytes) const;

    // Takes every remaining result off the session, for another statement to use it.
    void BufferRest();

private:
    long Send();
    pg_result* NextResult();
    void Drain();
    void StartWatch();
    void StopWatch();

    PgConnection& connection_;
    QString sql_;      // as the program wrote it, for the error records
    QString text_;     // as the server reads it
    int expected_ = 0; // parameters the text asks for
    long prepareStatus_ = 0;
    std::vector<Value> parameters_;
    bool sent_ = false;
    bool done_ = false;
    bool returnsKey_ = false;  // RETURNING was added for the new key: its row is not the caller's
    bool fenced_ = false;      // runs in a read-only transaction of its own, rolled back at the end
    bool nestedFence_ = false; // the fence is a savepoint in the caller's transaction
    std::unique_ptr<pg_result, void (*)(pg_result*)> row_;
    std::unique_ptr<pg_result, void (*)(pg_result*)> shape_; // the last result that described the columns
    std::deque<pg_result*> buffered_;

    // The client-side clock of the fence: cancels the statement when the server's own limit did not.
    std::unique_ptr<pg_cancel, void (*)(pg_cancel*)> cancel_;
    std::mutex mutex_;
    std::condition_variable down_;
    bool standing_ = false;
    std::thread watchdog_;
};

} // namespace engine
