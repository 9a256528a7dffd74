// SPDX-License-Identifier: MIT
#pragma once

#include "vcl/Persistent.h"

#include <QTimer>

// A message timer: OnTimer runs on the owner's thread every Interval
// milliseconds while Enabled is true and Interval is above 0.
class TTimer : public QTimer, public vcl::TComponentBase
{
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(int Interval READ Interval WRITE SetInterval)
    Q_PROPERTY(qint64 Tag READ Tag WRITE SetTag)

public:
    explicit TTimer(QObject *owner = nullptr);

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    int Interval() const { return FInterval; }
    // A new interval restarts a running timer, so the next tick comes one
    // full new interval later; writing the current value changes nothing.
    void SetInterval(int value);
    qint64 Tag() const { return FTag; }
    void SetTag(qint64 value) { FTag = value; }

signals:
    void OnTimer(QObject *sender);

private:
    void UpdateTimer();

    bool FEnabled = true;
    int FInterval = 1000;
    qint64 FTag = 0;
};
