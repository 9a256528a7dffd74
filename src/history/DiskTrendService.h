// SPDX-License-Identifier: MIT
#pragma once

// Velmora_DiskTrend of this machine, answered from its drive history.

#include "history/DriveTrend.h"
#include "wbem/DiskTrendClass.h"
#include "wbem/WbemService.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace history {

// How recently a drive must have been seen to be listed: a drive the widget
// no longer shows (unmounted, gone) drops out after this.
inline constexpr std::int64_t kTrendListedSeconds = 86400;

// The class's values of one trend. FillRate only with enough history;
// FullIn only when filling.
platform::DiskTrendValues DiskTrendValuesOf(const DriveTrend &trend);

// The object texts a query gives over the history at path (read-only, never
// changed; a history that is not there, or not readable, gives none). now:
// seconds since the epoch. Throws WbemError for a query that is not valid
// for the class.
std::vector<std::string> QueryDiskTrends(const std::string &wql, const std::string &path, std::int64_t now);

// Wraps a locator so that a query for Velmora_DiskTrend on this machine is
// answered from the history at path (empty: HistoryRecorder::DefaultPath());
// every other query, and every other host (a Prometheus server answers the
// class itself), goes to the wrapped locator.
std::unique_ptr<platform::WbemLocator> WithDiskTrends(std::unique_ptr<platform::WbemLocator> inner,
                                                      std::string path = {});

} // namespace history
