// SPDX-License-Identifier: MIT
#include "shell/Opacidad.h"

#include "platform/WindowStyle.h"
#include "shell/FormUtils.h"

#include <QWidget>

TOpacyClass::TOpacyClass(QWidget *aMainForm) : FMainForm(aMainForm) {}

int TOpacyClass::DefaultValue()
{
    FNivel = DefaultNivel;
    return FNivel;
}

int TOpacyClass::ValidNivel(int nivel)
{
    // A hand-edited level outside the byte range would otherwise wrap (-1 to
    // an invisible window while the menu shows no level at all).
    return nivel >= 0 && nivel <= 255 ? nivel : DefaultNivel;
}

int TOpacyClass::AlphaForNivel(int nivel)
{
    return 255 - ValidNivel(nivel);
}

void TOpacyClass::SetNivel(int value)
{
    FNivel = ValidNivel(value);
    if (!FMainForm)
        return;
    // Qt applies the opacity to the native window itself (the layered-window
    // alpha on Windows, _NET_WM_WINDOW_OPACITY on X11) and again whenever the
    // native window is created later, so there is no blending to switch off
    // and on around the change. alpha / 255.0 survives QWidget's byte storage
    // (it multiplies by 255 and truncates) exactly for every alpha.
    FMainForm->setWindowOpacity(AlphaForNivel(FNivel) / 255.0);
    // Qt's xcb platform only buffers the property change; without other X
    // traffic (a transparency chosen from the tray menu) it would reach the
    // compositor at some later repaint.
    platform::FlushWindowSystem(FormUtils::NativeDisplay());
}
