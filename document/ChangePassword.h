#pragma once
// The logged-in user's change-password command.

#include "document/ConnectionProvider.h"

#include <cstdint>

class LookupLists;
class UserInterface;

// The change-password command: asks until the user cancels or the new password is stored. The
// stakeholder list takes the new value only after the database accepted it.
void ChangePassword(UserInterface& ui, ConnectionProvider& connections, LookupLists& lookups, std::int32_t loggedInId);
