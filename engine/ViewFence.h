#pragma once
// Fences the replacement of one view: while the fence stands, SQLite lets a statement create or
// drop that view in the main file and nothing else, so a view whose body carries a user's
// filter can never become a way to change the shared file.

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace engine {

class ViewFence {
public:
    ViewFence(sqlite3* db, const QString& viewName);
    ViewFence(const ViewFence&) = delete;
    ViewFence& operator=(const ViewFence&) = delete;
    ~ViewFence();

private:
    static int Authorize(void* fence, int action, const char* a, const char* b, const char* database,
                         const char* trigger);
    bool IsTheView(const char* name, const char* database) const;

    sqlite3* db_;
    QByteArray viewName_;
};

} // namespace engine
