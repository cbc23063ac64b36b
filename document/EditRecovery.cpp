// Keeping edits that could not be saved in a file of the user's data folder, and finding and reading them again.

#include "document/EditRecovery.h"

#include "platform/Profile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <cmath>

namespace {

QJsonObject RecordToJson(const DefectRecord& record)
{
    const QStringList& names = DefectRecord::ColumnNames();
    const engine::RowValues values = record.ToRowValues();
    QJsonObject object;
    for (int i = 0; i < names.size(); ++i) {
        const std::optional<engine::Value>& value = values[static_cast<std::size_t>(i)];
        if (!value)
            continue;
        if (const auto* number = std::get_if<std::int64_t>(&*value))
            object.insert(names[i], static_cast<qint64>(*number));
        else if (const auto* real = std::get_if<double>(&*value))
            object.insert(names[i], *real);
        else
            object.insert(names[i], engine::AsText(*value));
    }
    object.insert(QStringLiteral("Defect_ID"), record.Defect_ID);
    return object;
}

DefectRecord RecordFromJson(const QJsonObject& object)
{
    const QStringList& names = DefectRecord::ColumnNames();
    engine::Row row;
    for (const QString& name : names) {
        const QJsonValue value = object.value(name);
        if (value.isString())
            row.emplace_back(value.toString());
        else if (value.isDouble() && value.toDouble() == std::floor(value.toDouble()))
            row.emplace_back(static_cast<std::int64_t>(value.toInteger()));
        else
            row.emplace_back(value.toDouble());
    }
    engine::Rowset rowset;
    rowset.Reset(names, {std::move(row)});
    rowset.MoveFirst();
    return DefectRecord::FromRow(rowset);
}

} // namespace

QString RecoveryFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') +
        QLatin1String(kVendorKey) + QStringLiteral("/recovery");
}

namespace {

// "team-<hash of the database's path>-user7": the start of every recovery file of one user.
QString KeptEditsStem(const QString& databasePath, std::int32_t userId)
{
    const QString absolute = QFileInfo(databasePath).absoluteFilePath();
    const QByteArray hash = QCryptographicHash::hash(absolute.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("%1-%2-user%3")
        .arg(QFileInfo(absolute).completeBaseName(), QString::fromLatin1(hash))
        .arg(userId);
}

} // namespace

QString NewKeptEditsFile(const QString& databasePath, std::int32_t userId)
{
    const QString stem = RecoveryFolder() + QLatin1Char('/') + KeptEditsStem(databasePath, userId);
    QString file = stem + QStringLiteral(".json");
    for (int n = 2; QFileInfo::exists(file); ++n)
        file = stem + QStringLiteral("-%1.json").arg(n);
    return file;
}

QStringList KeptEditsFiles(const QString& databasePath, std::int32_t userId)
{
    const QDir folder(RecoveryFolder());
    QStringList files;
    for (const QFileInfo& entry : folder.entryInfoList({KeptEditsStem(databasePath, userId) + QStringLiteral("*.json")},
                                                       QDir::Files, QDir::Time | QDir::Reversed))
        files << entry.absoluteFilePath();
    return files;
}

bool KeepEdits(const QString& file, const RecoveredEdits& edits)
{
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    QJsonObject object;
    object.insert(QStringLiteral("database"), QFileInfo(edits.databasePath).absoluteFilePath());
    object.insert(QStringLiteral("user"), edits.userId);
    object.insert(QStringLiteral("keptAt"), edits.keptAt.toString(Qt::ISODate));
    object.insert(QStringLiteral("original"), RecordToJson(edits.original));
    object.insert(QStringLiteral("edited"), RecordToJson(edits.edited));
    object.insert(QStringLiteral("originalAsRead"), edits.originalAsRead);
    // Written aside and renamed, so a crash now never leaves half a file in place of the edits.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(QJsonDocument(object).toJson());
    return out.commit();
}

std::optional<RecoveredEdits> ReadKeptEdits(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    RecoveredEdits edits;
    edits.databasePath = object.value(QStringLiteral("database")).toString();
    edits.userId = object.value(QStringLiteral("user")).toInt();
    edits.keptAt = QDateTime::fromString(object.value(QStringLiteral("keptAt")).toString(), Qt::ISODate);
    edits.original = RecordFromJson(object.value(QStringLiteral("original")).toObject());
    edits.edited = RecordFromJson(object.value(QStringLiteral("edited")).toObject());
    edits.originalAsRead = object.value(QStringLiteral("originalAsRead")).toBool(false);
    return edits;
}
