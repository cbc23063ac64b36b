#pragma once
// The one-time preparation of a server database for the program, run by a superuser: roles, revoked side-effect
// functions, the schema.

#include <QString>

// The role that owns the program's schema, and the group role whose members may use it.
inline constexpr const char* kServerOwnerRole = "vellacord_owner";
inline constexpr const char* kServerUsersRole = "vellacord_users";

// Creates the owner and users roles (once per server), takes from PUBLIC the functions a
// read-only filter could use to act on other sessions (cancelling or ending them, notifying,
// advisory locks, changing settings, sleeping), and creates the schema "vellacord" owned by the
// owner role. Empty when done; otherwise what failed, in words, with the server's message.
QString PrepareServerDatabase(const QString& uri);

// The URI whose sessions act as the schema's owner (the superuser switches to that role).
QString OwnerUriOf(const QString& uri);
