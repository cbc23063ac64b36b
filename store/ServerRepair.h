#pragma once
// Checking and repairing a database on a server: the server keeps its own pages sound, so a repair
// checks that the program's schema is complete (making missing triggers and indexes again), puts
// the counters and the change stamp right after a careless import, and has the server clean up and
// refresh its statistics.

#include "platform/OleDate.h"

#include <QString>
#include <QStringList>

struct ServerRepairOutcome {
    QStringList repaired; // what was put right, in plain words
    QStringList missing;  // the program's tables, constraints, triggers or functions the database lacks
    QString error;        // why the repair did not run or stopped; empty when it ran to the end
};

// Runs under the maintenance lock, on a database at the current version (the caller checks it).
// A repair that finds parts of the schema missing still mends what it can and names them.
ServerRepairOutcome RepairServerDatabase(const QString& uri, const Clock& clock = SystemClockInstance());

// What the user reads after a repair: what was put right, what is missing, or why it stopped.
QString ServerRepairText(const ServerRepairOutcome& outcome, const QString& shownName);

// Why a server database at `version` is not converted; empty at the current version, which
// needs nothing. The program has no conversion scripts for a server: every server database was
// made at the current version.
QString ServerConversionRefusal(const QString& shownName, int version);
