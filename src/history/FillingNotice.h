// SPDX-License-Identifier: MIT
#pragma once

// When to tell the user that a drive is filling fast. The levels are those
// fleet monitoring has settled on (node_exporter's mixin): a warning when the
// last 6 hours say the drive is full within a day and less than 40 % of it
// is free, urgent within 4 hours and under 20 % free. A level must hold for
// 30 minutes before it is told, so that a burst that stops soon stays
// quiet; each level is told once per episode, and the episode ends when the
// drive has been out of both levels for 30 minutes.

#include "history/Forecast.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace history {

enum class FillingLevel { None, Warning, Urgent };

inline constexpr double kWarningFullIn = 24 * 3600.0;
inline constexpr double kWarningFreeShare = 0.40;
inline constexpr double kUrgentFullIn = 4 * 3600.0;
inline constexpr double kUrgentFreeShare = 0.20;
inline constexpr std::int64_t kFillingHoldSeconds = 30 * 60;

// The level the fast window's forecast calls for.
FillingLevel FillingLevelOf(const Forecast &fast, std::uint64_t freeBytes, std::uint64_t sizeBytes);

class FillingNoticeWatch
{
public:
    // hold: how long a level must hold before it is told, and the quiet
    // that ends an episode.
    explicit FillingNoticeWatch(std::int64_t hold = kFillingHoldSeconds) : m_hold(hold) {}

    struct Drive
    {
        std::string key;
        FillingLevel level = FillingLevel::None;
    };
    struct Notice
    {
        std::string key;
        FillingLevel level = FillingLevel::None;
    };

    // The drives of one refresh; returns what to tell now, in the order
    // given. A drive that is not in the list is forgotten. now: seconds,
    // from any clock that does not go back (a clock that does restarts the
    // holds).
    std::vector<Notice> Update(std::int64_t now, const std::vector<Drive> &drives);

private:
    struct State
    {
        std::int64_t warningSince = -1; // level >= Warning since then; -1: not now
        std::int64_t urgentSince = -1;
        std::int64_t quietSince = -1; // level None since then
        FillingLevel told = FillingLevel::None;
    };
    std::unordered_map<std::string, State> m_states;
    std::int64_t m_last = 0;
    std::int64_t m_hold;
};

} // namespace history
