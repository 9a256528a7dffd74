// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <array>

// The refresh intervals the widget offers, in seconds: the items of its menu.
namespace RefreshInterval {

inline constexpr std::array<qint32, 5> Allowed{5, 10, 15, 30, 60};

// Whether the menu offers ASeconds. A value written by hand into the settings
// file (Intervalo=1, 0, 3600) is kept as the option, while the timer keeps
// the interval it runs at; the widget says so on stderr.
bool Offered(qint32 ASeconds);

} // namespace RefreshInterval
