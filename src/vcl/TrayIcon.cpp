// SPDX-License-Identifier: MIT
#include "vcl/TrayIcon.h"

#include "vcl/Menus.h"
#include "vcl/PlainText.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <memory>

namespace {

// An SVG icon drawn at whatever size the notification area asks for, so it
// stays sharp at any scale; QtSvg draws it directly, without going through
// the image-format plugins (which a picture read without a format name
// loads one after the other to find out what it is).
class TSvgIconEngine : public QIconEngine
{
public:
    explicit TSvgIconEngine(QByteArray data)
        : FData(std::move(data)), FRenderer(std::make_unique<QSvgRenderer>(FData))
    {}

    bool IsValid() const { return FRenderer->isValid(); }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        QSizeF size = FRenderer->defaultSize();
        if (size.isEmpty())
            size = rect.size();
        size.scale(rect.size(), Qt::KeepAspectRatio);
        const QRectF target(QPointF(rect.x() + (rect.width() - size.width()) / 2.0,
                                    rect.y() + (rect.height() - size.height()) / 2.0),
                            size);
        FRenderer->render(painter, target);
    }

    // A picture of exactly `size` pixels, its margins transparent.
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        if (size.isEmpty())
            return {};
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            paint(&painter, image.rect(), mode, state);
        }
        return QPixmap::fromImage(std::move(image));
    }

    // QIcon::pixmap(size, ratio) asks with the size already in device pixels
    // (the logical size times the ratio): the picture is drawn at that many
    // pixels, not scaled up once more, and carries the ratio.
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap picture = pixmap(size, mode, state);
        if (!picture.isNull() && scale > 0)
            picture.setDevicePixelRatio(scale);
        return picture;
    }

    // The sizes a notification area picks from when it takes pixmaps rather
    // than a painter (the D-Bus status notifier, Windows' icon handles): the
    // usual tray and menu sizes, each drawn from the SVG at that size.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : {16, 20, 22, 24, 32, 40, 44, 48, 64})
            sizes.append(QSize(side, side));
        return sizes;
    }

    bool isNull() override { return !FRenderer->isValid(); }

    QIconEngine *clone() const override { return new TSvgIconEngine(FData); }
    QString key() const override { return QStringLiteral("velmora-svg"); }

private:
    QByteArray FData;
    std::unique_ptr<QSvgRenderer> FRenderer;
};

} // namespace

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
    if (auto svg = std::make_unique<TSvgIconEngine>(data); svg->IsValid()) {
        setIcon(QIcon(svg.release()));
        return true;
    }
    QPixmap picture;
    if (!picture.loadFromData(data))
        qCWarning(lcVcl) << objectName() << ": the icon's picture cannot be read";
    else
        setIcon(QIcon(picture));
    return true;
}
