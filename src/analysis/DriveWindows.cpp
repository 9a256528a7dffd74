// SPDX-License-Identifier: MIT
#include "analysis/DriveWindows.h"

#include "analysis/AnalysisLog.h"
#include "analysis/DriveWindow.h"

TDriveWindows::~TDriveWindows()
{
    for (const QPointer<TDriveWindow> &window : std::as_const(FWindows))
        delete window.data();
}

TDriveWindow *TDriveWindows::Find(const QString &driveName) const
{
    for (const QPointer<TDriveWindow> &window : FWindows)
        if (window && window->DriveName() == driveName)
            return window;
    return nullptr;
}

TDriveWindow *TDriveWindows::Open(const QString &driveName, const std::string &driveRoot)
{
    FWindows.removeAll(nullptr);
    TDriveWindow *window = Find(driveName);
    if (!window) {
        qCDebug(lcAnalysis).noquote() << "drive window opened for" << driveName;
        window = new TDriveWindow(driveName, driveRoot);
        FWindows << window;
        emit Opened(window);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void TDriveWindows::Retranslate()
{
    for (const QPointer<TDriveWindow> &window : std::as_const(FWindows))
        if (window)
            window->Retranslate();
}
