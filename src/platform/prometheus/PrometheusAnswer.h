// SPDX-License-Identifier: MIT
#pragma once

// One answer of a Prometheus server's query API (/api/v1/query) whose result
// is an instant vector, read into samples under a budget: a number of series
// and a deadline that all answers of one query share.

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// An answer that is not what a Prometheus query API gives, or its error.
class PrometheusAnswerError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The deadline of the query passed while an answer was read.
class PrometheusDeadlineError : public PrometheusAnswerError
{
public:
    using PrometheusAnswerError::PrometheusAnswerError;
};

struct PrometheusSample
{
    // Sorted by name; the series' identity.
    std::vector<std::pair<std::string, std::string>> labels;
    double time = 0; // seconds since the epoch, as the server counts them
    double value = 0;

    const std::string *Label(std::string_view name) const;
};

// The most one query takes of a server, all its answers together: bytes
// after decompression, and series. A fleet of a thousand machines with ten
// file systems each is some 30000 series in 7 MiB; the bounds keep what one
// query holds in memory to some tens of MiB whatever a server sends.
inline constexpr std::size_t kMaxPrometheusAnswerBytes = 32u << 20;
inline constexpr std::size_t kMaxPrometheusSeries = 50000;

struct PrometheusBudget
{
    std::size_t series = kMaxPrometheusSeries; // still to be taken
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

// Parses the body of /api/v1/query whose result is an instant vector, taking
// its series from budget. "status":"error" gives PrometheusAnswerError with
// the server's errorType and error (made visible: VisibleText.h); anything
// that is not such an answer gives PrometheusAnswerError saying so, with the
// first words of the body. More series than the budget has left, or a body
// above kMaxPrometheusAnswerBytes, give PrometheusAnswerError naming the
// bound; the deadline passing while the body is read gives
// PrometheusDeadlineError. The body is read as a stream: what it holds
// beyond the samples is passed over, not kept.
std::vector<PrometheusSample> ParsePrometheusVector(std::string_view body, PrometheusBudget &budget);
// The same with a budget of its own.
std::vector<PrometheusSample> ParsePrometheusVector(std::string_view body);

} // namespace platform
