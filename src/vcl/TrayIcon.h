// SPDX-License-Identifier: MIT
#pragma once

#include "vcl/Persistent.h"

#include <QPointer>
#include <QSystemTrayIcon>

class TPopupMenu;

// The notification-area icon. Its PopupMenu opens on the right button (Qt's
// context menu of the icon). Visible takes effect once the window definition
// has been read (Loaded), so the icon never shows half set up. Where the
// desktop has no notification area the icon is simply not shown.
class TTrayIcon : public QSystemTrayIcon, public vcl::TComponentBase
{
    Q_OBJECT
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(qint64 Tag READ Tag WRITE SetTag)
    Q_PROPERTY(TPopupMenu *PopupMenu READ PopupMenu WRITE SetPopupMenu)

public:
    explicit TTrayIcon(QObject *owner = nullptr);

    QString Hint() const { return FHint; }
    // The icon's tool tip, shown exactly as written (vcl::PlainToolTip): on
    // X11 it is a widget's tool tip, which Qt would render as markup.
    void SetHint(const QString &value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    qint64 Tag() const { return FTag; }
    void SetTag(qint64 value) { FTag = value; }
    TPopupMenu *PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu *menu);

    void Loaded() override;
    // The block "Icon": the icon's picture (any format Qt reads, SVG included).
    bool ReadBlock(const QString &blockName, const QByteArray &data) override;

signals:
    void OnClick(QObject *sender);
    void OnDblClick(QObject *sender);

private:
    void Apply();

    QString FHint;
    bool FVisible = false;
    bool FWasLoaded = false;
    qint64 FTag = 0;
    QPointer<TPopupMenu> FPopupMenu;
};
