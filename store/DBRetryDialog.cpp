// The retry dialog: its countdown, the flashing main window, and hiding and showing with the main window.

#include "store/DBRetryDialog.h"

#include "base/StringTable.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace {
constexpr int kTickMs = RetryCountdown::kTickMs;
constexpr int kCaption = 19601;
constexpr int kCountdownTemplate = 19602;
constexpr int kRetryButton = 19603;
constexpr int kCancelButton = 19604;
constexpr int kDefaultMessage = 152;
} // namespace

CDBRetryDialog::CDBRetryDialog(QWidget* parent, const QString& message, int autoRetrySeconds, int flashCount,
                               bool startHidden, const Clock& clock)
    : QDialog(parent), countdownFormat_(LoadString(kCountdownTemplate)), countdownTime_(clock, autoRetrySeconds),
      flashCount_(2 * flashCount), startHidden_(startHidden),
      parentWasVisible_(parent != nullptr && parent->isVisible())
{
    setWindowTitle(LoadString(kCaption));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this).pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop);

    auto* text = new QLabel(message.isEmpty() ? LoadString(kDefaultMessage) : message, this);
    text->setObjectName(QStringLiteral("message"));
    text->setWordWrap(true);

    countdown_ = new QLabel(this);
    countdown_->setObjectName(QStringLiteral("countdown"));
    ShowCountdown();

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* retry = buttons->addButton(LoadString(kRetryButton), QDialogButtonBox::AcceptRole);
    retry->setObjectName(QStringLiteral("retry"));
    retry->setDefault(true);
    buttons->addButton(LoadString(kCancelButton), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* texts = new QVBoxLayout;
    texts->addWidget(text);
    texts->addWidget(countdown_);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);

    if (parent != nullptr)
        parent->installEventFilter(this);
    connect(&timer_, &QTimer::timeout, this, &CDBRetryDialog::Tick);
    timer_.start(kTickMs);
}

CDBRetryDialog::~CDBRetryDialog()
{
    timer_.stop();
    QWidget* parent = parentWidget();
    if (parent != nullptr && parentWasVisible_ && !parent->isVisible()) {
        if (isMinimized())
            parent->showMinimized();
        else
            parent->show();
    }
    ShowParentPopups();
}

int CDBRetryDialog::Run()
{
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::exit);
    setWindowModality(Qt::ApplicationModal);
    show();
    return loop.exec();
}

void CDBRetryDialog::ShowCountdown()
{
    countdown_->setText(QString::asprintf(countdownFormat_.toUtf8().constData(), countdownTime_.SecondsLeft()));
}

void CDBRetryDialog::Tick()
{
    countdownTime_.Update();
    if (countdownTime_.Expired()) {
        accept();
        return;
    }
    ShowCountdown();
    if (flashCount_ > 0 && isActiveWindow())
        flashCount_ = 1;
    if (flashCount_ > 0) {
        if (flashCount_ > 1 && parentWidget() != nullptr)
            QApplication::alert(parentWidget(), kTickMs);
        --flashCount_;
    }
}

bool CDBRetryDialog::ParentHiddenOrMinimised() const
{
    const QWidget* parent = parentWidget();
    return parent == nullptr || !parent->isVisible() || parent->isMinimized();
}

void CDBRetryDialog::HideParentPopups()
{
    QWidget* parent = parentWidget();
    if (parent == nullptr)
        return;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child != this && child->isWindow() && child->isVisible()) {
            child->hide();
            hiddenPopups_.emplace_back(child);
        }
    }
}

void CDBRetryDialog::ShowParentPopups()
{
    for (const QPointer<QWidget>& popup : hiddenPopups_) {
        if (popup)
            popup->show();
    }
    hiddenPopups_.clear();
}

void CDBRetryDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (startHidden_) {
        startHidden_ = false;
        if (ParentHiddenOrMinimised()) {
            HideParentPopups();
            // Hidden while the main window is out of sight; the countdown goes on meanwhile.
            QTimer::singleShot(0, this, &QWidget::hide);
        }
    } else {
        activateWindow();
        setFocus();
    }
}

bool CDBRetryDialog::eventFilter(QObject* watched, QEvent* event)
{
    // The main window coming back brings the hidden dialog with it: it blocks the main window's input.
    if (watched == parentWidget() && (event->type() == QEvent::Show || event->type() == QEvent::WindowStateChange) &&
        !isVisible() && timer_.isActive()) {
        const QWidget* parent = parentWidget();
        if (parent->isVisible() && !parent->isMinimized()) {
            QTimer::singleShot(0, this, [this] {
                if (timer_.isActive() && !isVisible()) {
                    show();
                    ShowParentPopups();
                }
            });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CDBRetryDialog::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    QWidget* parent = parentWidget();
    if (isMinimized() && !(change->oldState() & Qt::WindowMinimized)) {
        if (parent != nullptr) {
            if (parentWasVisible_)
                parent->showMinimized();
            else
                parent->hide();
        }
        HideParentPopups();
    } else if (!isMinimized() && (change->oldState() & Qt::WindowMinimized)) {
        if (parent != nullptr)
            parent->showNormal();
        ShowParentPopups();
    }
}

RetryAnswer RunRetryDialog(const RetryDialogRequest& request, QWidget* parent, const Clock& clock)
{
    CDBRetryDialog dialog(parent, request.message, request.autoRetrySeconds, request.flashCount, request.startHidden,
                          clock);
    return dialog.Run() == QDialog::Accepted ? RetryAnswer::Retry : RetryAnswer::Cancel;
}
