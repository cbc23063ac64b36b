// Preparing a server database once: the roles, the functions taken from PUBLIC, the schema and its default rights.

#include "store/ServerSetup.h"

#include "base/ErrorReport.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

// A filter runs read-only, but these act beyond its own transaction: on other sessions of the
// same login, on locks that outlive the rollback, or on the session's settings.
const char* kRevokeSideEffects = R"(DO $$
DECLARE f regprocedure;
BEGIN
    FOR f IN SELECT p.oid::regprocedure FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace
             WHERE n.nspname = 'pg_catalog' AND (p.proname IN ('pg_cancel_backend', 'pg_terminate_backend',
                   'pg_notify', 'set_config', 'pg_sleep', 'pg_sleep_for', 'pg_sleep_until')
                   OR p.proname LIKE 'pg!_%advisory!_%' ESCAPE '!')
    LOOP
        EXECUTE format('REVOKE EXECUTE ON FUNCTION %s FROM PUBLIC', f);
        -- The owner's presence and maintenance functions take the advisory locks for everybody;
        -- a backup by the owner sets its search path with set_config.
        IF f::text LIKE '%advisory%' OR f::text LIKE 'set!_config%' ESCAPE '!' THEN
            EXECUTE format('GRANT EXECUTE ON FUNCTION %s TO vellacord_owner', f);
        END IF;
    END LOOP;
END
$$)";

const char* kRoles = R"(DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vellacord_owner') THEN
        CREATE ROLE vellacord_owner NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vellacord_users') THEN
        CREATE ROLE vellacord_users NOLOGIN;
    END IF;
END
$$)";

} // namespace

QString OwnerUriOf(const QString& uri)
{
    QUrl url(uri);
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("options"));
    query.addQueryItem(QStringLiteral("options"), QStringLiteral("-c role=%1").arg(QLatin1String(kServerOwnerRole)));
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

QString PrepareServerDatabase(const QString& uri)
{
    const QString shown = engine::DisplayNameOfServer(uri);
    engine::Connection connection;
    if (engine::Failed(connection.Open(uri)))
        return QStringLiteral("cannot connect to %1: %2").arg(shown, FailureText(connection.TakeErrorRecords()));
    std::int64_t superuser = 0;
    if (engine::Failed(connection.QueryInt(
            QStringLiteral("SELECT CASE WHEN rolsuper THEN 1 ELSE 0 END FROM pg_roles WHERE rolname = current_user"),
            {}, superuser)) ||
        superuser == 0)
        return QStringLiteral("the setup of %1 must run as a superuser of the server").arg(shown);
    const QStringList steps{
        QString::fromUtf8(kRoles),
        QString::fromUtf8(kRevokeSideEffects),
        QStringLiteral("CREATE SCHEMA IF NOT EXISTS vellacord AUTHORIZATION vellacord_owner"),
        QStringLiteral("REVOKE CREATE ON SCHEMA public FROM PUBLIC"),
        QStringLiteral("GRANT USAGE ON SCHEMA vellacord TO vellacord_users"),
        QStringLiteral("ALTER DEFAULT PRIVILEGES FOR ROLE vellacord_owner IN SCHEMA vellacord GRANT SELECT, INSERT, "
                       "UPDATE, DELETE ON TABLES TO vellacord_users"),
        QStringLiteral("ALTER DEFAULT PRIVILEGES FOR ROLE vellacord_owner IN SCHEMA vellacord GRANT USAGE ON "
                       "SEQUENCES TO vellacord_users"),
        // Tables made before the setup (a database created first) get the same rights.
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA vellacord TO vellacord_users"),
        QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA vellacord TO vellacord_users"),
    };
    const long status = connection.WriteTransaction([&] {
        for (const QString& step : steps) {
            const long done = connection.Execute(step);
            if (engine::Failed(done))
                return done;
        }
        return engine::kOk;
    });
    if (engine::Failed(status))
        return QStringLiteral("the setup of %1 failed: %2\ndetails: %3")
            .arg(shown, FailureText(connection.errorRecords()), connection.TakeErrorMessage());
    return {};
}
