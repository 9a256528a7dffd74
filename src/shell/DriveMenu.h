// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QMouseEvent;
class QPoint;
class QWidget;

// A section at the top of the window's popup menu, made each time the menu
// opens and gone at the next opening. Opened for a drive (a right click on
// its panel) it holds the commands that work for that drive (open and eject
// where its caller says so), hide, and what fills it (the drive window, for a
// drive of this machine). Opened any other way (the tray icon) it
// holds the submenu of hidden drives, one item each to show it again, when
// there is any. The items have no names, so the localization of the window
// never sees them; their captions are the program's constants in the active
// language.
class TDriveMenu : public QObject
{
    Q_OBJECT

public:
    using TDriveHandler = std::function<void(const QString &drive)>;
    struct THandlers
    {
        TDriveHandler Open;
        TDriveHandler Eject;
        TDriveHandler Hide;
        TDriveHandler Show;
        TDriveHandler Analyze;
        std::function<QStringList()> Hidden;
    };

    // What can be done to a drive besides hiding it: open its folder (a
    // drive of this machine), eject it (a removable or optical drive of this
    // machine), see what fills it (a drive of this machine).
    struct TCommands
    {
        bool Open = true;
        bool Eject = false;
        bool Analyze = false;
    };

    TDriveMenu(QMenu *menu, THandlers handlers);
    ~TDriveMenu() override;

    // Opens the menu at a global position with the section of a drive.
    void PopupFor(const QString &drive, TCommands commands, const QPoint &globalPos);
    // The captions of the section built last, for the log and the tests.
    QStringList SectionTexts() const;

private:
    void Build();
    void Clear();
    QAction *AddAction(const QString &caption, QAction *before, const TDriveHandler &handler,
                       const QString &drive);

    QPointer<QMenu> FMenu;
    THandlers FHandlers;
    QList<QPointer<QAction>> FSection;
    std::unique_ptr<QMenu> FHiddenMenu;
    QString FDrive;
    TCommands FCommands;
    bool FForDrive = false;
};

// Opens a drive's folder ("/media/stick", "E:") with the desktop's handler
// for folders: the user's file manager, the shell on Windows. False when no
// handler took it.
bool OpenDriveFolder(const QString &drive);

// Gestures on a drive panel: a double click with the left button on any of
// its controls, or Enter while the panel has the focus, opens it.
class TPanelGestures : public QObject
{
    Q_OBJECT

public:
    using TOpen = std::function<void(QWidget *panel)>;
    explicit TPanelGestures(TOpen open, QObject *parent = nullptr);
    // Watches the panel for Enter; the panel takes the focus when clicked or
    // tabbed to.
    void Watch(QWidget *panel);
    // True when a mouse event of a control of the panel is the double click
    // that opens it (the caller hands its mouse-down events here first). The
    // press that starts a window move goes to the window manager, which may
    // keep the release and the double click from the application: a second
    // press of the left button on the same panel, close by and within the
    // double-click time, is a double click too. A press gives the panel the
    // focus.
    bool DoubleClick(QWidget *panel, const QMouseEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TOpen FOpen;
    QPointer<QWidget> FLastPanel;
    QPoint FLastPos;
    QElapsedTimer FSinceLast;
};
