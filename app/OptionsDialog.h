#pragma once
// The "Options" property sheet: the Mail, Other and Global pages over an OptionsSheet. OK
// applies the sheet; it stays open while the global settings cannot be stored.

#include "app/OptionsSheet.h"

#include <QDialog>

class CMailOptionsPage;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTabWidget;

class COptionsDialog : public QDialog {
    Q_OBJECT
public:
    // `trayAvailable`: the desktop shows notification-area icons.
    COptionsDialog(OptionsSheet& sheet, bool trayAvailable, OptionsPage page, QWidget* parent = nullptr);

    void accept() override;

private:
    QWidget* CreateOtherPage(bool trayAvailable);
    QWidget* CreateGlobalPage();
    QWidget* CreateToolRow(QWidget* page, QLineEdit* field, mail::Tool tool);
    void Browse(QLineEdit* field, mail::Tool tool);
    void Collect();

    OptionsSheet& sheet_;
    QTabWidget* pages_;
    CMailOptionsPage* mailPage_ = nullptr;
    QLineEdit* hotkey_ = nullptr;
    QCheckBox* systray_ = nullptr;
    QComboBox* autoClose_ = nullptr;
    QComboBox* autoRefresh_ = nullptr;
    QCheckBox* notify_ = nullptr;
    QSpinBox* compressDays_ = nullptr;
    QComboBox* growth_ = nullptr;
    QSpinBox* backups_ = nullptr;
    QPlainTextEdit* template_ = nullptr;
    QLineEdit* mailTool_ = nullptr;
    QLineEdit* zipTool_ = nullptr;
};
