#pragma once
// Dialog 187: creating a new database, repairing one or choosing the one to open, a file or a
// server's database by its postgresql:// URI. It shows when no database is known, when Shift is
// held at start-up and after a failed open.

#include "base/UserInterface.h"
#include <QDialog>
#include <QString>

#include <optional>

class AdministrationActions;
class QLineEdit;
class UserInterface;

class CDatabaseAdministration : public QDialog {
    Q_OBJECT
public:
    // The dialog's end when a database was chosen to be opened.
    static constexpr int kOpenCode = 1059;

    // File choosers and the wait cursor go through `ui`.
    // `missingDatabase`: where no database was found, said above the buttons and proposed for a
    // new one (empty: nothing was looked for).
    CDatabaseAdministration(UserInterface& ui, AdministrationActions& actions,
                            const QString& missingDatabase = QString(), QWidget* parent = nullptr);

    // The database to open; none unless the dialog ended with kOpenCode.
    const std::optional<QString>& chosenPath() const { return chosenPath_; }

    // The button handlers; each runs under the dialog's guard, which reports a failure and keeps
    // the dialog open.
    void OnCreateNew();
    void OnRepair();
    void OnOpen();

private:
    std::optional<QString> ChooseDatabaseFile(bool save, const QString& initialPath);
    // The server URI typed above the buttons; none when the field is empty (a file is chosen
    // then) or when it holds no URI, which sets `refused` after telling the user.
    std::optional<QString> TypedServer(bool& refused);
    void EndWithPath(const QString& path);

    UserInterface& ui_;
    AdministrationActions& actions_;
    std::optional<QString> chosenPath_;
    QString missingDatabase_;
    QLineEdit* serverUri_ = nullptr;
};

// The database the user chose to open, or nothing; the actions report through ui.
std::optional<QString> RunAdministrationDialog(UserInterface& ui, AdministrationActions& actions,
                                               const QString& missingDatabase, QWidget* parent);
