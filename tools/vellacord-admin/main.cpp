// vellacord-admin: creates, converts, repairs and lists Vellacord databases from a shell or a scheduled
// job, with the program's own administration code.

#include "AdminCommands.h"

#include "base/ErrorReport.h"
#include "base/Result.h"

#include <QCoreApplication>
#include <QTextStream>

#include <exception>

namespace {

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

    QString error;
    const std::optional<AdminOptions> options = ParseAdminArguments(application.arguments().mid(1), error);
    if (!options) {
        QTextStream(stderr) << "vellacord-admin: " << error << "\n\n" << AdminUsage();
        return 1;
    }
    try {
        return RunAdminCommand(*options);
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
