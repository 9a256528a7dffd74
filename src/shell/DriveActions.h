// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "shell/DriveMenu.h"

#include <functional>
#include <memory>

class QMenu;
class QMouseEvent;
class QPoint;
class QWidget;
class TDesktopNotifier;
class TDriveEject;
class TDriveWindows;
class TErrorReport;
class TFrameDrive;
class TPanelGestures;

// The drive commands beside the window's own menu: open a drive's folder,
// eject it, hide its panel, show a hidden drive again (the drive section of
// the popup menu, a double click or Enter on a panel), and the drives the
// user hid, as the settings file keeps them. Only what works for a drive is
// offered: a drive of another machine (its panel filled from a Prometheus
// server) can be hidden, but neither opened here nor ejected by this
// machine's disk service, nor analysed here. What the window must redo after
// a command comes out as a signal; a problem goes to the error report.
class TDriveActions : public QObject
{
    Q_OBJECT

public:
    TDriveActions(QMenu *menu, TDesktopNotifier &notifier, TErrorReport &report, QObject *parent = nullptr);
    ~TDriveActions() override;

    // Tells whether a panel's drive is one of this machine's; without it
    // every drive is.
    using TIsLocal = std::function<bool(const TFrameDrive *frame)>;
    void SetIsLocal(TIsLocal isLocal) { FIsLocal = std::move(isLocal); }
    // The commands the drive section offers for a panel's drive.
    TDriveMenu::TCommands CommandsFor(const TFrameDrive *frame) const;

    // The hidden drives from the settings file.
    void ReadHidden();
    QStringList Hidden() const { return FHidden; }
    // Writes the hidden drives when a change could not be written because
    // the settings file did not exist yet: called once the options are.
    void SaveHiddenIfPending();

    void OpenDrive(const QString &name);
    // The panel stays: it goes with the drive, at the refresh that no longer
    // finds it.
    void EjectDrive(const QString &name);
    void HideDrive(const QString &name);
    void ShowDrive(const QString &name);
    // Opens the drive window of a drive of this machine (or brings it to
    // the front): what fills it.
    void AnalyzeDrive(const QString &name);
    TDriveWindows &DriveWindows() { return *FWindows; }

    // A panel's hooks: Enter opens it (Watch); its mouse-down events come to
    // DoubleClick first, which is true for the double click that opened it
    // (a drive that cannot be opened here takes the gesture and does nothing);
    // its context menu opens the menu with the drive's section.
    void Watch(TFrameDrive *frame);
    bool DoubleClick(TFrameDrive *frame, const QMouseEvent *event);
    void PopupFor(const TFrameDrive *frame, const QPoint &globalPos);

signals:
    // A drive was hidden: its panel must go out of sight and the window be
    // fitted again.
    void HiddenChanged();
    // A hidden drive is shown again: a rebuild gives its panel back the
    // visibility its kind calls for.
    void RebuildNeeded();
    // A drive was ejected: the mounts have changed.
    void Ejected();

private:
    void SaveHidden();

    TDesktopNotifier &FNotifier;
    TErrorReport &FReport;
    TIsLocal FIsLocal;
    QStringList FHidden;
    // A change not written yet: the settings file did not exist.
    bool FHiddenPending = false;
    std::unique_ptr<TDriveMenu> FDriveMenu;
    std::unique_ptr<TPanelGestures> FGestures;
    std::unique_ptr<TDriveEject> FEject;
    std::unique_ptr<TDriveWindows> FWindows;
};
