// SPDX-License-Identifier: MIT
#pragma once

// Debian's prometheus and prometheus-node-exporter, started for one test on
// 127.0.0.1 with free ports and a 1 s scrape interval, stopped by it.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace velmora::test {

// One child process; stopped (TERM, then KILL) when destroyed.
class ChildProcess
{
public:
    ChildProcess() = default;
    ChildProcess(const std::vector<std::string> &argv, const std::string &logFile);
    ChildProcess(ChildProcess &&other) noexcept;
    ChildProcess &operator=(ChildProcess &&other) noexcept;
    ~ChildProcess();
    void Stop();
    bool Running() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
};

int FreeTcpPort();

// The result of a command run through the shell.
struct CommandResult
{
    int exitCode = -1;
    std::string out, err;
};
std::string ShellQuote(const std::string &text);
// Runs command (already quoted) with the given stdin text.
CommandResult RunCommand(const std::string &command, const std::string &stdinText = {});

class PrometheusServers
{
public:
    // Empty when everything needed is installed; otherwise what is missing.
    static std::string Missing();

    // authUser/authPassword: when set, Prometheus asks for HTTP Basic
    // credentials (its --web.config.file with a bcrypt hash). secondJob:
    // when set, a second job of that name scrapes the textfile exporter too.
    explicit PrometheusServers(const std::string &authUser = {}, const std::string &authPassword = {},
                               const std::string &secondJob = {});
    ~PrometheusServers();

    // Writes a textfile collector file (OpenMetrics text) served by the
    // second exporter.
    void WriteTextfile(const std::string &name, const std::string &content);

    void StopTextfileExporter() { m_textfile.Stop(); }
    void StartPrometheus();
    void StopPrometheus();
    // Waits until both exporters' file systems are in Prometheus (true), or
    // the timeout passes.
    bool WaitForExporters(std::chrono::seconds timeout);

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_prometheusPort); }
    std::string NodeInstance() const { return "127.0.0.1:" + std::to_string(m_nodePort); }
    std::string TextfileInstance() const { return "127.0.0.1:" + std::to_string(m_textfilePort); }
    const std::string &Dir() const { return m_dir; }
    std::string Log() const;

private:
    std::string m_dir;
    std::string m_authUser, m_authPassword;
    int m_nodePort = 0, m_textfilePort = 0, m_prometheusPort = 0;
    ChildProcess m_node, m_textfile, m_prometheus;
};

} // namespace velmora::test
