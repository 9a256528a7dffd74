// SPDX-License-Identifier: MIT
#include "shell/DriveMenu.h"

#include "localization/ConstantText.h"
#include "panels/DriveName.h"
#include "shell/ShellLog.h"

#include <QAction>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyleHints>
#include <QUrl>

TDriveMenu::TDriveMenu(QMenu *menu, THandlers handlers) : FMenu(menu), FHandlers(std::move(handlers))
{
    connect(menu, &QMenu::aboutToShow, this, &TDriveMenu::Build);
}

TDriveMenu::~TDriveMenu()
{
    Clear();
}

void TDriveMenu::PopupFor(const QString &drive, TCommands commands, const QPoint &globalPos)
{
    FDrive = drive;
    FCommands = commands;
    FForDrive = true;
    FMenu->popup(globalPos);
}

QStringList TDriveMenu::SectionTexts() const
{
    QStringList texts;
    for (const QPointer<QAction> &action : FSection) {
        if (!action || action->isSeparator())
            continue;
        QString text = action->text();
        if (QMenu *sub = action->menu()) {
            QStringList items;
            for (const QAction *item : sub->actions())
                items << item->text();
            text += QStringLiteral(" [") + items.join(QStringLiteral(" | ")) + QLatin1Char(']');
        }
        texts << text;
    }
    return texts;
}

void TDriveMenu::Clear()
{
    // The actions of the last opening are gone only now: a chosen item is
    // triggered after the menu has hidden itself.
    for (const QPointer<QAction> &action : std::as_const(FSection))
        delete action.data();
    FSection.clear();
    FHiddenMenu.reset();
}

QAction *TDriveMenu::AddAction(const QString &caption, QAction *before, const TDriveHandler &handler,
                               const QString &drive)
{
    auto *action = new QAction(caption, this);
    connect(action, &QAction::triggered, this, [handler, drive] {
        if (handler)
            handler(drive);
    });
    FMenu->insertAction(before, action);
    FSection << action;
    return action;
}

void TDriveMenu::Build()
{
    Clear();
    const bool forDrive = FForDrive;
    const QString drive = FDrive;
    FForDrive = false;
    FDrive.clear();
    const QList<QAction *> existing = FMenu->actions();
    QAction *first = existing.isEmpty() ? nullptr : existing.first();

    if (forDrive) {
        if (FCommands.Open)
            AddAction(ConstantText(QStringLiteral("msgAbrir")), first, FHandlers.Open, drive);
        if (FCommands.Eject)
            AddAction(ConstantText(QStringLiteral("msgExpulsar")), first, FHandlers.Eject, drive);
        AddAction(ConstantText(QStringLiteral("msgOcultar")), first, FHandlers.Hide, drive);
        if (FCommands.Analyze)
            AddAction(ConstantText(QStringLiteral("msgAnalizar")), first, FHandlers.Analyze, drive);
    } else {
        const QStringList hidden = FHandlers.Hidden ? FHandlers.Hidden() : QStringList();
        if (hidden.isEmpty())
            return;
        FHiddenMenu = std::make_unique<QMenu>();
        for (const QString &name : hidden) {
            // A '&' in a mount point is a letter, not a menu shortcut.
            auto *item = FHiddenMenu->addAction(
                DriveNameShown(name).replace(QLatin1Char('&'), QStringLiteral("&&")));
            connect(item, &QAction::triggered, this, [this, name] {
                if (FHandlers.Show)
                    FHandlers.Show(name);
            });
        }
        QAction *sub = FHiddenMenu->menuAction();
        sub->setText(ConstantText(QStringLiteral("msgUnidadesOcultas")));
        FMenu->insertAction(first, sub);
        FSection << sub;
    }
    auto *separator = new QAction(this);
    separator->setSeparator(true);
    FMenu->insertAction(first, separator);
    FSection << separator;
    qCDebug(lcShell).noquote() << "menu section" << (forDrive ? drive : QStringLiteral("(tray)"))
                               << "reads:" << SectionTexts().join(QStringLiteral(" | "));
}

TPanelGestures::TPanelGestures(TOpen open, QObject *parent) : QObject(parent), FOpen(std::move(open)) {}

void TPanelGestures::Watch(QWidget *panel)
{
    panel->setFocusPolicy(Qt::StrongFocus);
    panel->installEventFilter(this);
}

bool TPanelGestures::DoubleClick(QWidget *panel, const QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    const QPoint pos = event->globalPosition().toPoint();
    bool twice = event->type() == QEvent::MouseButtonDblClick;
    if (!twice && event->type() == QEvent::MouseButtonPress) {
        twice = FLastPanel == panel && FSinceLast.isValid()
            && FSinceLast.elapsed() <= QGuiApplication::styleHints()->mouseDoubleClickInterval()
            && (pos - FLastPos).manhattanLength() <= QGuiApplication::styleHints()->startDragDistance();
    }
    if (!twice) {
        FLastPanel = panel;
        FLastPos = pos;
        FSinceLast.start();
        panel->setFocus(Qt::MouseFocusReason);
        return false;
    }
    FLastPanel = nullptr;
    FSinceLast.invalidate();
    FOpen(panel);
    return true;
}

bool TPanelGestures::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && watched->isWidgetType()) {
            FOpen(static_cast<QWidget *>(watched));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool OpenDriveFolder(const QString &drive)
{
    const QUrl url = DriveFolderUrl(drive);
    qCDebug(lcShell).noquote() << "opening" << url.toString();
    return QDesktopServices::openUrl(url);
}
