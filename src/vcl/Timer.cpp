// SPDX-License-Identifier: MIT
#include "vcl/Timer.h"

TTimer::TTimer(QObject *owner) : QTimer(owner)
{
    connect(this, &QTimer::timeout, this, [this] { emit OnTimer(this); });
    UpdateTimer();
}

void TTimer::SetEnabled(bool value)
{
    if (FEnabled == value)
        return;
    FEnabled = value;
    UpdateTimer();
}

void TTimer::SetInterval(int value)
{
    if (FInterval == value)
        return;
    FInterval = value;
    UpdateTimer();
}

void TTimer::UpdateTimer()
{
    stop();
    if (FEnabled && FInterval > 0)
        start(FInterval);
}
