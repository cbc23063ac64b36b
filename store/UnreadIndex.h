#pragma once
// The index that finds a user's newest unread entries without reading every defect: the test
// for new entries runs after every list fill on every workstation.

namespace engine {
class Connection;
}

// Creates the index unless the file has it; the engine's status.
long CreateUnreadIndex(engine::Connection& connection);

// Adds the index to a file that lacks it (files of the current version made before it existed).
// Best effort: a file that cannot be written now gets it at a later open. Peers of any version
// are unaffected; the engine keeps the index up to date for every writer.
void EnsureUnreadIndex(engine::Connection& connection);
