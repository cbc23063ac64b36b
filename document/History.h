#pragma once
// The history log of a defect: one tab-separated line per status change, appended in place
// and never rewritten. The log lives in the defect record's 8000-byte History buffer.

#include "store/LookupEntries.h"

#include <QDate>
#include <QString>

#include <vector>

constexpr int kHistoryBufferSize = 8000;

// Appends "date<TAB>status (user)<TAB>comment<LF>", the date in the locale's short format. An
// entry that does not fit the buffer is an assertion failure and leaves `history` unchanged.
void AddHistoryEntry(QString& history, const QString& statusName, const QString& userName, const QString& comment,
                     const QDate& today);

// The same with the names taken from the lookup lists; "???" stands for an unknown status or an
// unknown logged-in user.
void AddHistoryEntry(QString& history, const std::vector<StatusEntry>& statuses,
                     const std::vector<StakeholderEntry>& stakeholders, int statusId, int loggedInId,
                     const QString& comment, const QDate& today);

// A run of characters in a text.
struct TextRange {
    int start = 0;
    int length = 0;
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// Where each entry names its user: from the "(" before the entry's second tab up to that tab,
// when the text before the tab ends in ")". The form shows these runs greyed.
std::vector<TextRange> HistoryUserNameRanges(const QString& history);
