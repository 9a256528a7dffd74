// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>
#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QWidget>

#include <memory>

class QSvgRenderer;

// The small controls a drive panel is built from. They keep the looks of the
// panel's original controls (a captioned panel, a picture box, a one-pixel
// line, a progress bar with an error state) on top of Qt's widgets.

// A panel whose caption is drawn centred in it, both ways, in its font. A
// caption wider than the panel is cut in the middle ("Disco local
// (/mnt/…/python) - ext4"): the start and the end, which tell drives apart,
// stay visible. Caption() stays the whole text.
class TCaptionPanel : public QFrame
{
    Q_OBJECT

public:
    explicit TCaptionPanel(QWidget *parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString &caption);

    // Pixels kept free at each side of the caption (for a mark drawn over
    // the panel's edge); the caption stays centred in what is left.
    void SetSideRoom(int pixels);
    // The caption as it is painted at the panel's width and font.
    QString ShownCaption() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString FCaption;
    int FSideRoom = 0;
    QString FPainted;
};

// A transparent picture box showing an SVG picture centred in it at the size
// the SVG declares (its width and height), scaled down proportionally when
// that is larger than the box, never scaled up. The picture is painted as
// vectors at the device's pixel ratio, so it stays sharp on high-density
// screens.
class TSvgImage : public QWidget
{
    Q_OBJECT

public:
    explicit TSvgImage(QWidget *parent = nullptr);
    ~TSvgImage() override;

    // Loads the SVG at path (a resource path such as ":/drives/hdd.svg"); an
    // empty path or an unreadable file shows nothing. Picture() returns the
    // path last set either way.
    void SetPicture(const QString &path);
    QString Picture() const { return FPicture; }
    // True when the current picture was read as a valid SVG.
    bool HasPicture() const;
    // The rectangle the picture is painted into, in widget coordinates; empty
    // without a picture.
    QRectF PictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString FPicture;
    // A picture from the resources is parsed once and shared by every image
    // that shows it (they never change while the program runs; a rebuild
    // with many drives would parse the same few files once per panel). One
    // from a file is this image's own.
    QPointer<QSvgRenderer> FRenderer;
    std::unique_ptr<QSvgRenderer> FOwnRenderer;
};

// A horizontal line of one pixel in the pen colour, filling its width.
class TLineShape : public QWidget
{
    Q_OBJECT

public:
    explicit TLineShape(QColor pen, QWidget *parent = nullptr);
    QColor Pen() const { return FPen; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor FPen;
};

// A smooth progress bar without text whose bar is painted in its bar colour,
// or red while it is in the error state.
class TStateProgressBar : public QProgressBar
{
    Q_OBJECT

public:
    enum TState : quint8 { pbsNormal, pbsError };

    explicit TStateProgressBar(QColor barColor, QWidget *parent = nullptr);

    TState State() const { return FState; }
    void SetState(TState state);
    QColor BarColor() const { return FBarColor; }
    // The colour the bar is painted in now.
    QColor CurrentBarColor() const;

private:
    void ApplyStyle();

    QColor FBarColor;
    TState FState = pbsNormal;
};
