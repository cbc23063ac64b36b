// The notification-area icon on QSystemTrayIcon.

#include "app/QtTrayIcon.h"

#include "app/QtIcons.h"
#include "app/TrayIconStates.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace {

// Menu 221's items mirror commands of the window under their own captions.
QAction* AddMirror(QMenu& menu, const QString& text, QAction* command)
{
    QAction* item = menu.addAction(text);
    item->setEnabled(command->isEnabled());
    QObject::connect(command, &QAction::changed, item, [item, command] { item->setEnabled(command->isEnabled()); });
    QObject::connect(item, &QAction::triggered, command, &QAction::trigger);
    return item;
}

} // namespace

QtTrayIcon::QtTrayIcon(TrayIconStates& states, const TrayMenuCommands& commands, QObject* parent)
    : QObject(parent), states_(states), commands_(commands)
{
    connect(&states_, &TrayIconStates::iconChanged, this, &QtTrayIcon::Follow);
    Follow();
}

QtTrayIcon::~QtTrayIcon() = default;

void QtTrayIcon::Follow()
{
    if (!states_.shown()) {
        if (icon_ != nullptr)
            icon_->hide();
        return;
    }
    if (icon_ == nullptr) {
        icon_ = new QSystemTrayIcon(this);
        menu_ = CreateMenu();
        icon_->setContextMenu(menu_.get());
        connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                emit openRequested();
        });
        connect(icon_, &QSystemTrayIcon::messageClicked, this, &QtTrayIcon::openRequested);
    }
    icon_->setIcon(TrayIcon(states_.icon()));
    icon_->setToolTip(states_.tip());
    icon_->show();
}

std::unique_ptr<QMenu> QtTrayIcon::CreateMenu()
{
    auto menu = std::make_unique<QMenu>();
    AddMirror(*menu, QStringLiteral("About Vellacord..."), commands_.about);
    menu->addSeparator();
    AddMirror(*menu, QStringLiteral("&New defect..."), commands_.newDefect);
    connect(menu->addAction(QStringLiteral("&Open Vellacord")), &QAction::triggered, this, &QtTrayIcon::openRequested);
    AddMirror(*menu, QStringLiteral("&Quit"), commands_.quit);
    return menu;
}

bool QtTrayIcon::ShowBalloon(const QString& title, const QString& text)
{
    if (icon_ == nullptr || !icon_->isVisible() || !QSystemTrayIcon::supportsMessages())
        return false;
    icon_->showMessage(title, text, TrayIcon(states_.icon()));
    return true;
}
