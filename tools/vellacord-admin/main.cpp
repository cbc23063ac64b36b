// vellacord-admin: creates, converts, repairs and lists Vellacord databases from a shell or a scheduled
// job, with the program's own administration code.

#include "AdminArguments.h"
#include "AdminCommands.h"

#include "base/ErrorReport.h"
#include "base/Result.h"

#include <QCoreApplication>
#include <QTextStream>

#include <exception>

namespace {

constexpr int kUsageError = 2;

int Report(const QString& text)
{
    QTextStream err(stderr);
    err << "vellacord-admin: " << text;
    const QString context = ErrorContextText(true).trimmed();
    if (!context.isEmpty())
        err << " (while: " << context.split(QStringLiteral("\n ")).join(QStringLiteral(", ")) << ")";
    err << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vellacord-admin"));

    const AdminArguments arguments = ParseAdminArguments(application.arguments().mid(1));
    switch (arguments.outcome) {
    case AdminArguments::Outcome::Help:
    case AdminArguments::Outcome::Version:
        QTextStream(stdout) << arguments.text << (arguments.text.endsWith(QLatin1Char('\n')) ? "" : "\n");
        return 0;
    case AdminArguments::Outcome::UsageError:
        // One line and where the usage is, as git and sqlite3 answer; 2 tells a script that the
        // command line, not the command, failed.
        QTextStream(stderr) << "vellacord-admin: " << arguments.text << '\n' << arguments.hint << '\n';
        return kUsageError;
    case AdminArguments::Outcome::Run:
        break;
    }
    try {
        return RunAdminCommand(arguments.options);
    } catch (const CResult<long>& result) {
        return Report(FailureText(result.records) + QStringLiteral("\ndetails: ") +
                      OleDbErrorReport(result.value, result.records).trimmed());
    } catch (const CResult<int>& result) {
        return Report(QStringLiteral("system error %1").arg(result.lastError));
    } catch (const std::exception& e) {
        return Report(QString::fromUtf8(e.what()));
    } catch (const CBaseResult&) {
        return Report(QStringLiteral("a system call failed"));
    }
}
