#pragma once
// Moving a database between a shared file and a server, both ways, with every row and the counters.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

struct MigratedTable {
    QString name;
    std::int64_t sourceRows = 0;
    std::int64_t targetRows = 0;
};

struct MigrationOutcome {
    QString error; // empty when every table arrived whole
    std::vector<MigratedTable> tables;
    QStringList skipped; // tables of the source the program's schema does not have (report helpers)
};

// Copies the file, under its maintenance lock, into the empty server database the URI names:
// the file must be of the current version and pass its quick check; the server's schema is
// created and every table copied in one transaction, the counters set, and the row counts
// compared per table. A failure leaves the server database as empty as it was.
MigrationOutcome MigrateFileToServer(const QString& file, const QString& uri);

// Copies the server database into a new file at `file` (which must not exist), the way back.
// The file is built under a hidden name beside it and renamed only when it is complete.
MigrationOutcome MigrateServerToFile(const QString& uri, const QString& file);
