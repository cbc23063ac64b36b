#pragma once
// Ids of the string-table texts that the document asks and reports with.

namespace string_id {

constexpr int kSaveViewQuestion = 136;

} // namespace string_id
