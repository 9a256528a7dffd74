// SPDX-License-Identifier: MIT
#include "history/FillingNotice.h"

#include <unordered_set>

namespace history {

FillingLevel FillingLevelOf(const Forecast &fast, std::uint64_t freeBytes, std::uint64_t sizeBytes)
{
    if (fast.state != Forecast::State::Filling || sizeBytes == 0)
        return FillingLevel::None;
    const double share = static_cast<double>(freeBytes) / static_cast<double>(sizeBytes);
    if (fast.fullIn <= kUrgentFullIn && share < kUrgentFreeShare)
        return FillingLevel::Urgent;
    if (fast.fullIn <= kWarningFullIn && share < kWarningFreeShare)
        return FillingLevel::Warning;
    return FillingLevel::None;
}

std::vector<FillingNoticeWatch::Notice> FillingNoticeWatch::Update(std::int64_t now,
                                                                   const std::vector<Drive> &drives)
{
    if (now < m_last)
        m_states.clear();
    m_last = now;
    std::vector<Notice> notices;
    std::unordered_set<std::string> seen;
    for (const Drive &d : drives) {
        seen.insert(d.key);
        State &s = m_states[d.key];
        const auto track = [now](bool on, std::int64_t &since) {
            if (!on)
                since = -1;
            else if (since < 0)
                since = now;
        };
        track(d.level >= FillingLevel::Warning, s.warningSince);
        track(d.level >= FillingLevel::Urgent, s.urgentSince);
        track(d.level == FillingLevel::None, s.quietSince);
        if (s.quietSince >= 0 && now - s.quietSince >= m_hold)
            s.told = FillingLevel::None; // the episode is over
        FillingLevel due = FillingLevel::None;
        if (s.urgentSince >= 0 && now - s.urgentSince >= m_hold)
            due = FillingLevel::Urgent;
        else if (s.warningSince >= 0 && now - s.warningSince >= m_hold)
            due = FillingLevel::Warning;
        if (due > s.told) {
            s.told = due;
            notices.push_back(Notice{d.key, due});
        }
    }
    for (auto it = m_states.begin(); it != m_states.end();)
        it = seen.count(it->first) ? std::next(it) : m_states.erase(it);
    return notices;
}

} // namespace history
