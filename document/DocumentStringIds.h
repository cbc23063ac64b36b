#pragma once
// Ids of the string-table texts that the document asks and reports with.

namespace string_id {

// Another user changed the defect while a save could not store the user's edits: keep them or
// take the stored defect (the defect's id, the fields that differ).
constexpr int kKeepEditsQuestion = 40150;
// Edits kept from an earlier session meet a defect that another user changed since (the
// defect's id, when the edits were kept, the fields that differ).
constexpr int kKeptEditsChangedSince = 40151;
// The same for a recovery file of an earlier version, which did not record the defect as read.
constexpr int kKeptEditsOfOlderVersion = 40152;

} // namespace string_id
