// The administration dialog: create, repair or open a database, and the port's way to run it.

#include "store/DatabaseAdministrationDialog.h"

#include "base/AdministrationActions.h"
#include "base/Guards.h"
#include "base/StringTable.h"
#include "engine/SqlDialect.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

enum TextId {
    kCaption = 18701,
    kGroup = 18702,
    kCreateNew = 18703,
    kRepair = 18704,
    kOpen = 18705,
    kClose = 18706,
    kHelp = 18707,
    kCreateNewText = 18708,
    kRepairText = 18709,
    kOpenText = 18710,
};

const QString kFilter = QStringLiteral("*.defl|*.defl|*.mdb|*.mdb||");
const QString kDefaultExtension = QStringLiteral("defl");

} // namespace

CDatabaseAdministration::CDatabaseAdministration(UserInterface& ui, AdministrationActions& actions,
                                                 const QString& missingDatabase, QWidget* parent)
    : QDialog(parent), ui_(ui), actions_(actions), missingDatabase_(missingDatabase)
{
    setWindowTitle(LoadString(kCaption));
    auto* layout = new QVBoxLayout(this);
    const bool missingServer = engine::IsServerName(missingDatabase);
    if (!missingDatabase.isEmpty()) {
        // A first start explains itself: where the program looked, and that it found nothing.
        auto* missing = new QLabel(
            missingServer ? QStringLiteral("%1 could not be opened.").arg(engine::DisplayNameOfServer(missingDatabase))
                          : QStringLiteral("No database found at %1.").arg(QDir::toNativeSeparators(missingDatabase)),
            this);
        missing->setObjectName(QStringLiteral("missingDatabase"));
        missing->setWordWrap(true);
        missing->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(missing);
    }
    // A server database has no file to choose: its URI, typed here, is what the buttons act on.
    auto* serverRow = new QHBoxLayout;
    auto* serverLabel = new QLabel(QStringLiteral("Database on a &server:"), this);
    serverUri_ = new QLineEdit(this);
    serverUri_->setObjectName(QStringLiteral("serverUri"));
    serverUri_->setPlaceholderText(QStringLiteral("postgresql://dbhost/team (empty: choose a file)"));
    serverUri_->setClearButtonEnabled(true);
    if (missingServer)
        serverUri_->setText(missingDatabase);
    serverLabel->setBuddy(serverUri_);
    serverRow->addWidget(serverLabel);
    serverRow->addWidget(serverUri_, 1);
    layout->addLayout(serverRow);
    auto* group = new QGroupBox(LoadString(kGroup), this);
    auto* commands = new QGridLayout(group);
    const struct {
        int button;
        int text;
        const char* name;
        void (CDatabaseAdministration::*handler)();
    } rows[] = {
        {kCreateNew, kCreateNewText, "createNew", &CDatabaseAdministration::OnCreateNew},
        {kRepair, kRepairText, "repair", &CDatabaseAdministration::OnRepair},
        {kOpen, kOpenText, "open", &CDatabaseAdministration::OnOpen},
    };
    int row = 0;
    for (const auto& command : rows) {
        auto* button = new QPushButton(LoadString(command.button), group);
        button->setObjectName(QString::fromLatin1(command.name));
        button->setAutoDefault(false);
        auto* text = new QLabel(LoadString(command.text), group);
        text->setObjectName(QString::fromLatin1(command.name) + QStringLiteral("Text"));
        text->setWordWrap(true);
        commands->addWidget(button, row, 0, Qt::AlignTop);
        commands->addWidget(text, row, 1);
        const auto handler = command.handler;
        connect(button, &QPushButton::clicked, this,
                [this, handler] { RunGuardedHandler([this, handler] { (this->*handler)(); }); });
        ++row;
    }
    commands->setColumnStretch(1, 1);
    layout->addWidget(group);

    auto* buttons = new QDialogButtonBox(this);
    auto* close = buttons->addButton(LoadString(kClose), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("close"));
    auto* help = buttons->addButton(LoadString(kHelp), QDialogButtonBox::HelpRole);
    help->setObjectName(QStringLiteral("help"));
    connect(help, &QPushButton::clicked, this, [this] { ui_.ShowHelp(QStringLiteral("first-start")); });
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, help, &QPushButton::click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(460);
}

std::optional<QString> CDatabaseAdministration::ChooseDatabaseFile(bool save, const QString& initialPath)
{
    FileDialogRequest request;
    request.kind = save ? FileDialogRequest::Kind::Save : FileDialogRequest::Kind::Open;
    request.initialPath = initialPath;
    request.filter = kFilter;
    request.defaultExtension = kDefaultExtension;
    request.overwritePrompt = save;
    return ui_.ChooseFile(request);
}

void CDatabaseAdministration::EndWithPath(const QString& path)
{
    chosenPath_ = path;
    done(kOpenCode);
}

std::optional<QString> CDatabaseAdministration::TypedServer(bool& refused)
{
    refused = false;
    const QString typed = serverUri_->text().trimmed();
    if (typed.isEmpty())
        return std::nullopt;
    if (!engine::IsServerName(typed)) {
        refused = true;
        ShowTextMessage(ui_,
                        QStringLiteral("\"%1\" names no server database: a server's name begins with "
                                       "postgresql://. Leave the field empty to choose a file.")
                            .arg(typed),
                        Buttons::Ok, Icon::Warning);
        return std::nullopt;
    }
    return typed;
}

void CDatabaseAdministration::OnCreateNew()
{
    bool refused = false;
    if (const std::optional<QString> server = TypedServer(refused)) {
        bool created = false;
        {
            WaitCursor wait(ui_);
            created = actions_.CreateDatabase(*server);
        }
        if (created)
            EndWithPath(*server);
        return;
    }
    if (refused)
        return;
    const bool missingFile = !missingDatabase_.isEmpty() && !engine::IsServerName(missingDatabase_);
    const std::optional<QString> path =
        ChooseDatabaseFile(true, missingFile ? missingDatabase_ : QStringLiteral("./default.defl"));
    if (!path)
        return;
    bool created = false;
    {
        WaitCursor wait(ui_);
        created = actions_.CreateDatabase(*path);
    }
    // A creation that was cancelled or failed (and said why) opens nothing: an old file at the
    // path is still the old one, and the user chooses again here.
    if (created)
        EndWithPath(*path);
}

void CDatabaseAdministration::OnRepair()
{
    bool refused = false;
    if (const std::optional<QString> server = TypedServer(refused)) {
        WaitCursor wait(ui_);
        actions_.CompactAndRepair(*server);
        return;
    }
    if (refused)
        return;
    const std::optional<QString> path = ChooseDatabaseFile(false, QString());
    if (!path)
        return;
    WaitCursor wait(ui_);
    actions_.CompactAndRepair(*path);
}

void CDatabaseAdministration::OnOpen()
{
    bool refused = false;
    if (const std::optional<QString> server = TypedServer(refused)) {
        EndWithPath(*server);
        return;
    }
    if (refused)
        return;
    const std::optional<QString> path = ChooseDatabaseFile(false, QStringLiteral("./*.defl"));
    if (path)
        EndWithPath(*path);
}

std::optional<QString> RunAdministrationDialog(UserInterface& ui, AdministrationActions& actions,
                                               const QString& missingDatabase, QWidget* parent)
{
    CDatabaseAdministration dialog(ui, actions, missingDatabase, parent);
    if (dialog.exec() != CDatabaseAdministration::kOpenCode)
        return std::nullopt;
    return dialog.chosenPath();
}
