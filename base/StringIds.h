#pragma once
// Ids of the string-table texts that the application shell shows; the areas name their own.
//
// Glossary: a string id is the resource number of one text (resources/strings/*.inc). Users and
// support quote texts by number ("message 125"), the hints a user turned off are kept by number
// in the workstation's settings, and the guide refers to them; so a number never changes meaning.
// A changed text keeps its number; a new text takes a new one.

namespace string_id {

constexpr int kApplicationTitle = 57344;
// The status bar panes are sized by these texts.
constexpr int kUserPaneSizing = 178;
constexpr int kConnectionPaneSizing = 196;
constexpr int kNewEntriesQuestion = 170;
constexpr int kHideInTrayHint = 1002;
constexpr int kGuideMissing = 1010;
// The desktop notification about new entries: its text and its action.
constexpr int kNewEntriesNotice = 1011;
constexpr int kOpenNotice = 1012;

} // namespace string_id
