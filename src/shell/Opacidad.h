// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>

class QWidget;

// Transparency level of a window: 0 is opaque, 255 invisible. The window keeps
// receiving input at every level, so a level of 255 leaves it present (the tray
// menu can still bring it back).
class TOpacyClass
{
public:
    // The window is only referred to; the level starts at 0 and nothing is
    // applied until Nivel is written.
    explicit TOpacyClass(QWidget *aMainForm);

    // Sets the level to 153 (60 % transparency) without touching the window.
    int DefaultValue();

    int Nivel() const { return FNivel; }
    // Stores the level and applies it: window alpha = 255 - the level. A level
    // outside 0..255 is taken as DefaultNivel. Nothing happens to a window that
    // has already been destroyed.
    void SetNivel(int value);

    static constexpr int DefaultNivel = 153;

    // The window alpha (255 = opaque) that a level gives.
    static int AlphaForNivel(int nivel);
    // The level itself when it lies in 0..255, else DefaultNivel.
    static int ValidNivel(int nivel);

private:
    QPointer<QWidget> FMainForm;
    int FNivel = 0;
};
