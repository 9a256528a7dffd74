// SPDX-License-Identifier: MIT
#include "shell/Opacidad.h"

#include "platform/WindowStyle.h"
#include "shell/FormUtils.h"

#include <QWidget>

#include <cstdint>

TOpacyClass::TOpacyClass(QWidget *aMainForm)
    : FMainForm(aMainForm)
{
}

int TOpacyClass::DefaultValue()
{
    FNivel = DefaultNivel;
    return FNivel;
}

int TOpacyClass::AlphaForNivel(int nivel)
{
    // Byte arithmetic, as the level has always been applied: only the low
    // eight bits count (C++20 defines the conversion as modulo 256).
    return 255 - static_cast<std::uint8_t>(nivel);
}

void TOpacyClass::SetNivel(int value)
{
    FNivel = value;
    if (!FMainForm)
        return;
    // Qt applies the opacity to the native window itself (the layered-window
    // alpha on Windows, _NET_WM_WINDOW_OPACITY on X11) and again whenever the
    // native window is created later, so there is no blending to switch off
    // and on around the change. alpha / 255.0 survives QWidget's byte storage
    // (it multiplies by 255 and truncates) exactly for every alpha.
    FMainForm->setWindowOpacity(AlphaForNivel(value) / 255.0);
    // Qt's xcb platform only buffers the property change; without other X
    // traffic (a transparency chosen from the tray menu) it would reach the
    // compositor at some later repaint.
    platform::FlushWindowSystem(FormUtils::NativeDisplay());
}
