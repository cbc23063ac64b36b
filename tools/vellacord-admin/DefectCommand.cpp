// vellacord-admin defect show/add/comment/status: a session as the user and the document's own save.

#include "DefectCommand.h"

#include "DefectJson.h"
#include "ShellSession.h"

#include "document/DefectEdit.h"
#include "document/DefectPersistence.h"
#include "document/LookupLists.h"
#include "engine/SqlDialect.h"

#include <QJsonDocument>

#include <cstdio>

namespace {

// The defect as the text lines of "defect show".
void PrintDefect(const QJsonObject& defect, QTextStream& out)
{
    const auto name = [&](const char* key) { return defect[QLatin1String(key)].toObject()[QLatin1String("name")]; };
    const auto line = [&](const char* caption, const QJsonValue& value) {
        out << caption << ":\t" << (value.isDouble() ? QString::number(value.toInt()) : value.toString()) << '\n';
    };
    line("Defect", defect[QLatin1String("id")]);
    line("Subject", defect[QLatin1String("subject")]);
    line("Status", name("status"));
    line("Priority", name("priority"));
    line("Severity", name("severity"));
    line("Component", name("component"));
    line("Category", name("category"));
    line("From", name("from"));
    line("To", name("to"));
    QStringList cc;
    for (const QJsonValue& address : defect[QLatin1String("cc")].toArray())
        cc << address.toString();
    line("Cc", cc.join(QStringLiteral(", ")));
    line("Opened", defect[QLatin1String("opened")]);
    line("Modified", defect[QLatin1String("modified")]);
    line("Closed", defect[QLatin1String("closed")]);
    line("Found", defect[QLatin1String("found_version")]);
    line("Fixed", defect[QLatin1String("fixed_version")]);
    out << "Unread:\t" << (defect[QLatin1String("unread")].toBool() ? "yes" : "no") << '\n';
    out << "\nDescription:\n" << defect[QLatin1String("description")].toString() << '\n';
    out << "\nDetails:\n" << defect[QLatin1String("details")].toString() << '\n';
    out << "\nHistory:\n";
    for (const QJsonValue& entry : defect[QLatin1String("history")].toArray()) {
        const QJsonObject e = entry.toObject();
        out << e[QLatin1String("date")].toString() << '\t' << e[QLatin1String("status")].toString() << " ("
            << e[QLatin1String("user")].toString() << ")\t" << e[QLatin1String("comment")].toString() << '\n';
    }
    out << "\nAttachments:\n";
    for (const QJsonValue& file : defect[QLatin1String("attachments")].toArray())
        out << file.toString() << '\n';
    out.flush();
}

// A session logged in for a change of the options' user, or the reason it could not be.
QString OpenForChange(ShellSession& session, const AdminOptions& options)
{
    return session.LogIn(options.user, true, PasswordFromStdin(options));
}

// A script that read the defect earlier wants it unchanged since: the same rule as a save's.
QString ChangedSinceRead(const AdminOptions& options, const DefectRecord& loaded)
{
    const QString modified = JsonDate(loaded.Modified).toString();
    if (options.shell.expectModified.isEmpty() || modified == options.shell.expectModified)
        return {};
    // The newest history entry names who changed it last.
    return QStringLiteral("defect %1 was changed by %2 at %3, after it was read at %4; nothing was written")
        .arg(loaded.Defect_ID)
        .arg(ChangedByName(loaded, DefectRecord{}), modified, options.shell.expectModified);
}

QString Result(const EditOutcome& outcome)
{
    return outcome.saved() ? QString() : outcome.message;
}

} // namespace

std::optional<QString> PasswordFromStdin(const AdminOptions& options)
{
    if (!options.passwordFromStdin)
        return std::nullopt;
    QTextStream in(stdin);
    return in.readLine();
}

QString ShowDefect(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                   QTextStream& out)
{
    ShellSession session(options.file, ui, administration);
    if (QString error = session.LogIn(options.user, false, std::nullopt); !error.isEmpty())
        return error;
    const std::int32_t id = options.shell.defectId;
    const std::optional<DefectRecord> record =
        session.Visible(id) ? session.doc().defects().ReadDefect(id) : std::nullopt;
    if (!record)
        return QStringLiteral("%1 has no defect %2 that %3 may see")
            .arg(engine::DisplayNameOfDatabase(options.file))
            .arg(id)
            .arg(session.doc().CurrentUserName());
    const QJsonObject defect = DefectJson(*record, session.doc().lookups(), options.file, session.doc().loggedInId());
    if (options.shell.json) {
        out << QJsonDocument(defect).toJson(QJsonDocument::Indented);
        out.flush();
    } else {
        PrintDefect(defect, out);
    }
    return {};
}

