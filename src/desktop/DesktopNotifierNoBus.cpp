// SPDX-License-Identifier: MIT
// Without D-Bus in Qt (the Windows build) the tray icon's balloon tells it.
#include "desktop/DesktopNotifier.h"

void TDesktopNotifier::Notify(const QString &title, const QString &text, const QString &, TAction action)
{
    ShowInTray(title, text, std::move(action));
}

void TDesktopNotifier::ActionInvoked(uint, const QString &) {}

void TDesktopNotifier::NotificationClosed(uint, uint) {}
