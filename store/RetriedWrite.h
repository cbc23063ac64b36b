#pragma once
// The store's retry wrapper: a unit of work on the shared file that another workstation may
// keep from succeeding for a while is tried again, with the retry dialog between the attempts.

#include <functional>

class UserInterface;

// The retry dialog with the text of an unreachable file; true when the user chose Retry.
bool AskToRetry(UserInterface& ui);

// Runs `attempt` at most `attempts` times. Before every attempt but the first the retry dialog
// asks the user (Cancel ends the attempts). An attempt fails by its status or by raising a
// provider failure. True when an attempt succeeded.
bool RunWithRetries(UserInterface& ui, int attempts, const std::function<long()>& attempt);
