#pragma once
// Ids of the texts of defects changed without a window and of the quick search.

namespace string_id {

constexpr int kNoSuchDefect = 2900;             // the defect's id
constexpr int kTransitionNotAllowed = 2901;     // from, to, from, the allowed statuses
constexpr int kCommentTooShort = 2902;          // words required, from, to
constexpr int kChangedMeanwhile = 2903;         // the defect's id, who, when
constexpr int kDefectNotWritten = 2904;         // the defect's id
constexpr int kNewDefectNotStored = 2905;       //
constexpr int kNoSuchStatus = 2906;             // the status name
constexpr int kNoStatusAllowed = 2907;          // in place of the list of allowed statuses
constexpr int kSearchWordsNotUnderstood = 2908; // the words
constexpr int kSearchIndexUnavailable = 2909;
constexpr int kSearchChip = 2910; // the words
constexpr int kQuickSearchTip = 2911;
constexpr int kSearchResultCount = 2912; // the number of defects
constexpr int kSearchResultOne = 2913;

} // namespace string_id
