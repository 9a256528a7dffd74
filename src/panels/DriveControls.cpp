// SPDX-License-Identifier: MIT
#include "panels/DriveControls.h"

#include <QCoreApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QSvgRenderer>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcPanels)

TCaptionPanel::TCaptionPanel(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
}

void TCaptionPanel::SetCaption(const QString &caption)
{
    if (caption == FCaption)
        return;
    FCaption = caption;
    update();
}

void TCaptionPanel::SetSideRoom(int pixels)
{
    FSideRoom = std::max(0, pixels);
    update();
}

QString TCaptionPanel::ShownCaption() const
{
    const int room = std::max(0, contentsRect().width() - 2 * FSideRoom);
    return fontMetrics().elidedText(FCaption, Qt::ElideMiddle, room, Qt::TextSingleLine);
}

void TCaptionPanel::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (FCaption.isEmpty())
        return;
    const QString shown = ShownCaption();
    // What the title shows when that changed: a test sees it without
    // reading pixels.
    if (shown != FPainted) {
        FPainted = shown;
        qCDebug(lcPanels).noquote() << "title painted:" << shown;
    }
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), Qt::AlignCenter | Qt::TextSingleLine, shown);
}

TSvgImage::TSvgImage(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

TSvgImage::~TSvgImage() = default;

namespace {

// The parsed pictures of the resources, owned by the application.
QSvgRenderer *SharedResourceRenderer(const QString &path)
{
    static QHash<QString, QPointer<QSvgRenderer>> renderers;
    QPointer<QSvgRenderer> &shared = renderers[path];
    if (!shared) {
        auto renderer = std::make_unique<QSvgRenderer>(path, QCoreApplication::instance());
        if (!renderer->isValid())
            return nullptr;
        shared = renderer.release();
    }
    return shared;
}

} // namespace

void TSvgImage::SetPicture(const QString &path)
{
    FPicture = path;
    FRenderer.clear();
    FOwnRenderer.reset();
    if (path.startsWith(QLatin1String(":/")) && QCoreApplication::instance()) {
        FRenderer = SharedResourceRenderer(path);
    } else if (!path.isEmpty()) {
        auto renderer = std::make_unique<QSvgRenderer>(path);
        if (renderer->isValid()) {
            FOwnRenderer = std::move(renderer);
            FRenderer = FOwnRenderer.get();
        }
    }
    update();
}

bool TSvgImage::HasPicture() const
{
    return FRenderer != nullptr;
}

QRectF TSvgImage::PictureRect() const
{
    if (!FRenderer)
        return {};
    QSizeF size = FRenderer->defaultSize();
    if (size.isEmpty())
        size = FRenderer->viewBoxF().size();
    if (size.isEmpty())
        return {};
    if (size.width() > width() || size.height() > height())
        size.scale(QSizeF(width(), height()), Qt::KeepAspectRatio);
    return QRectF(QPointF((width() - size.width()) / 2.0, (height() - size.height()) / 2.0), size);
}

void TSvgImage::paintEvent(QPaintEvent *)
{
    if (!FRenderer)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    FRenderer->render(&painter, PictureRect());
}

TLineShape::TLineShape(QColor pen, QWidget *parent) : QWidget(parent), FPen(pen) {}

void TLineShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), 1), FPen);
}

TStateProgressBar::TStateProgressBar(QColor barColor, QWidget *parent) : QProgressBar(parent), FBarColor(barColor)
{
    setTextVisible(false);
    ApplyStyle();
}

void TStateProgressBar::SetState(TState state)
{
    if (state == FState)
        return;
    FState = state;
    ApplyStyle();
}

QColor TStateProgressBar::CurrentBarColor() const
{
    return FState == pbsError ? QColor(Qt::red) : FBarColor;
}

void TStateProgressBar::ApplyStyle()
{
    // Only the bar and a thin border: the client area shows what lies behind
    // it, as the window's visual style leaves it unpainted.
    setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid palette(mid); background: transparent; }"
                                 "QProgressBar::chunk { background-color: %1; }")
                      .arg(CurrentBarColor().name()));
}
