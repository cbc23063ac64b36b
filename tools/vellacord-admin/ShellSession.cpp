// The tool's session on a database as one user: login with the password rule, mail after saves, visibility.

#include "ShellSession.h"

#include "document/LookupLists.h"
#include "document/PasswordHash.h"
#include "engine/Connection.h"
#include "engine/EngineLibrary.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"
#include "list/ListQuery.h"
#include "mail/NotifyOnSave.h"
#include "platform/LocalSettings.h"
#include "platform/OleDate.h"
#include "platform/UserName.h"
#include "store/LookupEntries.h"

#include <QFile>
#include <QTextStream>

#include <cstdio>

ShellSession::ShellSession(const QString& file, UserInterface& ui, AdministrationActions& administration)
    : file_(file), doc_(ui, SystemClockInstance(), administration), dispatch_(doc_, ui)
{
    // The mail method and the tools are this workstation's, as for the program.
    TheLocalSettings().Load(engine::LibraryVersionNumber());
    // The document gets the file without the open procedure, which runs the login dialog and may
    // offer a compaction; the caller has checked the lock and the version.
    doc_.database().SetDatabaseFileName(file);
    mail::NotifyOnSave(doc_, dispatch_);
}

QString ShellSession::LogIn(const QString& login, bool forChanges, const std::optional<QString>& password)
{
    const std::optional<QString> systemUser = OperatingSystemUserName();
    const QString name = login.isEmpty() ? systemUser.value_or(QString()) : login;
    doc_.lookups().LoadLookups(true);
    const StakeholderEntry* user = name.isEmpty() ? nullptr : doc_.lookups().FindStakeholderByLogin(name);
    // Nobody stands for an unset author or addressee; nobody logs in as it.
    if (user == nullptr || user->stakeholder_id == reserved::kNobody)
        return login.isEmpty() ? QStringLiteral("%1 has no user with your login name \"%2\"; give --user LOGIN")
                                     .arg(engine::DisplayNameOfDatabase(file_), name)
                               : QStringLiteral("%1 has no user with the login name \"%2\"")
                                     .arg(engine::DisplayNameOfDatabase(file_), name);
    if (forChanges && !user->passwd.isEmpty()) {
        // The operating system has already checked who runs the tool; anyone else shows the password.
        const bool sameUser = systemUser && systemUser->compare(user->loginname, Qt::CaseInsensitive) == 0;
        if (!sameUser && !password)
            return QStringLiteral("%1 has a password; give it on the standard input with --password-stdin")
                .arg(user->loginname);
        if (password && !PasswordAccepted(user->passwd, *password))
            return QStringLiteral("wrong password for %1").arg(user->loginname);
    }
    if (!doc_.LoginAs(user->stakeholder_id))
        return QStringLiteral("%1 has no user with the login name \"%2\"")
            .arg(engine::DisplayNameOfDatabase(file_), name);
    doc_.database().LoadSystemSettings();
    return {};
}

bool ShellSession::Visible(std::int32_t defectId)
{
    ListSettings settings;
    settings.loggedInId = doc_.loggedInId();
    const ListCondition condition = BuildListCondition(settings, false);
    std::int64_t count = 0;
    engine::Connection& connection = doc_.GetDocumentConnection(RetryMode::Offline);
    if (engine::Failed(connection.QueryInt(QStringLiteral("SELECT count(*) FROM DefectListQuery") + condition.text +
                                               QStringLiteral(" AND Defect_ID = ?"),
                                           {std::int64_t{defectId}}, count))) {
        connection.TakeErrorRecords();
        return false;
    }
    return count > 0;
}

std::optional<std::int32_t> ShellSession::FindByName(LookupList list, const QString& name)
{
    for (const ChoiceItem& item : doc_.lookups().Choices(list)) {
        if (item.text.compare(name, Qt::CaseInsensitive) == 0)
            return item.data;
    }
    return std::nullopt;
}

std::optional<QString> ReadTextArgument(const QString& path, QString& error)
{
    QFile file;
    const bool opened = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                   : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}
