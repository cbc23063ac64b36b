// The notification-area icon's state machine and its blink timer.

#include "app/TrayIconStates.h"

#include <utility>

TrayIconStates::TrayIconStates(QObject* parent) : QObject(parent)
{
    blinkTimer_.setInterval(kBlinkIntervalMs);
    connect(&blinkTimer_, &QTimer::timeout, this, &TrayIconStates::BlinkStep);
}

void TrayIconStates::SetTrayIcon(bool on, const QString& tip)
{
    if (!on) {
        SetTrayState(kNoIcon, QString());
        return;
    }
    shown_ = true;
    SetTrayState(state_ == kNoIcon ? kNormal : state_, tip);
}

void TrayIconStates::SetTrayState(int state, const QString& tip)
{
    // The tip is changed only when one is given.
    if (!tip.isEmpty())
        tip_ = tip.left(kMaxTipLength);
    if (state == kKeep) {
        if (shown_)
            emit iconChanged();
        return;
    }
    if (state == kNoIcon) {
        StopBlinking();
        state_ = kNoIcon;
        const bool wasShown = std::exchange(shown_, false);
        if (wasShown)
            emit iconChanged();
        return;
    }
    state_ = state;
    if (!shown_)
        return;
    Apply(state);
    emit iconChanged();
}

void TrayIconStates::BlinkStep()
{
    if (!shown_ || (state_ != kBlinkPhaseOne && state_ != kBlinkPhaseTwo)) {
        StopBlinking();
        return;
    }
    Apply(state_);
    emit iconChanged();
}

void TrayIconStates::Apply(int state)
{
    switch (state) {
    case kStartBlinking:
        icon_ = kNewEntriesIcon;
        blinkCountdown_ = kBlinkCount;
        blinkTimer_.start();
        state_ = kBlinkPhaseOne;
        return;
    case kBlinkPhaseOne:
        icon_ = kNormalIcon;
        state_ = kBlinkPhaseTwo;
        return;
    case kBlinkPhaseTwo:
        icon_ = kNewEntriesIcon;
        if (blinkCountdown_ == 0) {
            blinkTimer_.stop();
            state_ = kAlert;
        } else {
            --blinkCountdown_;
            state_ = kBlinkPhaseOne;
        }
        return;
    case kAlert:
        icon_ = kNewEntriesIcon;
        break;
    default:
        icon_ = kNormalIcon;
        break;
    }
    StopBlinking();
}

void TrayIconStates::StopBlinking()
{
    blinkCountdown_ = 0;
    blinkTimer_.stop();
}
