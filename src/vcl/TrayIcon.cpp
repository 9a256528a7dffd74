// SPDX-License-Identifier: MIT
#include "vcl/TrayIcon.h"

#include "vcl/Menus.h"
#include "vcl/PlainText.h"

#include <QPixmap>

TTrayIcon::TTrayIcon(QObject *owner) : QSystemTrayIcon(owner)
{
    connect(this, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit OnClick(this);
        else if (reason == QSystemTrayIcon::DoubleClick)
            emit OnDblClick(this);
    });
}

void TTrayIcon::SetHint(const QString &value)
{
    FHint = value;
    setToolTip(vcl::PlainToolTip(value));
}

void TTrayIcon::SetVisible(bool value)
{
    FVisible = value;
    Apply();
}

void TTrayIcon::SetPopupMenu(TPopupMenu *menu)
{
    FPopupMenu = menu;
    setContextMenu(menu);
}

void TTrayIcon::Loaded()
{
    TComponentBase::Loaded();
    FWasLoaded = true;
    Apply();
}

void TTrayIcon::Apply()
{
    if (!FWasLoaded || IsLoading())
        return;
    setVisible(FVisible);
}

bool TTrayIcon::ReadBlock(const QString &blockName, const QByteArray &data)
{
    if (blockName != QLatin1String("Icon"))
        return false;
    QPixmap picture;
    if (!picture.loadFromData(data))
        qCWarning(lcVcl) << objectName() << ": the icon's picture cannot be read";
    else
        setIcon(QIcon(picture));
    return true;
}
