// SPDX-License-Identifier: MIT
#pragma once

// Velmora_DiskTrend: when a drive will be full, as a class of the drive
// query, so that one desktop (its drive history) and a fleet (a Prometheus
// server's own history) answer the same WQL:
//
//   SELECT Name, FullIn FROM Velmora_DiskTrend WHERE FullIn < 86400
//
// Properties (Windows' spelling, in the order written):
//   FillRate   sint64  bytes per hour, positive when filling, negative when
//                      space is freed; absent without enough history
//   FreeSpace  uint64  bytes a user can write, the newest figure
//   FullIn     uint64  seconds until full; absent when not filling or
//                      without enough history
//   Name       string  the drive (key)
//   Samples    uint32  points of history the trend was worked out from
//   Since      datetime the oldest of them (UTC, CIM DATETIME text)
//   Size       uint64  bytes in all
//   SystemName string  the machine, for a fleet (absent for this machine)
//
// Plain C++ without system calls: the objects' values come from the caller.

#include "wbem/MofText.h"
#include "wbem/Wql.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr const char *kDiskTrendClass = "Velmora_DiskTrend";

struct DiskTrendValues
{
    std::string name;
    std::string systemName; // empty for this machine
    std::uint64_t freeBytes = 0;
    std::uint64_t sizeBytes = 0;
    std::optional<std::int64_t> fillRatePerHour;
    std::optional<std::uint64_t> fullInSeconds;
    std::uint64_t samples = 0;
    std::int64_t since = 0; // seconds since the epoch; 0 leaves Since out
};

std::vector<MofProperty> DiskTrendProperties(const DiskTrendValues &values);

// True when the query's class is Velmora_DiskTrend (any letter case); false
// for another class and for a query that does not parse (whose error is the
// other class's to give).
bool IsDiskTrendQuery(const std::string &wql);

// Parses a query for the class; a syntax error or a property the class does
// not have gives "Invalid query" (WbemError).
WqlQuery ParseDiskTrendQuery(const std::string &wql);

// WHERE filters, a property list keeps the named properties plus the key
// Name (and SystemName for a fleet). Returns the object texts.
std::vector<std::string> RenderDiskTrends(const WqlQuery &query, const std::vector<DiskTrendValues> &objects);

// A time as CIM DATETIME text in UTC: "20261211063000.000000+000".
std::string CimDateTime(std::int64_t secondsSinceEpoch);

} // namespace platform
