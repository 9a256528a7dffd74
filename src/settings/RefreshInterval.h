// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <array>

// The refresh intervals the widget offers, in seconds: the items of its menu.
namespace RefreshInterval {

inline constexpr std::array<qint32, 5> Allowed{5, 10, 15, 30, 60};

// The allowed interval nearest to ASeconds (the shorter of two as near):
// a value written by hand into the settings file (Intervalo=1, 0, 3600)
// runs at an interval the menu shows and the file keeps.
qint32 Nearest(qint32 ASeconds);

} // namespace RefreshInterval
