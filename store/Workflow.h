#pragma once
// The workflow: which status a defect may move to from its current status, and how many words
// of comment that move needs. Two workflows are built in (":/TXT_FILE/230" standard,
// ":/TXT_FILE/233" simple); the open database keeps its own in table statustransitions.

#include "store/LookupEntries.h"

#include <istream>
#include <vector>

class UserInterface;

namespace engine {
class Connection;
}

// Reads whitespace-separated decimal integers three at a time (from, to, words); the sort order
// is the position in the text. A missing or non-numeric number is the assertion failure
// "malformed input stream"; whitespace after the last number is accepted.
std::vector<StatusTransition> LoadWorkflow(std::istream& in);

// Replaces the table's rows by `workflow`, in its order, with sort orders from 0. On a database
// failure the table keeps its previous workflow and the result is false.
bool StoreWorkflow(const std::vector<StatusTransition>& workflow, engine::Connection& connection);

// Stores the built-in workflow the chooser's index names (0 standard, 1 simple); false for any
// other choice (2: the user imports their own, and nothing is stored) or when storing failed.
bool StoreChosenWorkflow(int choice, engine::Connection& connection);

// Lets the user pick a built-in workflow and stores it; false when the user imports their own
// or cancels (nothing is stored then) or storing failed.
bool ChooseAndStoreWorkflow(engine::Connection& connection, UserInterface& ui);
