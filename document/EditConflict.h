#pragma once
// Two versions of one defect that meet: the one in the file and the user's unsaved one. How the
// user's edits go over the file's version, and the text that shows the user both.

#include "document/DefectRecord.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

enum class LookupList;

// The name of a lookup list's entry, for texts that show a record.
using LookupNameSource = std::function<QString(LookupList list, std::int32_t id)>;

// The user's edits over the file's version `theirs`: every field the user changed since `base`
// (the record as the user read it) takes the user's value, every other field keeps the file's, so
// another user's change of a field the user left alone stays. History lines that both added are
// all kept, the file's first. Without a base nothing tells which fields the user changed, and the
// user's version wins in full. The key is always the file's.
DefectRecord MergeEdits(const std::optional<DefectRecord>& base, const DefectRecord& mine, const DefectRecord& theirs);

// Equal in every field a user edits; the stamps of the last save and of reading (Modified,
// lastread) do not count.
bool SameContent(const DefectRecord& a, const DefectRecord& b);

// One entry per field in which the versions differ, in the form's order: the field's caption,
// then its value in the database and the user's value, each on a line of its own. Long texts
// show their start.
QString DescribeDifferences(const DefectRecord& theirs, const DefectRecord& mine, const LookupNameSource& names);
