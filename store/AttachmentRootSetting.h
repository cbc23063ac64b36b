#pragma once
// The attachment root a server database names for itself: a server has no file to put the folders beside.

#include <QString>

namespace engine {
class Connection;
}

// The root stored in the server database, or empty when none is set, it is no absolute path, or the
// database cannot say.
QString ReadServerAttachmentRoot(engine::Connection& connection);

// Stores the root (an absolute path) inside the caller's transaction, making the settings table when the
// database lacks it; the engine status.
long StoreServerAttachmentRoot(engine::Connection& connection, const QString& root);

// The same in a transaction of its own.
long WriteServerAttachmentRoot(engine::Connection& connection, const QString& root);
