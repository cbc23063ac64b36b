#pragma once
// Conversion of an older database into a verified copy that takes the database's name by one
// atomic rename, so that a crash leaves either the old file or the converted one.

#include <QString>
#include <QStringList>

#include <functional>

namespace engine {
class Connection;
}

// The reason the maintenance lock gives while a conversion runs; a lock left by a dead client
// with this reason was a conversion.
QString ConversionLockReason();

// The converted copies that conversions of `path` may have left behind, with their journals.
QStringList ConversionLeftovers(const QString& path);

// Runs the conversion scripts on the open copy (and stores a workflow where one is chosen);
// false when a script failed.
using ConvertCopy = std::function<bool(engine::Connection& copy)>;

// Copies the closed database `source` into a temporary file beside `destination`, runs `convert`
// on the copy and checks it: it passes the quick check, has the current schema version, every
// table of `source` is there without losing a row, and it holds the same defects. The copy then
// gets the access of `source`, is synced and renamed to `destination`, which must be free (the
// maintenance lock moved the database away). Nothing else is ever written at `destination`.
// Empty on success, else what went wrong, naming `destination`.
QString ConvertIntoPlace(const QString& source, const QString& destination, const ConvertCopy& convert);
