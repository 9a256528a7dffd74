// SPDX-License-Identifier: MIT
#pragma once

// The HTTP side of a Prometheus server's query API, over libcurl (opened on
// first use, see CurlLibrary.h: without it every function here throws
// PrometheusHttpError, Unreachable).

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

class PrometheusHttpError : public std::runtime_error
{
public:
    enum class Kind {
        Unreachable, // no connection, or no whole answer before the deadline
        Denied,      // HTTP 401 / 403
        Failed,      // any other HTTP status, or a transfer that broke off
    };
    PrometheusHttpError(Kind kind, const std::string &message) : std::runtime_error(message), m_kind(kind) {}
    Kind kind() const noexcept { return m_kind; }

private:
    Kind m_kind;
};

// A Prometheus server's address: an http:// or https:// URL, optionally with
// a path prefix ("https://mon.example.org/prometheus"). Throws
// std::invalid_argument for anything else, naming the address without its
// user or password.
class PrometheusEndpoint
{
public:
    explicit PrometheusEndpoint(const std::string &url);
    // Where instant queries go: the URL's path + "/api/v1/query".
    const std::string &QueryUrl() const { return m_queryUrl; }
    // The address as messages show it: without any user or password.
    const std::string &DisplayUrl() const { return m_displayUrl; }

private:
    std::string m_queryUrl;
    std::string m_displayUrl;
};

struct PrometheusLogin
{
    std::string user;     // empty: the login of ~/.netrc, if it has one
    std::string password; // empty: the password of ~/.netrc for that login
};

// Runs every query at once (one POST each) and waits for all answers up to
// one common deadline. Returns the bodies of HTTP 200 answers in the order of
// the queries. An answer other than 200 throws PrometheusHttpError with the
// server's words: for a JSON error body its "error" text, otherwise the
// first line of the body. Answers larger than maxBytes all together (after
// decompression) are refused.
std::vector<std::string> PostPrometheusQueries(const PrometheusEndpoint &endpoint, const PrometheusLogin &login,
                                               const std::vector<std::string> &queries,
                                               std::chrono::milliseconds deadline, std::size_t maxBytes);

} // namespace platform
