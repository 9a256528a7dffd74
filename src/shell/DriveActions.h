// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QMenu;
class QMouseEvent;
class QPoint;
class QWidget;
class TDesktopNotifier;
class TDriveEject;
class TDriveMenu;
class TErrorReport;
class TFrameDrive;
class TPanelGestures;

// The drive commands beside the window's own menu: open a drive's folder,
// eject it, hide its panel, show a hidden drive again (the drive section of
// the popup menu, a double click or Enter on a panel), and the drives the
// user hid, as the settings file keeps them. What the window must redo after
// a command comes out as a signal; a problem goes to the error report.
class TDriveActions : public QObject
{
    Q_OBJECT

public:
    TDriveActions(QMenu *menu, TDesktopNotifier &notifier, TErrorReport &report, QObject *parent = nullptr);
    ~TDriveActions() override;

    // The hidden drives from the settings file.
    void ReadHidden();
    QStringList Hidden() const { return FHidden; }

    void OpenDrive(const QString &name);
    // The panel stays: it goes with the drive, at the refresh that no longer
    // finds it.
    void EjectDrive(const QString &name);
    void HideDrive(const QString &name);
    void ShowDrive(const QString &name);

    // A panel's hooks: Enter opens it (Watch); its mouse-down events come to
    // DoubleClick first, which is true for the double click that opened it;
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
    QStringList FHidden;
    std::unique_ptr<TDriveMenu> FDriveMenu;
    std::unique_ptr<TPanelGestures> FGestures;
    std::unique_ptr<TDriveEject> FEject;
};