QString AddDefect(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                  QTextStream& out)
{
    const ShellOptions& shell = options.shell;
    DefectRecord fields;
    fields.Subject = shell.subject;
    if (!shell.descriptionFile.isEmpty()) {
        QString error;
        const std::optional<QString> text = ReadTextArgument(shell.descriptionFile, error);
        if (!text)
            return error;
        fields.Description = *text;
    }
    fields.Cc = shell.cc.join(QStringLiteral("; "));

    ShellSession session(options.file, ui, administration);
    if (QString error = OpenForChange(session, options); !error.isEmpty())
        return error;
    if (!shell.to.isEmpty()) {
        const StakeholderEntry* to = session.doc().lookups().FindStakeholderByLogin(shell.to);
        if (to == nullptr || to->stakeholder_id == reserved::kNobody)
            return QStringLiteral("%1 has no user with the login name \"%2\"")
                .arg(engine::DisplayNameOfDatabase(options.file), shell.to);
        fields.ToID = to->stakeholder_id;
    }
    struct Named {
        LookupList list;
        const QString& name;
        std::int32_t& id;
        const char* option;
    };
    for (const Named& named : {Named{LookupList::Severity, shell.severity, fields.SeverityID, "severity"},
                               Named{LookupList::Priority, shell.priority, fields.PriorityID, "priority"},
                               Named{LookupList::Component, shell.component, fields.ComponentID, "component"},
                               Named{LookupList::Category, shell.category, fields.categoryid, "category"}}) {
        if (named.name.isEmpty())
            continue;
        const std::optional<std::int32_t> id = session.FindByName(named.list, named.name);
        if (!id)
            return QStringLiteral("%1 has no %2 \"%3\"")
                .arg(engine::DisplayNameOfDatabase(options.file), QLatin1String(named.option), named.name);
        named.id = *id;
    }
    DefectEditor editor(session.doc());
    const EditOutcome outcome = editor.Add(fields);
    if (!outcome.saved())
        return outcome.message;
    out << outcome.defectId << Qt::endl;
    return {};
}

QString CommentOnDefect(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                        QTextStream& out)
{
    QString text = options.shell.text;
    if (!options.shell.textFile.isEmpty()) {
        QString error;
        const std::optional<QString> read = ReadTextArgument(options.shell.textFile, error);
        if (!read)
            return error;
        text = read->trimmed();
        if (text.isEmpty())
            return QStringLiteral("%1 holds no comment").arg(options.shell.textFile);
    }
    ShellSession session(options.file, ui, administration);
    if (QString error = OpenForChange(session, options); !error.isEmpty())
        return error;
    const std::int32_t id = options.shell.defectId;
    DefectEditor editor(session.doc());
    if (!session.Visible(id) || !editor.Load(id))
        return QStringLiteral("%1 has no defect %2").arg(engine::DisplayNameOfDatabase(options.file)).arg(id);
    if (QString changed = ChangedSinceRead(options, editor.loaded()); !changed.isEmpty())
        return changed;
    editor.AddComment(text);
    const QString error = Result(editor.Save());
    if (error.isEmpty())
        out << "commented on defect " << id << Qt::endl;
    return error;
}

QString ChangeDefectStatus(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                           QTextStream& out)
{
    ShellSession session(options.file, ui, administration);
    if (QString error = OpenForChange(session, options); !error.isEmpty())
        return error;
    const std::int32_t id = options.shell.defectId;
    DefectEditor editor(session.doc());
    if (!session.Visible(id) || !editor.Load(id))
        return QStringLiteral("%1 has no defect %2").arg(engine::DisplayNameOfDatabase(options.file)).arg(id);
    if (QString changed = ChangedSinceRead(options, editor.loaded()); !changed.isEmpty())
        return changed;
    const std::optional<std::int32_t> status = session.FindByName(LookupList::Status, options.shell.toStatus);
    if (!status)
        return QStringLiteral("%1 has no status \"%2\"")
            .arg(engine::DisplayNameOfDatabase(options.file), options.shell.toStatus);
    if (const EditOutcome changed = editor.ChangeStatus(*status, options.shell.comment); !changed.saved())
        return changed.message;
    const QString error = Result(editor.Save());
    if (error.isEmpty())
        out << "defect " << id << " is now " << session.doc().lookups().LookupName(LookupList::Status, *status)
            << Qt::endl;
    return error;
}
