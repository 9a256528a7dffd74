// SPDX-License-Identifier: MIT
#include "FakePrometheus.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace velmora::test {

namespace {

std::string jsonText(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", b);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string formDecode(const std::string &form)
{
    std::string out;
    for (std::size_t i = 0; i < form.size(); ++i) {
        if (form[i] == '+') {
            out += ' ';
        } else if (form[i] == '%' && i + 2 < form.size()) {
            out += static_cast<char>(std::stoi(form.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += form[i];
        }
    }
    return out;
}

bool sendAll(int socket, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(socket, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

FakePrometheus::FakePrometheus(Handler handler) : m_handler(std::move(handler))
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
        || ::listen(m_listen, 64) != 0 || ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len) != 0)
        throw std::runtime_error("the fake Prometheus cannot listen");
    m_port = ntohs(a.sin_port);
    m_acceptor = std::thread([this] { serve(); });
}

FakePrometheus::~FakePrometheus()
{
    m_stop = true;
    m_acceptor.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        connections.swap(m_connections);
    }
    for (std::thread &t : connections)
        t.join();
    ::close(m_listen);
}

void FakePrometheus::SetHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

void FakePrometheus::serve()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const int socket = ::accept(m_listen, nullptr, nullptr);
        if (socket < 0)
            continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_connections.emplace_back([this, socket] {
            answer(socket);
            ::close(socket);
        });
    }
}

void FakePrometheus::answer(int socket)
{
    // The request: headers, then a form of Content-Length bytes.
    std::string request;
    std::size_t headerEnd = std::string::npos;
    std::size_t length = 0;
    char buffer[4096];
    while (!m_stop) {
        if (headerEnd == std::string::npos && (headerEnd = request.find("\r\n\r\n")) != std::string::npos) {
            std::string lower;
            for (const char c : request.substr(0, headerEnd))
                lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (const std::size_t at = lower.find("content-length:"); at != std::string::npos)
                length = std::stoul(lower.substr(at + 15));
            headerEnd += 4;
        }
        if (headerEnd != std::string::npos && request.size() >= headerEnd + length)
            break;
        pollfd p{socket, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    if (m_stop)
        return;
    ++m_requests;
    std::string promql;
    const std::string form = request.substr(headerEnd, length);
    if (const std::size_t at = form.find("query="); at != std::string::npos)
        promql = formDecode(form.substr(at + 6, form.find('&', at) - at - 6));
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        handler = m_handler;
    }
    FakeReply reply = handler(promql);
    const auto wait = [this](std::chrono::milliseconds ms) {
        const auto end = std::chrono::steady_clock::now() + ms;
        while (!m_stop && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::min(ms, std::chrono::milliseconds(5)));
        return !m_stop;
    };
    if (!wait(reply.delay))
        return;
    if (reply.gzip && !reply.compressed)
        reply.body = Gzip(reply.body);
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " Fake\r\nContent-Type: application/json\r\n"
        + "Content-Length: " + std::to_string(reply.body.size()) + "\r\nConnection: close\r\n"
        + (reply.gzip ? "Content-Encoding: gzip\r\n" : "") + "\r\n";
    if (!sendAll(socket, head.data(), head.size()))
        return;
    if (reply.drip.count() == 0) {
        sendAll(socket, reply.body.data(), reply.body.size());
        return;
    }
    for (const char c : reply.body)
        if (!wait(reply.drip) || !sendAll(socket, &c, 1))
            return;
}

std::string VectorAnswer(const std::vector<FakeSeries> &series, double time)
{
    std::ostringstream out;
    out.precision(15);
    out << R"({"status":"success","data":{"resultType":"vector","result":[)";
    bool first = true;
    for (const FakeSeries &s : series) {
        out << (first ? "" : ",") << R"({"metric":{)";
        first = false;
        bool firstLabel = true;
        for (const auto &[name, value] : s.labels) {
            out << (firstLabel ? "" : ",") << jsonText(name) << ':' << jsonText(value);
            firstLabel = false;
        }
        out << R"(},"value":[)" << time << ',' << jsonText(s.value) << "]}";
    }
    out << "]}}";
    return out.str();
}

std::string FamilyOf(const std::string &promql)
{
    const auto starts = [&promql](const char *name) { return promql.rfind(name, 0) == 0; };
    if (starts("node_filesystem_size_bytes"))
        return "size";
    if (starts("node_filesystem_avail_bytes"))
        return "avail";
    if (starts("node_filesystem_readonly"))
        return "readonly";
    if (starts("windows_logical_disk_"))
        return "windows";
    if (starts("up{"))
        return "up";
    return {};
}

std::string Gzip(const std::string &text)
{
    return GzipRepeated(text, 1);
}

std::string GzipRepeated(const std::string &chunk, std::size_t times)
{
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out;
    char buffer[65536];
    int result = Z_OK;
    for (std::size_t i = 0; i < std::max<std::size_t>(times, 1); ++i) {
        const bool last = i + 1 >= times;
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(chunk.data()));
        z.avail_in = times == 0 ? 0 : static_cast<uInt>(chunk.size());
        // Without a flush all input is taken once output room is left;
        // at the finish, the stream has ended then.
        do {
            z.next_out = reinterpret_cast<Bytef *>(buffer);
            z.avail_out = sizeof buffer;
            result = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer, sizeof buffer - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate");
    return out;
}

double NowSeconds()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

FakePrometheus::Handler FleetHandler(int instances, int fileSystems)
{
    // The answers are made once, at the first request: a large fleet takes
    // the test longer to write than the query to read.
    struct Answers
    {
        std::mutex mutex;
        std::map<std::string, std::string> bodies;
    };
    auto answers = std::make_shared<Answers>();
    return [instances, fileSystems, answers](const std::string &promql) {
        const std::string family = FamilyOf(promql);
        std::lock_guard<std::mutex> lock(answers->mutex);
        if (const auto found = answers->bodies.find(family); found != answers->bodies.end())
            return FakeReply{200, found->second};
        const double now = NowSeconds();
        std::vector<FakeSeries> series;
        for (int i = 0; i < instances; ++i) {
            const std::string instance = "host" + std::to_string(i) + ":9100";
            if (family == "up") {
                series.push_back({{{"__name__", "up"}, {"instance", instance}, {"job", "node"}}, "1"});
                series.push_back({{{"instance", instance}, {"job", "node"}, {"velmora_sample_time", "1"}},
                                  std::to_string(static_cast<long long>(now) - 1)});
                continue;
            }
            if (family != "size" && family != "avail")
                continue;
            for (int fs = 0; fs < fileSystems; ++fs) {
                const long long size = 1000LL * (fs + 1);
                series.push_back(
                    {{{"__name__",
                       family == "size" ? "node_filesystem_size_bytes" : "node_filesystem_avail_bytes"},
                      {"device", "/dev/sd" + std::to_string(fs)},
                      {"fstype", "ext4"},
                      {"instance", instance},
                      {"job", "node"},
                      {"mountpoint", fs == 0 ? "/" : "/fs" + std::to_string(fs)}},
                     std::to_string(family == "size" ? size : size / 2)});
            }
        }
        return FakeReply{200, answers->bodies[family] = VectorAnswer(series, now)};
    };
}

} // namespace velmora::test
