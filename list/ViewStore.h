#pragma once
// Views in the shared file: reading a view's columns, writing them back as one unit of work,
// and the views a user may choose from.

#include "base/UserInterface.h"
#include "list/ViewDefinition.h"

#include <cstdint>
#include <optional>
#include <vector>

class ConnectionProvider;

// The shared "default" view: nobody changes it; a user's changes to it are kept as a private copy.
constexpr std::int32_t kDefaultViewId = 1;

// Whether the user may write a changed view over the stored one.
bool MayChangeView(std::int32_t viewId);

// The items of a toolbar box and the item to select (-1: none).
struct BoxChoices {
    std::vector<ChoiceItem> items;
    int selected = -1;
};

// Adds a view or filter to a box: "::" before the name of a shared one (userId 0); the item
// becomes the selected one when its id is the current id.
void AddBoxChoice(BoxChoices& choices, std::int32_t id, std::int32_t userId, const QString& name,
                  std::int32_t currentId);

// Reads the view's columns into `view`. While the statement fails the retry dialog asks; false
// after its Cancel or when the view has no columns, and `view` is then left as it was.
bool LoadView(ConnectionProvider& connections, UserInterface& ui, std::int32_t viewId, ViewDefinition& view);

// Writes the view's columns in place of its stored ones, as one unit of work with the retry
// dialog between attempts. The modified flag is cleared when it succeeded.
bool SaveView(ConnectionProvider& connections, UserInterface& ui, ViewDefinition& view);

// The name the user's own copy of a view takes: "*" before the view's name ("*default").
QString OwnCopyName(ConnectionProvider& connections, std::int32_t viewId);

// Writes the view's columns as the user's private view named OwnCopyName, made now or the one
// the user already has under that name, in one unit of work. The view then is that copy (its id,
// unmodified); none when it could not be written, and the view is left as it was.
std::optional<std::int32_t> SaveViewAsOwnCopy(ConnectionProvider& connections, UserInterface& ui, ViewDefinition& view,
                                              std::int32_t userId);

// The shared views ("::" before the name) and the user's private ones; the current one selected.
BoxChoices ViewChoices(ConnectionProvider& connections, std::int32_t loggedInId, std::int32_t currentViewId);
