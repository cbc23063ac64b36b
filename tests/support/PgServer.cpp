// Starting the tests' own PostgreSQL server with initdb and pg_ctl, and making a database for each test.

#include "support/PgServer.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

#include <memory>

namespace {

// The newest installed server's programs; empty when none is installed.
QString ServerBinaries()
{
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return {};
}

class Server {
public:
    Server() : folder_(QStringLiteral("/tmp/vellacord-pg-XXXXXX")) { Start(); }
    ~Server()
    {
        if (started_)
            Run(QStringLiteral("pg_ctl"),
                {QStringLiteral("-D"), data(), QStringLiteral("-m"), QStringLiteral("immediate"),
                 QStringLiteral("stop")});
    }

    bool started() const { return started_; }
    const QString& reason() const { return reason_; }
    QString Uri(const QString& database) const
    {
        return QStringLiteral("postgresql:///%1?host=%2&user=postgres").arg(database, folder_.path());
    }

private:
    QString data() const { return folder_.path() + QStringLiteral("/data"); }

    // Runs a server program; initdb refuses to run as root, so root runs it as the system's
    // postgres user, who must own the folder.
    bool Run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (::geteuid() == 0)
            process.start(QStringLiteral("runuser"),
                          QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                                      bin_ + QLatin1Char('/') + program} +
                              arguments);
        else
            process.start(bin_ + QLatin1Char('/') + program, arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            reason_ = QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(process.readAll()));
            return false;
        }
        return true;
    }

    void Start()
    {
        bin_ = ServerBinaries();
        if (bin_.isEmpty()) {
            reason_ = QStringLiteral("the PostgreSQL server programs are not installed (postgresql-15)");
            return;
        }
        if (!folder_.isValid()) {
            reason_ = QStringLiteral("no temporary folder for the test server");
            return;
        }
        if (::geteuid() == 0) {
            QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres"), folder_.path()});
        }
        const QString options = QStringLiteral("-k %1 -c listen_addresses= -c fsync=off -c synchronous_commit=off "
                                               "-c full_page_writes=off -c max_connections=60")
                                    .arg(folder_.path());
        started_ = Run(QStringLiteral("initdb"),
                       {QStringLiteral("--no-sync"), QStringLiteral("-A"), QStringLiteral("trust"),
                        QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                        QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-D"), data()}) &&
            Run(QStringLiteral("pg_ctl"),
                {QStringLiteral("-D"), data(), QStringLiteral("-o"), options, QStringLiteral("-l"),
                 folder_.path() + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("start")});
    }

    QTemporaryDir folder_;
    QString bin_;
    QString reason_;
    bool started_ = false;
};

Server& TheServer()
{
    static Server server;
    return server;
}

} // namespace

std::optional<QString> NewServerDatabase()
{
    static int made = 0;
    Server& server = TheServer();
    if (!server.started())
        return std::nullopt;
    const QString name = QStringLiteral("test%1").arg(++made);
    engine::Connection admin;
    if (admin.Open(server.Uri(QStringLiteral("postgres"))) != engine::kOk ||
        admin.Execute(QStringLiteral("CREATE DATABASE %1").arg(name)) != engine::kOk)
        return std::nullopt;
    return server.Uri(name);
}

QString ServerUnavailableReason()
{
    return TheServer().reason();
}

QString ServerAdminUri(const QString& database)
{
    return TheServer().Uri(database);
}
