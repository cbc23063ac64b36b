#pragma once
// The twenty list columns: their fixed ids, internal names (also the notification template's
// tokens) and the expressions the list is sorted by.

#include <QString>

namespace column {

constexpr int kDefectId = 0;
constexpr int kStatus = 1;
constexpr int kSubject = 2;
constexpr int kTo = 3;
constexpr int kFrom = 4;
constexpr int kPriority = 5;
constexpr int kSeverity = 6;
constexpr int kComponent = 7;
constexpr int kFoundBuild = 8;
constexpr int kFixedBuild = 9;
constexpr int kDescription = 10;
constexpr int kOpened = 11;
constexpr int kModified = 12;
constexpr int kClosed = 13;
constexpr int kComments = 14;
constexpr int kLastRead = 15;
constexpr int kFoundVersion = 16;
constexpr int kFixedVersion = 17;
constexpr int kCategory = 18;
constexpr int kCc = 19;
constexpr int kCount = 20;

// The longest memo text a list cell shows, in characters.
constexpr int kMemoCellLength = 500;

} // namespace column

// "DefectID", "Status", … for ids 0–19; empty for any other id.
QString ColumnInternalName(int columnId);
// The list statement's ORDER BY expression of the column; empty for any other id.
QString ColumnOrderByExpression(int columnId);
