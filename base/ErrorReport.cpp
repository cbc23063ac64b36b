// Failure reports: the message texts, the engine's error records as text, and the dump file behind the box.

#include "base/ErrorReport.h"

#include "base/DatabaseName.h"

#include "base/ErrorContext.h"
#include "base/ErrorRecord.h"
#include "base/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>

#include <cstdint>

namespace {

constexpr const char* kSupportAddress = "support@vellacord.example";

// Engine statuses are 32-bit codes; a negative long must not print as 16 digits.
std::uint32_t Code32(long value)
{
    return static_cast<std::uint32_t>(value);
}

} // namespace

QString HexCode(long value)
{
    return QString::asprintf("%08lx", static_cast<unsigned long>(Code32(value)));
}

QString ErrorContextText(bool clear)
{
    return QString::fromStdString(TheErrorContext().ContextText(clear));
}

QString DescribeError(const QString& msg)
{
    return QStringLiteral("the error is \"") + msg + QStringLiteral("\"\n") + ErrorContextText(true);
}

Answer ReportFailure(const QString& msg, ReportStyle style, const QString& details)
{
    MessageRequest request;
    request.text = QStringLiteral("Operation failed - \n") + DescribeError(msg);
    request.details = details;
    request.buttons = Buttons::Ok;
    request.icon = style == ReportStyle::Error ? Icon::Error : Icon::Information;
    request.foreground = style == ReportStyle::Error;
    return TheUserInterface().ShowMessage(request);
}

QString OleDbErrorReport(long hr, const engine::ErrorRecords& records)
{
    QString report;
    if (hr != 0)
        report += QString::asprintf("OLE DB Error Record dump for hr = 0x%x\n", Code32(hr));
    if (records.empty()) {
        report += QString::asprintf("No OLE DB Error Information found: hr = 0x%x\n", Code32(hr));
        return report;
    }
    int row = 0;
    for (const engine::ErrorRecord& record : records) {
        // A server's records name its URI; whoever reads the dump must know which engine spoke.
        const bool server = IsServerDatabaseName(record.file);
        report +=
            QString::asprintf("Row #: %4d Source: \"%s\" Description: \"%s\" Extended Code: %4d Statement: \"%s\"\n",
                              row++, server ? "PostgreSQL" : "SQLite", record.message.toUtf8().constData(),
                              record.extendedCode, record.statement.toUtf8().constData());
    }
    report += QStringLiteral("OLE DB Error Record dump end\n");
    return report;
}

QString FailureText(const engine::ErrorRecords& records)
{
    constexpr int kNoDatabase = 125;
    using engine::FailureKind;
    const engine::ErrorRecord record = records.empty() ? engine::ErrorRecord() : records.front();
    const QString file = QDir::toNativeSeparators(record.file);
    const QString database = file.isEmpty() ? QStringLiteral("the database") : file;
    switch (record.kind) {
    case FailureKind::NotADatabase:
        return LoadString(kNoDatabase) + (file.isEmpty() ? QString() : QStringLiteral("\n") + file);
    case FailureKind::Damaged:
        return LoadString(kNoDatabase) + (file.isEmpty() ? QString() : QStringLiteral("\n") + file) +
            QStringLiteral("\nThe file is damaged or cut off; a backup of it can take its place.");
    case FailureKind::DiskFull:
        return QStringLiteral("The disk holding %1 is full; your edits are kept.").arg(database);
    case FailureKind::ReadOnly:
        if (!file.isEmpty() && QFileInfo(record.file).isDir())
            return QStringLiteral("The folder %1, which holds the database, is read-only for you: Vellacord must "
                                  "write its journal there. Ask for write access to the folder.")
                .arg(file);
        return QStringLiteral("The database %1 is read-only for you: Vellacord cannot save anything in it. Ask for "
                              "write access to the file.")
            .arg(database);
    case FailureKind::Locked:
        return QStringLiteral("Another program keeps %1 locked, and Vellacord stopped waiting for it. Try again "
                              "when that program has finished.")
            .arg(database);
    case FailureKind::Unreachable:
        return QStringLiteral("Vellacord cannot reach %1: it is missing, cannot be read, or the connection to it "
                              "was given up. Please check the network connection.")
            .arg(database);
    case FailureKind::Maintenance:
        return QStringLiteral("%1 is locked for maintenance. Try again when the maintenance has finished.")
            .arg(database);
    case FailureKind::Other:
        break;
    }
    return QStringLiteral("The database could not carry out the operation.");
}

