#pragma once
// A message with a check box that turns it off for good.

#include "base/UserInterface.h"

#include <QDialog>

class QCheckBox;

class CHintDialog : public QDialog {
    Q_OBJECT
public:
    CHintDialog(const HintRequest& request, QWidget* parent = nullptr);

    // The button's result and the check box; Escape counts as the last button.
    HintAnswer Run();

    // Escape and the window's close button.
    void reject() override;

private:
    // Ends the dialog with `result`, whose platform number is also the dialog's result code.
    void Finish(Answer result);

    QCheckBox* dontShowAgain_ = nullptr;
    Answer escapeResult_ = Answer::Ok;
    Answer result_ = Answer::Ok;
};
