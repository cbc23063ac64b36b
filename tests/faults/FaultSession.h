#pragma once
// The program as the fault runs drive it: a workstation (document, form, user) over one file, the
// guard that a command's escaping failure ends in, and snapshots of a file's rows to tell which
// confirmed data a run kept.

#include "document/DefectTestDoubles.h"
#include "document/DocumentTestSupport.h"

#include "base/Guards.h"
#include "document/DefectDoc.h"
#include "document/EditRecovery.h"
#include "engine/Rowset.h"
#include "support/FaultSweep.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <map>
#include <utility>

namespace fault {

// One workstation logged in as Ann (stakeholder 1), with a form registered.
struct Session {
    explicit Session(const QString& path) : path(path)
    {
        doc.SetOperatingSystemUser([] { return std::nullopt; });
        doc.SetAutoLogin(QStringLiteral("ann"));
    }
    ~Session() { doc.RegisterForm(nullptr); }

    bool Open()
    {
        if (!doc.OnOpenDocument(path))
            return false;
        doc.RegisterForm(&form);
        return true;
    }

    // What the user does to quit: the close questions, then the close.
    void Quit()
    {
        if (!doc.loggedIn())
            return;
        doc.CanCloseDocument();
        doc.OnCloseDocument();
    }

    QString path;
    FaultUserInterface ui;
    ManualClock clock;
    NoAdministration administration;
    CDefectDoc doc{ui, clock, administration};
    FakeDefectForm form{1, ui};
};

// Runs `body` as the program's message loop runs a command: a failure that escapes it ends in the
// loop's guard, which reports it, closes the main window and with it the document. False when a
// failure escaped.
inline bool RunAsCommand(CDefectDoc& doc, const std::function<void()>& body)
{
    int loops = 0;
    bool closeDue = false;
    bool window = true;
    RunGuard guard({[&] {
                        if (loops++ == 0)
                            body();
                        else if (std::exchange(closeDue, false)) {
                            window = false;
                            doc.OnCloseDocument();
                        }
                        return 0;
                    },
                    [&] { return window; }, [&] { closeDue = true; }, [](int) {}, [&] { doc.StopWaitingForFile(); }});
    guard.Run();
    return loops == 1;
}

// Every row of every table, by "table:rowid", and the schema, by "schema:name".
using Snapshot = std::map<QString, QString>;

// `ignored` names columns whose values differ from run to run (stamps of the current time).
inline Snapshot Rows(const QString& path, const QStringList& ignored = {})
{
    Snapshot rows;
    engine::Connection connection;
    if (engine::Failed(connection.Open(path)))
        return rows;
    engine::Rowset tables;
    connection.Query(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'"),
                     {}, tables);
    for (long t = tables.MoveFirst(); t == engine::kOk; t = tables.MoveNext()) {
        const QString table = tables.Text(0);
        engine::Rowset content;
        connection.Query(QStringLiteral("SELECT rowid, * FROM \"%1\"").arg(table), {}, content);
        for (long r = content.MoveFirst(); r == engine::kOk; r = content.MoveNext()) {
            QStringList values;
            for (int i = 1; i < content.ColumnCount(); ++i) {
                if (!ignored.contains(content.ColumnNames().at(i), Qt::CaseInsensitive))
                    values << content.Text(i);
            }
            rows[table.toLower() + QLatin1Char(':') + content.Text(0)] = values.join(QLatin1Char('|'));
        }
    }
    engine::Rowset schema;
    connection.Query(QStringLiteral("SELECT name, sql FROM sqlite_master"), {}, schema);
    for (long s = schema.MoveFirst(); s == engine::kOk; s = schema.MoveNext())
        rows[QStringLiteral("schema:") + schema.Text(0)] = schema.Text(1);
    return rows;
}

// Rows of `before` that are gone or changed in `after`, other than those `mayChange` names.
inline QStringList Lost(const Snapshot& before, const Snapshot& after,
                        const std::function<bool(const QString& key)>& mayChange)
{
    QStringList lost;
    for (const auto& [key, row] : before) {
        if (mayChange(key))
            continue;
        const auto found = after.find(key);
        if (found == after.end())
            lost << key + QStringLiteral(" is gone");
        else if (found->second != row)
            lost << key + QStringLiteral(" changed");
    }
    return lost;
}

// The settings rows change with every login and close.
inline bool IsSettingsRow(const QString& key)
{
    return key.startsWith(QLatin1String("usersettings:")) || key.startsWith(QLatin1String("systemsettings:"));
}

inline void ClearRecoveryFolder()
{
    QDir(RecoveryFolder()).removeRecursively();
}

} // namespace fault
