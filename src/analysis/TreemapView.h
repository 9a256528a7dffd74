// SPDX-License-Identifier: MIT
#pragma once

#include "analysis/DriveAnalysis.h"

#include <QRectF>
#include <QWidget>

#include <vector>

// The items of one place as a squarified treemap drawn with QPainter:
// folders in one colour, files in their kind's, the rest grey, each named
// with its size where there is room. A left click on a folder asks to go
// down into it, on anything else selects it; a right click selects and asks
// for the commands.
class TTreemapView : public QWidget
{
    Q_OBJECT

public:
    explicit TTreemapView(QWidget *parent = nullptr);

    void SetItems(std::vector<TDriveAnalysis::TItem> items);
    const std::vector<TDriveAnalysis::TItem> &Items() const { return FItems; }
    // The selected item's index in Items(), -1 for none.
    int Selected() const { return FSelected; }
    void Select(int index);
    // The item under a point of the widget, -1 for none.
    int ItemAt(const QPointF &pos) const;
    QRectF ItemRect(int index) const;
    // How many times items were painted (the first one is the first partial
    // breakdown the user sees).
    int PaintedWithItems() const { return FPaintedWithItems; }

    QSize sizeHint() const override { return {640, 420}; }

signals:
    void FolderClicked(int index);
    void SelectionChanged(int index);
    void ContextRequested(int index, const QPoint &globalPos);
    // Items were painted for the first time since SetItems.
    void Painted();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void Layout();

    std::vector<TDriveAnalysis::TItem> FItems;
    std::vector<QRectF> FRects;
    int FSelected = -1;
    int FPaintedWithItems = 0;
    bool FFreshItems = false;
};
