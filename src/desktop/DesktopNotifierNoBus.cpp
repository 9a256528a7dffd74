// SPDX-License-Identifier: MIT
// Without D-Bus in Qt (the Windows build) the tray icon's balloon tells it.
#include "desktop/DesktopNotifier.h"

void TDesktopNotifier::Notify(const QString &title, const QString &text)
{
    ShowInTray(title, text);
}
