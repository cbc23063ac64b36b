#pragma once
// The icon in the desktop's notification area: it draws the states of TrayIconStates, opens
// the window on a click and offers menu 221 on a right click.

#include <QObject>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class TrayIconStates;

struct TrayMenuCommands {
    QAction* about = nullptr;
    QAction* newDefect = nullptr;
    QAction* quit = nullptr;
};

class QtTrayIcon : public QObject {
    Q_OBJECT
public:
    QtTrayIcon(TrayIconStates& states, const TrayMenuCommands& commands, QObject* parent = nullptr);
    ~QtTrayIcon() override;

    // A passing message from the icon; false when there is no icon to show it.
    bool ShowBalloon(const QString& title, const QString& text);

signals:
    // A left click, or "&Open Vellacord" in its menu, or a click on its message.
    void openRequested();

private:
    void Follow();
    std::unique_ptr<QMenu> CreateMenu();

    TrayIconStates& states_;
    TrayMenuCommands commands_;
    QSystemTrayIcon* icon_ = nullptr; // made when first shown
    std::unique_ptr<QMenu> menu_;     // parentless: it opens while the window is hidden
};
