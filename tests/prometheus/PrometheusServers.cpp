// SPDX-License-Identifier: MIT
#include "PrometheusServers.h"

#include "platform/WbemFactory.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace velmora::test {

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool onPath(const char *program)
{
    return RunCommand(std::string("command -v ") + program + " >/dev/null").exitCode == 0;
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string> &argv, const std::string &logFile)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    m_pid = ::fork();
    if (m_pid == 0) {
        const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        ::dup2(log, 1);
        ::dup2(log, 2);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
}

ChildProcess::ChildProcess(ChildProcess &&other) noexcept : m_pid(other.m_pid)
{
    other.m_pid = -1;
}

ChildProcess &ChildProcess::operator=(ChildProcess &&other) noexcept
{
    if (this != &other) {
        Stop();
        m_pid = other.m_pid;
        other.m_pid = -1;
    }
    return *this;
}

ChildProcess::~ChildProcess()
{
    Stop();
}

void ChildProcess::Stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

int FreeTcpPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
        || ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) != 0)
        throw std::runtime_error("no free port");
    ::close(s);
    return ntohs(a.sin_port);
}

std::string ShellQuote(const std::string &text)
{
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CommandResult RunCommand(const std::string &command, const std::string &stdinText)
{
    char dirTemplate[] = "/tmp/velmora-cmd-XXXXXX";
    const std::string dir = ::mkdtemp(dirTemplate);
    writeFile(dir + "/in", stdinText);
    const std::string full = "( " + command + " ) <" + dir + "/in >" + dir + "/out 2>" + dir + "/err";
    const int status = std::system(full.c_str());
    CommandResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(dir + "/out");
    r.err = readFile(dir + "/err");
    std::filesystem::remove_all(dir);
    return r;
}

std::string PrometheusServers::Missing()
{
    std::string missing;
    for (const char *p : {"prometheus", "prometheus-node-exporter", "htpasswd"})
        if (!onPath(p))
            missing += std::string(missing.empty() ? "" : ", ") + p;
    return missing;
}

PrometheusServers::PrometheusServers(const std::string &authUser, const std::string &authPassword,
                                     const std::string &secondJob)
    : m_authUser(authUser), m_authPassword(authPassword)
{
    char dirTemplate[] = "/tmp/velmora-prom-XXXXXX";
    m_dir = ::mkdtemp(dirTemplate);
    std::filesystem::create_directories(m_dir + "/textfile");
    std::filesystem::create_directories(m_dir + "/data");
    m_nodePort = FreeTcpPort();
    m_textfilePort = FreeTcpPort();
    m_prometheusPort = FreeTcpPort();
    // Every mount is listed, as this machine's own query sees them; the
    // rules that leave some out are the widget's.
    m_node = ChildProcess(
        {"prometheus-node-exporter", "--web.listen-address=127.0.0.1:" + std::to_string(m_nodePort),
         "--collector.disable-defaults", "--collector.filesystem",
         "--collector.filesystem.mount-points-exclude=^$", "--collector.filesystem.fs-types-exclude=^$"},
        m_dir + "/node.log");
    m_textfile = ChildProcess({"prometheus-node-exporter",
                               "--web.listen-address=127.0.0.1:" + std::to_string(m_textfilePort),
                               "--collector.disable-defaults", "--collector.textfile",
                               "--collector.textfile.directory=" + m_dir + "/textfile"},
                              m_dir + "/textfile.log");
    std::string config = "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                         "scrape_configs:\n  - job_name: node\n    static_configs:\n      - targets: ['"
        + NodeInstance() + "', '" + TextfileInstance() + "']\n";
    if (!secondJob.empty())
        config += "  - job_name: " + secondJob + "\n    static_configs:\n      - targets: ['" + TextfileInstance()
            + "']\n";
    writeFile(m_dir + "/prometheus.yml", config);
    if (!m_authUser.empty()) {
        // The cheapest bcrypt cost: the server checks the six requests of
        // each query, within its one second, also on a loaded machine.
        const CommandResult hash = RunCommand("htpasswd -nbBC 4 " + ShellQuote(m_authUser) + " "
                                              + ShellQuote(m_authPassword));
        const std::size_t colon = hash.out.find(':');
        if (hash.exitCode != 0 || colon == std::string::npos)
            throw std::runtime_error("htpasswd failed: " + hash.err);
        std::string bcrypt = hash.out.substr(colon + 1);
        bcrypt = bcrypt.substr(0, bcrypt.find_first_of("\r\n"));
        writeFile(m_dir + "/web.yml", "basic_auth_users:\n  " + m_authUser + ": '" + bcrypt + "'\n");
    }
    StartPrometheus();
}

PrometheusServers::~PrometheusServers()
{
    m_prometheus.Stop();
    m_node.Stop();
    m_textfile.Stop();
    std::filesystem::remove_all(m_dir);
}

void PrometheusServers::WriteTextfile(const std::string &name, const std::string &content)
{
    // Written aside and renamed, so the exporter never reads half a file.
    writeFile(m_dir + "/textfile/." + name, content);
    std::filesystem::rename(m_dir + "/textfile/." + name, m_dir + "/textfile/" + name);
}

void PrometheusServers::StartPrometheus()
{
    std::vector<std::string> argv = {"prometheus", "--config.file=" + m_dir + "/prometheus.yml",
                                     "--storage.tsdb.path=" + m_dir + "/data",
                                     "--web.listen-address=127.0.0.1:" + std::to_string(m_prometheusPort)};
    if (!m_authUser.empty())
        argv.push_back("--web.config.file=" + m_dir + "/web.yml");
    m_prometheus = ChildProcess(argv, m_dir + "/prometheus.log");
}

void PrometheusServers::StopPrometheus()
{
    m_prometheus.Stop();
}

bool PrometheusServers::WaitForExporters(std::chrono::seconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    const std::string wql = "SELECT SystemName FROM Win32_LogicalDisk WHERE Status <> 'No Contact'";
    // The line naming an instance as the system of a drive.
    const auto systemLine = [](const std::string &instance) {
        std::string line = "\tSystemName = \"";
        line += instance;
        line += "\";";
        return line;
    };
    const std::string nodeLine = systemLine(NodeInstance());
    const std::string textfileLine = systemLine(TextfileInstance());
    while (std::chrono::steady_clock::now() < end) {
        try {
            auto set = platform::CreateWbemLocator(platform::WbemCredentials{m_authUser, m_authPassword})
                           ->ConnectServer(Url(), "")
                           ->ExecQuery(wql);
            bool node = false, textfile = false;
            while (auto o = set->Next()) {
                const std::string text = o->GetObjectText();
                node = node || text.find(nodeLine) != std::string::npos;
                textfile = textfile || text.find(textfileLine) != std::string::npos;
            }
            if (node && textfile)
                return true;
        } catch (const platform::WbemError &) {}
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return false;
}

std::string PrometheusServers::Log() const
{
    return readFile(m_dir + "/prometheus.log").substr(0, 4000);
}

} // namespace velmora::test
