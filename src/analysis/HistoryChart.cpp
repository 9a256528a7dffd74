// SPDX-License-Identifier: MIT
#include "analysis/HistoryChart.h"

#include "localization/ConstantText.h"
#include "panels/frDisco.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using analysis::ChartSpan;

constexpr ChartSpan kSpans[] = {ChartSpan::Day, ChartSpan::Month, ChartSpan::Quarter};
const char *const kSpanConstants[] = {"msgHistoria24Horas", "msgHistoria30Dias", "msgHistoria90Dias"};

// Room around the plot for the axis texts.
constexpr int kLeft = 64;
constexpr int kRight = 12;
constexpr int kBottom = 22;
constexpr int kTopGap = 8;

} // namespace

THistoryChart::THistoryChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("HistoryChart"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    auto *row = new QHBoxLayout;
    FSelector = new QButtonGroup(this);
    FSelector->setExclusive(true);
    for (int i = 0; i < 3; ++i) {
        FSpanButtons[i] = new QToolButton(this);
        FSpanButtons[i]->setCheckable(true);
        FSpanButtons[i]->setAutoRaise(true);
        FSelector->addButton(FSpanButtons[i], i);
        row->addWidget(FSpanButtons[i]);
    }
    row->addStretch(1);
    column->addLayout(row);
    column->addStretch(1);
    FSpanButtons[0]->setChecked(true);
    connect(FSelector, &QButtonGroup::idClicked, this, [this](int id) { SetSpan(kSpans[std::clamp(id, 0, 2)]); });
    Retranslate();
    rebuild();
}

void THistoryChart::SetHistory(analysis::ChartHistory history, std::int64_t now)
{
    FHistory = std::move(history);
    FNow = now;
    rebuild();
}

void THistoryChart::SetSpan(analysis::ChartSpan span)
{
    const int index = static_cast<int>(span);
    if (FSpanButtons[index] && !FSpanButtons[index]->isChecked())
        FSpanButtons[index]->setChecked(true);
    if (span == FSpan)
        return;
    FSpan = span;
    rebuild();
    emit SpanChanged(span);
}

void THistoryChart::rebuild()
{
    FData = analysis::ChartDataOf(FHistory, FNow, FSpan);
    update();
}

void THistoryChart::Retranslate()
{
    for (int i = 0; i < 3; ++i)
        FSpanButtons[i]->setText(ConstantText(QString::fromLatin1(kSpanConstants[i])));
    update();
}

QString THistoryChart::EmptyText()
{
    return ConstantText(QStringLiteral("msgHistoriaVacia"));
}

void THistoryChart::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        Retranslate();
    QWidget::changeEvent(event);
}

QSize THistoryChart::sizeHint() const
{
    return {420, 220};
}

QRectF THistoryChart::PlotRect() const
{
    const int top = (FSpanButtons[0] ? FSpanButtons[0]->geometry().bottom() : 0) + kTopGap;
    return QRectF(kLeft, top, std::max(1, width() - kLeft - kRight), std::max(1, height() - top - kBottom));
}

QPointF THistoryChart::ToPixel(std::int64_t time, std::uint64_t used) const
{
    const QRectF plot = PlotRect();
    const double span = static_cast<double>(std::max<std::int64_t>(1, FData.to - FData.from));
    const double x = plot.left() + plot.width() * static_cast<double>(time - FData.from) / span;
    const double full = static_cast<double>(std::max<std::uint64_t>(1, FData.sizeBytes));
    const double y = plot.bottom() - plot.height() * std::min(1.0, static_cast<double>(used) / full);
    return {x, y};
}

void THistoryChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();
    const QRectF plot = PlotRect();
    p.fillRect(rect(), pal.color(QPalette::Window));

    if (FData.used.empty() || FData.sizeBytes == 0) {
        p.setPen(pal.color(QPalette::WindowText));
        p.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap, EmptyText());
        return;
    }

    p.fillRect(plot, pal.color(QPalette::Base));
    const QColor text = pal.color(QPalette::WindowText);
    QColor grid = text;
    grid.setAlpha(50);
    const QFontMetrics metrics(font());

    // The size axis: empty, half and full, in the panel's unit.
    const TMedida unit = TFrameDrive::UnitFor(FData.sizeBytes);
    for (const std::uint64_t level : {std::uint64_t(0), FData.sizeBytes / 2, FData.sizeBytes}) {
        const double y = ToPixel(FData.from, level).y();
        p.setPen(QPen(grid, 1));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(text);
        p.drawText(QRectF(0, y - metrics.height() / 2.0, kLeft - 6, metrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, TFrameDrive::FigureText(level, unit));
    }
    // The full line, with its name.
    const QColor fullColor(200, 40, 40);
    const double fullY = ToPixel(FData.from, FData.sizeBytes).y();
    p.setPen(QPen(fullColor, 1.5, Qt::DashLine));
    p.drawLine(QPointF(plot.left(), fullY), QPointF(plot.right(), fullY));
    p.drawText(QRectF(plot.left() + 4, fullY + 2, plot.width() - 8, metrics.height()),
               Qt::AlignLeft | Qt::AlignTop, ConstantText(QStringLiteral("msgHistoriaLleno")));

    // The time axis: its ends and now, in the locale's short form.
    const QLocale locale;
    const auto timeText = [&](std::int64_t t) {
        const QDateTime when = QDateTime::fromSecsSinceEpoch(t);
        return FSpan == ChartSpan::Day ? locale.toString(when.time(), QLocale::ShortFormat)
                                       : locale.toString(when.date(), QLocale::ShortFormat);
    };
    p.setPen(text);
    const double textTop = plot.bottom() + 3;
    p.drawText(QRectF(plot.left(), textTop, plot.width() / 2, metrics.height()), Qt::AlignLeft,
               timeText(FData.from));
    const double nowX = ToPixel(FData.now, 0).x();
    if (FData.to > FData.now) {
        p.setPen(QPen(grid, 1, Qt::DotLine));
        p.drawLine(QPointF(nowX, plot.top()), QPointF(nowX, plot.bottom()));
        p.setPen(text);
    }
    p.drawText(QRectF(plot.left() + plot.width() / 2, textTop, plot.width() / 2, metrics.height()), Qt::AlignRight,
               timeText(FData.to));

    // The used space: a filled area under its line.
    const QColor usedColor = pal.color(QPalette::Highlight);
    QPainterPath line;
    line.moveTo(ToPixel(FData.used.front().time, FData.used.front().used));
    for (const analysis::ChartPoint &point : FData.used)
        line.lineTo(ToPixel(point.time, point.used));
    QPainterPath area = line;
    area.lineTo(ToPixel(FData.used.back().time, 0));
    area.lineTo(ToPixel(FData.used.front().time, 0));
    area.closeSubpath();
    QColor fill = usedColor;
    fill.setAlpha(60);
    p.fillPath(area, fill);
    p.setPen(QPen(usedColor, 2));
    p.drawPath(line);

    // The forecast line, and what it says.
    if (FData.forecastFrom && FData.forecastTo) {
        const QPointF from = ToPixel(FData.forecastFrom->time, FData.forecastFrom->used);
        const QPointF to = ToPixel(FData.forecastTo->time, FData.forecastTo->used);
        p.setPen(QPen(fullColor, 2, Qt::DashLine));
        p.drawLine(from, to);
        p.setPen(fullColor);
        p.drawText(QRectF(plot.left(), plot.top(), plot.width() - 4, metrics.height()), Qt::AlignRight,
                   ConstantText(QStringLiteral("msgHistoriaPrevision")));
    }
}
