#pragma once
// Filters: named pieces of condition text in the shared file, their keywords, and the filters a
// user may choose from.

#include "list/ViewStore.h"

#include <QString>

#include <cstdint>

class ConnectionProvider;

struct FilterDefinition {
    QString name;
    QString text; // both empty: no filter loaded
};

// The keywords replaced in a condition just before use, case-sensitively and on every occurrence:
// "@loggedInId" becomes the stakeholder id; component="Tutorial" becomes component='Tutorial'.
QString SubstituteKeywords(QString text, std::int32_t loggedInId);

// The filter's name and text; both empty when there is no such filter or it cannot be read.
FilterDefinition LoadFilter(ConnectionProvider& connections, std::int32_t filterId);

// The shared filters ("::" before the name) and the user's private ones; the current one selected.
BoxChoices FilterChoices(ConnectionProvider& connections, std::int32_t loggedInId, std::int32_t currentFilterId);
