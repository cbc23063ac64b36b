// vellacord-admin user add / user list over the list editor's Users page.
#include "UserCommand.h"

#include "document/SetupListsEditor.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"

#include <optional>

namespace {

// The Users page of the file, for an administrator: the tool runs as the file's owner.
struct UsersPage {
    engine::Connection connection;
    std::optional<SetupListsEditor> editor;

    QString Open(const QString& file, UserInterface& ui)
    {
        if (engine::Failed(connection.Open(file)))
            return QStringLiteral("cannot open %1: %2")
                .arg(engine::DisplayNameOfDatabase(file), connection.TakeErrorMessage());
        editor.emplace(ui, connection, true, 0);
        editor->ShowPage(setup_lists::kUsersPage);
        return {};
    }

    QString Cell(int row, const char* column) const
    {
        const int index = editor->ColumnIndex(QString::fromLatin1(column));
        return index >= 0 ? editor->CellText(row, index) : QString();
    }
};

} // namespace

QString AddUser(const AdminOptions& options, UserInterface& ui, const QString& password, QTextStream& out)
{
    UsersPage page;
    if (QString error = page.Open(options.file, ui); !error.isEmpty())
        return error;
    SetupListsEditor& editor = *page.editor;
    // Login names are matched ignoring case at the login; two that differ only in case would be one.
    for (int row = 0; row < editor.RowCount(); ++row) {
        if (page.Cell(row, "loginname").compare(options.login, Qt::CaseInsensitive) == 0)
            return QStringLiteral("%1 already has a user with the login name \"%2\"")
                .arg(engine::DisplayNameOfDatabase(options.file), page.Cell(row, "loginname"));
    }
    editor.NewRecord();
    const auto set = [&](const char* column, const QString& text) {
        const int index = editor.ColumnIndex(QString::fromLatin1(column));
        if (index >= 0 && !text.isEmpty())
            editor.SetFieldText(index, text);
    };
    set("loginname", options.login);
    set("displayname", options.displayName);
    set("email", options.email);
    set("passwd", password);
    set("userflags", options.administrator ? QStringLiteral("A") : QString());
    if (!editor.StorePending())
        return QStringLiteral("could not add the user to %1").arg(engine::DisplayNameOfDatabase(options.file));
    const int row = editor.CurrentRow();
    const QString id = page.Cell(row, "stakeholder_id");
    if (!editor.Close())
        return QStringLiteral("added user %1 (id %2) to %3, but could not store the order of the users")
            .arg(options.login, id, engine::DisplayNameOfDatabase(options.file));
    out << "added user " << options.login << " (id " << id << ")" << (options.administrator ? " as administrator" : "")
        << Qt::endl;
    return {};
}

QString ListUsers(const AdminOptions& options, UserInterface& ui, QTextStream& out)
{
    UsersPage page;
    if (QString error = page.Open(options.file, ui); !error.isEmpty())
        return error;
    out << "id\tlogin\tname\te-mail\tflags\tpassword\n";
    for (int row = 0; row < page.editor->RowCount(); ++row) {
        out << page.Cell(row, "stakeholder_id") << '\t' << page.Cell(row, "loginname") << '\t'
            << page.Cell(row, "displayname") << '\t' << page.Cell(row, "email") << '\t' << page.Cell(row, "userflags")
            << '\t' << (page.Cell(row, "passwd").isEmpty() ? "no" : "yes") << '\n';
    }
    out.flush();
    return {};
}
