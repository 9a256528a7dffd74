// SPDX-License-Identifier: MIT
#pragma once

#include "analysis/HistoryChartData.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>

class QButtonGroup;
class QToolButton;

// The used space of one drive over 24 hours, 30 days or 90 days (a selector
// above the chart), with the forecast line continued to where the drive is
// full while it fills. Sizes are written as the drive's panel writes them
// ("45 GB", "943 MB"); every text is a program constant, read when painted,
// so that the chart follows the language switch (a LanguageChange event, or
// Retranslate from the window that switched, repaints it).
//
// The chart draws what it is given: the window reads the history off its
// thread (ReadChartHistory) and hands it over with SetHistory.
class THistoryChart : public QWidget
{
    Q_OBJECT

public:
    explicit THistoryChart(QWidget *parent = nullptr);

    // The drive's history at now (seconds since the epoch).
    void SetHistory(analysis::ChartHistory history, std::int64_t now);
    void SetSpan(analysis::ChartSpan span);
    analysis::ChartSpan Span() const { return FSpan; }
    // What is drawn for the span chosen.
    const analysis::ChartData &Data() const { return FData; }

    // The selector's captions in the active language, and a repaint.
    void Retranslate();

    // Where the chart draws: the plot area inside its axes, and a point of
    // the data in it.
    QRectF PlotRect() const;
    QPointF ToPixel(std::int64_t time, std::uint64_t used) const;
    // The text shown in place of the chart when there is no history.
    static QString EmptyText();

    QSize sizeHint() const override;

signals:
    void SpanChanged(analysis::ChartSpan span);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void rebuild();

    analysis::ChartHistory FHistory;
    std::int64_t FNow = 0;
    analysis::ChartSpan FSpan = analysis::ChartSpan::Day;
    analysis::ChartData FData;
    QButtonGroup *FSelector = nullptr;
    QToolButton *FSpanButtons[3] = {};
};
