#pragma once
// Ids of the string-table texts that the application shell shows; the areas name their own.

namespace string_id {

constexpr int kApplicationTitle = 57344;
// The status bar panes are sized by these texts.
constexpr int kUserPaneSizing = 178;
constexpr int kConnectionPaneSizing = 196;

} // namespace string_id
