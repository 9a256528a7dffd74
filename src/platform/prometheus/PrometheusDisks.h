// SPDX-License-Identifier: MIT
#pragma once

// Win32_LogicalDisk objects made from a Prometheus server's answers, apart
// from fetching them: the PromQL asked, the JSON read, the series joined into
// one object per file system of each instance.
//
// Families asked, one request each:
//   node_filesystem_size_bytes, node_filesystem_avail_bytes     (node_exporter)
//   windows_logical_disk_size_bytes, windows_logical_disk_free_bytes (windows_exporter)
//   up, with the time of its last sample
// A file-system family is asked as "F or last_over_time(F[10m])": a series
// that is current comes with its metric name, one whose target stopped
// answering comes without it, holding its last value. The last values are
// kept for an instance that is failing (up = 0, or a stale up sample), so
// that its drives stay listed; a file system of a healthy instance that has
// only a last value has been unmounted and is left out.

#include "platform/prometheus/PrometheusAnswer.h"
#include "wbem/MofText.h"
#include "wbem/Wql.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class PrometheusFamily : int { NodeSize, NodeAvail, WindowsSize, WindowsFree, Up, NodeReadonly };
inline constexpr std::size_t kPrometheusFamilies = 6;

// The PromQL expression of a family; selector is the label matchers without
// braces ("" or instance=~"(?i)web1") that narrow every series asked.
std::string PrometheusFamilyQuery(PrometheusFamily family, const std::string &selector);

// The label matchers that a WHERE condition allows exactly: for each
// comparison "SystemName = 'x'" that the whole condition requires (one side
// of an AND, or the condition itself), instance=~"(?i)x" with x quoted as a
// regular expression (WQL compares text without regard to letter case).
// Everything else is evaluated on the objects afterwards. No selector
// (nullopt) when the condition requires a SystemName that is not UTF-8: no
// instance can have it (label values are UTF-8), so nothing matches.
std::optional<std::string> PrometheusSelector(const WqlCondition *where);

// What the failing state of an instance is measured against: an up sample
// older than this is stale. The age is counted on the server's own clock
// (the time at which it evaluated the query, which every sample of the
// answer carries), so a desktop whose clock is wrong judges no machine by it.
inline constexpr double kPrometheusStaleSeconds = 120;

// The objects, with every property that has a value (in the alphabetical
// order of Windows), grouped per instance: instances in text order, within
// one its file systems by mount point (or volume). Objects of a failing
// instance carry Status "No Contact" and the reason in ErrorDescription; the
// others Status "OK".
//
// A drive is named "instance:path". Where one instance is scraped by more
// than one job, each job's drives are its own: named "instance (job):path",
// with SystemName still the instance.
//
// A file system whose free space is larger than its size has no figures that
// can be shown: it comes without Size and FreeSpace, with Status "Error" and
// the figures in ErrorDescription.
std::vector<std::vector<MofProperty>>
BuildPrometheusDisks(const std::array<std::vector<PrometheusSample>, kPrometheusFamilies> &answers);

} // namespace platform
