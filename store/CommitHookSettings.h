#pragma once
// The database's settings for commit messages that name defects: the status "fixes #N" moves a defect to.

#include <QString>

namespace engine {
class Connection;
}

// The status name "fixes #N" and "closes #N" move a defect to when none is stored.
inline constexpr const char* kDefaultFixesStatus = "fixed";

// The stored status name, or kDefaultFixesStatus when the file stores none (or no such table).
QString ReadFixesStatus(engine::Connection& connection);
// Stores the status name, making the settings table when the file lacks it; the engine status.
long WriteFixesStatus(engine::Connection& connection, const QString& statusName);
