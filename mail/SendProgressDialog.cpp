// The progress dialog of the send command and the port's way to open it.

#include "mail/SendProgressDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

const char* const kProgressFormat = "%d of %d mails sent.";

} // namespace

CSendProgressDialog::CSendProgressDialog(int total, QWidget* mainWindow)
    : QDialog(mainWindow), mainWindow_(mainWindow), bar_(new QProgressBar(this)), text_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("sending mails..."));
    bar_->setObjectName(QStringLiteral("progress1125"));
    text_->setObjectName(QStringLiteral("progressText1126"));
    bar_->setRange(0, total);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    layout->addWidget(text_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSendProgressDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(320);
    // Modeless: the loop runs while the dialog shows; only the main window is shut off.
    setModal(false);
    if (mainWindow_) {
        mainWindow_->setEnabled(false);
        mainWindow_->installEventFilter(this);
    }
    setEnabled(true);
    show();
    if (mainWindow_)
        move(mainWindow_->geometry().center() - rect().center());
}

CSendProgressDialog::~CSendProgressDialog()
{
    if (mainWindow_)
        mainWindow_->setEnabled(true);
    ShowStatus(QString());
}

bool CSendProgressDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == mainWindow_ && event->type() == QEvent::Close)
        cancelled_ = true;
    return QDialog::eventFilter(watched, event);
}

void CSendProgressDialog::Step(int sent, int total, const QString& statusText)
{
    text_->setText(QString::asprintf(kProgressFormat, sent, total));
    bar_->setValue(sent);
    ShowStatus(statusText);
    QCoreApplication::processEvents();
}

void CSendProgressDialog::ShowStatus(const QString& text)
{
    if (auto* main = qobject_cast<QMainWindow*>(mainWindow_.data())) {
        if (text.isEmpty())
            main->statusBar()->clearMessage();
        else
            main->statusBar()->showMessage(text);
    }
}

std::unique_ptr<SendProgress> OpenSendProgressDialog(int total, QWidget* parent)
{
    return std::make_unique<CSendProgressDialog>(total, parent);
}