QString FailureCause(const engine::ErrorRecords& records)
{
    using engine::FailureKind;
    switch (records.empty() ? FailureKind::Other : records.front().kind) {
    case FailureKind::NotADatabase:
        return QStringLiteral("it is no database");
    case FailureKind::Damaged:
        return QStringLiteral("the file is damaged");
    case FailureKind::DiskFull:
        return QStringLiteral("the disk is full");
    case FailureKind::ReadOnly:
        return QStringLiteral("the file or its folder is read-only for you");
    case FailureKind::Locked:
        return QStringLiteral("another program keeps it locked");
    case FailureKind::Unreachable:
        return QStringLiteral("the file could not be read or written");
    case FailureKind::Maintenance:
        return QStringLiteral("it is locked for maintenance");
    case FailureKind::Other:
        break;
    }
    return QStringLiteral("the database refused the operation");
}

Answer ReportEngineFailure(long hr, const engine::ErrorRecords& records, ReportStyle style)
{
    return ReportFailure(FailureText(records), style, OleDbErrorReport(hr, records));
}

Answer ShowOleDbErrors(UserInterface& ui, long hr, const engine::ErrorRecords& records, const QString& text)
{
    QString shown = FailureText(records);
    if (!text.isEmpty())
        shown += QStringLiteral("\n\n") + text;
    return ShowDetailedMessage(ui, shown, OleDbErrorReport(hr, records), Buttons::YesNo);
}

QString ErrorDumpPath()
{
    // An unusable temporary folder reads as empty; the dump must not land in the root folder then.
    const QString folder = QDir::tempPath();
    if (folder.isEmpty())
        return QString();
    return folder + QDir::separator() + QStringLiteral("Vellacord.dump.txt");
}

QString ErrorDumpText(const QString& msg, bool crashing, const QDateTime& at, const QString& context)
{
    const QString separator = QStringLiteral("------------------------------------------------\n");
    QString text = separator;
    text += QStringLiteral("Vellacord encountered an error. The error message will be shown below this window. "
                           "Please leave this window open until you have confirmed the error message.\n");
    if (crashing)
        text += QStringLiteral("Please confirm the Vellacord error message box and wait until Vellacord has closed. "
                               "Then start the windows utility 'DRWTSN32' and send me the contents of the log file.\n");
    text += QStringLiteral("\nPlease send the contents of this file to %1. Thank you.\n\n").arg(kSupportAddress);
    text += QStringLiteral("Vellacord ist in einen Fehlerzustand gelaufen. Die Fehlermeldung wird unterhalb dieses "
                           "Fensters angezeigt. Bitte lassen Sie dieses Fenster geöffnet bis Sie die Fehlermeldung "
                           "bestätigt haben.\n");
    if (crashing)
        text += QStringLiteral("Bitte bestätigen Sie die Vellacord Fehlermeldung und warten Sie, bis Vellacord beendet "
                               "ist. Starten Sie dann das Windows utility 'DRWTSN32' und senden Sie mir den Inhalt des "
                               "Log files.\n");
    text += QStringLiteral("\nBitte senden Sie den Inhalt dieser Datei an %1. Vielen Dank.\n\n").arg(kSupportAddress);
    text += separator;
    text += QStringLiteral("Vellacord exception at %1\n").arg(QLocale::system().toString(at, QLocale::ShortFormat));
    text += QStringLiteral("Error: %1\n").arg(msg);
    text += QStringLiteral("Context:\n%1\n__________________________________________________________\n").arg(context);
    return text;
}

void WriteErrorDump(const QString& msg, bool crashing)
{
    const QString path = ErrorDumpPath();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;
    file.write(ErrorDumpText(msg, crashing, QDateTime::currentDateTime(), ErrorContextText(false)).toUtf8());
    file.close();
    TheUserInterface().OpenWithDesktop(path, true);
}
