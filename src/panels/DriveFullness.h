// SPDX-License-Identifier: MIT
#pragma once

#include "wbem/DriveType.h"

#include <QtGlobal>

#include <optional>

// How full a drive is, from its bytes: the one rule behind a panel's bar and
// everything that reports a drive as full, so that both always agree.
namespace DriveFullness {

// The bar's error state starts at this share of the drive in use.
inline constexpr int kFullPercent = 90;

// The share of the drive in use, in whole percent rounded down towards the
// free side; 0 for a drive of no size or one that reports more free than size.
inline int UsedPercent(quint64 freeBytes, quint64 sizeBytes)
{
    if (sizeBytes == 0 || freeBytes >= sizeBytes)
        return 0;
    // free * 100 overflows 64 bits from 184 PB on.
    const auto freePercent = static_cast<unsigned __int128>(freeBytes) * 100 / sizeBytes;
    return 100 - static_cast<int>(freePercent);
}

// A drive is full when it is of a known kind, gave both figures, and
// kFullPercent or more of it is in use. A drive without figures shows no bar.
inline bool IsDriveFull(platform::TDriveType kind, std::optional<quint64> freeBytes,
                        std::optional<quint64> sizeBytes)
{
    if (kind == platform::TDriveType::Unknown || !freeBytes || !sizeBytes)
        return false;
    return UsedPercent(*freeBytes, *sizeBytes) >= kFullPercent;
}

} // namespace DriveFullness
