// SPDX-License-Identifier: MIT
#pragma once

// Velmora_DiskTrend answered by a Prometheus server from its own history of
// the exporters' free space, over the same windows as this machine's
// forecast: the slope (deriv, the least-squares line that predict_linear
// extends) of the last 6 hours for filling fast, of the last 14 days for the
// long view; each only when the server's history reaches back 1 hour or 24
// hours. The drives are those Win32_LogicalDisk lists for the server (see
// PrometheusDisks.h); a read-only file system gets no rate.
//
// Unlike this machine's forecast, deriv is not robust to fill-then-delete:
// what the server answers is what fleet alerts use (predict_linear over 6
// hours), taken as it is.

#include "platform/prometheus/PrometheusDisks.h"
#include "wbem/DiskTrendClass.h"

#include <array>
#include <string>
#include <vector>

namespace platform {

enum class PrometheusTrendQuery : int { FastSlope, LongSlope, FastReach, LongReach, FastCount, LongCount, Since };
inline constexpr std::size_t kPrometheusTrendQueries = 7;

// The PromQL of one trend query over the free space of node_exporter and
// windows_exporter; selector as for PrometheusFamilyQuery.
std::string PrometheusTrendQueryText(PrometheusTrendQuery query, const std::string &selector);

// The trend of every drive the disk answers give.
std::vector<DiskTrendValues>
BuildPrometheusTrends(const std::array<std::vector<PrometheusSample>, kPrometheusFamilies> &disks,
                      const std::array<std::vector<PrometheusSample>, kPrometheusTrendQueries> &trends);

} // namespace platform
