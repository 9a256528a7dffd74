// SPDX-License-Identifier: MIT
#pragma once

// A Prometheus query API of the test's own on 127.0.0.1: it answers each
// POST /api/v1/query with what the test's handler gives for the PromQL
// asked, and can answer late, drip its answer byte by byte or send it gzip-
// compressed. For what a real server never sends: hostile, huge, slow or
// odd answers.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora::test {

struct FakeReply
{
    int status = 200;
    std::string body;
    bool gzip = false;                  // sent gzip-compressed (compressed here, unless it is already)
    bool compressed = false;            // body is gzip already
    std::chrono::milliseconds delay{0}; // before the first byte of the answer
    std::chrono::milliseconds drip{0};  // > 0: the body one byte at a time, this far apart
};

class FakePrometheus
{
public:
    using Handler = std::function<FakeReply(const std::string &promql)>;

    explicit FakePrometheus(Handler handler);
    ~FakePrometheus();
    FakePrometheus(const FakePrometheus &) = delete;
    FakePrometheus &operator=(const FakePrometheus &) = delete;

    void SetHandler(Handler handler);
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    std::string Instance() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Requests answered or being answered so far.
    std::size_t Requests() const { return m_requests.load(); }

private:
    void serve();
    void answer(int socket);

    Handler m_handler;
    mutable std::mutex m_mutex;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_requests{0};
    std::thread m_acceptor;
    std::vector<std::thread> m_connections;
};

// One series of an instant vector.
struct FakeSeries
{
    std::map<std::string, std::string> labels;
    std::string value;
};

// The JSON of a successful instant query; time: the server's evaluation
// time, which every sample carries.
std::string VectorAnswer(const std::vector<FakeSeries> &series, double time);

// The family a PromQL text of the drive query asks for: "size", "avail",
// "readonly", "up", "windows" (either Windows family), or "" for anything
// else.
std::string FamilyOf(const std::string &promql);

// gzip (RFC 1952) of text, as a server with Content-Encoding: gzip sends it.
std::string Gzip(const std::string &text);
// gzip of `times` copies of chunk, made without holding them all.
std::string GzipRepeated(const std::string &chunk, std::size_t times);

// The seconds since the epoch of this machine's clock.
double NowSeconds();

// A fleet: `instances` node_exporters ("host<i>:9100", job "node") with
// `fileSystems` ext4 file systems each ("/", "/fs1", ...), sizes 1000 x
// (fs + 1) bytes and half of each free, all up and sampled a second before
// the server's time. Each answer is made at its first request and then sent
// as it is.
FakePrometheus::Handler FleetHandler(int instances, int fileSystems);

} // namespace velmora::test
