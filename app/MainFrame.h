#pragma once
// The one top-level window: the menus, the status bar and the two panes of the document.

#include <QMainWindow>

#include <map>

class CDefectDoc;
class CDefectList;
class CSearchBar;
class CDefectListView;
class CDefectView;
class LocalSettings;
class QAction;
class QLabel;
class QMenu;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CDefectDoc& document, LocalSettings& settings, QWidget* parent = nullptr);

    // The menu command with the given id; null for an id without a menu item. Areas built
    // later connect to it and enable it.
    QAction* CommandAction(int commandId) const;

    // The list pane, its bars and the list commands work on this list from now on.
    void SetList(CDefectList& list);

    CDefectListView* listView() const { return listView_; }
    CDefectView* formView() const { return formView_; }

    // The connection pane of the status bar.
    void ShowOfflineState(const QString& tip);
    void ShowNormalState(const QString& tip);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    void CreateStatusBar();
    void CreatePanes();
    void ConnectCommands();
    void ConnectDocumentCommands();
    // The panes and commands follow the document's signals.
    void FollowDocument();
    // Commands whose state follows the document.
    void UpdateDocumentCommands();
    // After a new defect: to the front, restored unless maximised.
    void BringToFront();
    void ApplySavedPlacement();
    // The current user and the connection state.
    void UpdateStatusPanes();
    void UpdateDocumentState();
    void ConnectListCommands();
    void UpdateListCommands();
    void FillColumnsMenu(QMenu* menu);
    // New entries addressed to the user: asked once at a time whether to read them.
    void AnnounceNewEntries(bool ask);

    CDefectDoc& document_;
    LocalSettings& settings_;
    std::map<int, QAction*> commands_;
    CDefectListView* listView_ = nullptr;
    CDefectView* formView_ = nullptr;
    CDefectList* list_ = nullptr;
    CSearchBar* searchBar_ = nullptr;
    QMenu* columnsMenu_ = nullptr;
    QLabel* userPane_ = nullptr;
    QLabel* connectionPane_ = nullptr;
    bool placementRestored_ = false;
    bool askingAboutNewEntries_ = false;
};
