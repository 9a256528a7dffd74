// SPDX-License-Identifier: MIT
#include "analysis/TreemapView.h"

#include "analysis/FileKinds.h"
#include "analysis/SizeText.h"
#include "analysis/TreemapLayout.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

TTreemapView::TTreemapView(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(200, 150);
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TTreemapView::SetItems(std::vector<TDriveAnalysis::TItem> items)
{
    // The selection follows its item by path.
    const std::string selected = FSelected >= 0 ? FItems[std::size_t(FSelected)].Path : std::string();
    FItems = std::move(items);
    FSelected = -1;
    if (!selected.empty())
        for (std::size_t i = 0; i < FItems.size(); ++i)
            if (FItems[i].Path == selected)
                FSelected = int(i);
    FFreshItems = true;
    Layout();
    update();
}

void TTreemapView::Select(int index)
{
    if (index < -1 || index >= int(FItems.size()))
        index = -1;
    if (index == FSelected)
        return;
    FSelected = index;
    update();
    emit SelectionChanged(index);
}

void TTreemapView::Layout()
{
    std::vector<std::uint64_t> sizes;
    sizes.reserve(FItems.size());
    for (const TDriveAnalysis::TItem &item : FItems)
        sizes.push_back(item.Size);
    FRects = SquarifiedLayout(sizes, QRectF(rect()).adjusted(1, 1, -1, -1));
}

int TTreemapView::ItemAt(const QPointF &pos) const
{
    for (std::size_t i = 0; i < FRects.size(); ++i)
        if (!FRects[i].isEmpty() && FRects[i].contains(pos))
            return int(i);
    return -1;
}

QRectF TTreemapView::ItemRect(int index) const
{
    return index >= 0 && std::size_t(index) < FRects.size() ? FRects[std::size_t(index)] : QRectF();
}

void TTreemapView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Layout();
}

void TTreemapView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QFontMetrics metrics = painter.fontMetrics();
    for (std::size_t i = 0; i < FItems.size() && i < FRects.size(); ++i) {
        const QRectF &r = FRects[i];
        if (r.width() < 1 || r.height() < 1)
            continue;
        const TDriveAnalysis::TItem &item = FItems[i];
        QColor color = item.Kind == TDriveAnalysis::TItem::TKind::Folder ? FileKindColor(TFileKind::Folder)
            : item.Kind == TDriveAnalysis::TItem::TKind::File            ? FileKindColor(FileKindOf(item.Name))
                                                                         : FileKindColor(TFileKind::Other);
        if (int(i) == FSelected)
            color = color.lighter(135);
        painter.fillRect(r, color);
        painter.setPen(QPen(palette().base().color(), 1));
        painter.drawRect(r);
        if (int(i) == FSelected) {
            painter.setPen(QPen(palette().highlight().color(), 3));
            painter.drawRect(r.adjusted(1.5, 1.5, -1.5, -1.5));
        }
        if (r.width() > 40 && r.height() > metrics.height() + 4) {
            painter.setPen(Qt::black);
            const QRectF text = r.adjusted(4, 2, -4, -2);
            QString label = metrics.elidedText(item.Name, Qt::ElideMiddle, int(text.width()));
            if (r.height() > 2 * metrics.height() + 4)
                label += QLatin1Char('\n') + SizeText(item.Size);
            // Names are shown as they are, never read as markup.
            painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, label);
        }
    }
    if (!FItems.empty()) {
        ++FPaintedWithItems;
        if (FFreshItems) {
            FFreshItems = false;
            emit Painted();
        }
    }
}

void TTreemapView::mousePressEvent(QMouseEvent *event)
{
    const int index = ItemAt(event->position());
    if (event->button() == Qt::RightButton) {
        Select(index);
        if (index >= 0)
            emit ContextRequested(index, event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton || index < 0)
        return;
    const TDriveAnalysis::TItem &item = FItems[std::size_t(index)];
    if (item.Kind == TDriveAnalysis::TItem::TKind::Folder && item.Known) {
        Select(index);
        emit FolderClicked(index);
    } else {
        Select(index);
    }
}

bool TTreemapView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int index = ItemAt(help->pos());
        if (index < 0) {
            QToolTip::hideText();
        } else {
            const TDriveAnalysis::TItem &item = FItems[std::size_t(index)];
            // Plain text: a name that looks like markup shows as written.
            const QString tip = (item.Name + QStringLiteral(" \u2014 ") + SizeText(item.Size)).toHtmlEscaped();
            QToolTip::showText(help->globalPos(),
                               QStringLiteral("<p style=\"white-space:pre\">") + tip + QStringLiteral("</p>"),
                               this);
        }
        return true;
    }
    return QWidget::event(event);
}
