// SPDX-License-Identifier: MIT
#pragma once

// A drive query of a Prometheus server from the requests to the object
// texts, under one deadline, and the answers kept for a caller that cannot
// wait for them.

#include "platform/prometheus/PrometheusHttp.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Runs the query on the calling thread: the requests, decompression, reading
// the answers and building the drives all end by one deadline, counted from
// the call, and take at most kMaxPrometheusAnswerBytes and
// kMaxPrometheusSeries of the server. Returns the object texts; throws
// WbemError (the codes of PrometheusWbemService.h).
std::vector<std::string> RunPrometheusQuery(const PrometheusEndpoint &endpoint, const PrometheusLogin &login,
                                            const std::string &wql, std::chrono::milliseconds deadline);

// The same on a worker thread, for a caller that waits at most `wait`:
//  - the query runs on a worker; one query of a server with the same login
//    and text is running at a time, and a call while it runs waits for that
//    one instead of starting another;
//  - an answer (texts or error) that comes within the wait is returned;
//  - otherwise the last answer that came for the same query (texts or its
//    error again), or, before the first one, a WbemError (0x800706BA) saying
//    that the server has not answered yet; a query running for longer than
//    the deadline gives a WbemError (0x800706BA) saying so.
// A worker never keeps the process alive, and holds nothing the process
// needs at its end.
std::shared_ptr<const std::vector<std::string>> AskPrometheus(const PrometheusEndpoint &endpoint,
                                                              const PrometheusLogin &login, const std::string &wql,
                                                              std::chrono::milliseconds wait,
                                                              std::chrono::milliseconds deadline);

// Workers started so far (for tests and diagnostics).
std::size_t PrometheusQueriesStarted();

// The first answer of a query that came after every caller had stopped
// waiting for it (a window that started with nothing to show): a
// descriptor that turns readable then, for a caller that wants to ask again
// at once instead of at its next refresh; -1 when it cannot be made. Later
// answers give no notice: they are what the next refresh shows anyway.
// AcknowledgePrometheusFirstAnswers() drains it.
int PrometheusFirstAnswerHandle();
void AcknowledgePrometheusFirstAnswers();

} // namespace platform
