// SPDX-License-Identifier: MIT
// velmora-scan as a whole process next to du -sxB1, gdu -n -p and
// ncdu -o /dev/null, on one generated tree (200,000 files of 0-4 KiB and four
// of 100 MiB in 20,000 folders, at most 8 deep) on an ext4 image mounted
// through a loop device: wall time with the page cache dropped before each
// run (cold) and with it kept (warm), and each program's peak memory. The
// programs take turns within each round, so that a drift of the machine's
// speed reaches all of them alike. Prints a Markdown table of medians.
//
// The image is made with room for every inode of the tree (mkfs.ext4's
// default of one inode per 16 KiB gives a 2 GiB image only 131,072) and is
// attached as a drive would be: with direct I/O, since a loop device that
// reads its file through the page cache serves one request after the other
// on a single kernel worker (a queue of waiting reads gains nothing) and
// keeps a second copy of all it read; and as non-rotational, since the loop
// device takes the flag of the disk under the image, and virtual disks
// (virtio, as on this project's machines) are rotational unless told
// otherwise.
//
// Needs root (loop device, dropping the page cache, which slows the whole
// machine for a moment). Runs in a mount namespace of its own.
//   bench_scan [ROUNDS] [--as-mount-o-loop]
// ROUNDS defaults to 5. --as-mount-o-loop attaches the image as mount -o loop
// does (through the page cache, rotational when the disk under it is).
// Environment: VELMORA_BENCH_DIR, where the 2 GiB image goes (default /tmp).
#include "ChildProcess.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

struct Tool
{
    std::string name;
    std::vector<std::string> args; // args[0] a full path
    std::vector<double> cold, warm;
    long peakKib = 0;
};

bool Shell(const std::string &command)
{
    return std::system(command.c_str()) == 0;
}

void DropCaches()
{
    ::sync();
    std::FILE *f = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (f) {
        std::fputs("3\n", f);
        std::fclose(f);
    }
}

// Wall seconds of one run; peak memory (KiB) into peak.
double TimeRun(const std::vector<std::string> &args, long &peak)
{
    const int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = bench::Spawn(args, {"PATH=/usr/bin:/bin", "LC_ALL=C"}, devnull, devnull);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::close(devnull);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "bench_scan: %s ended with status %d\n", args[0].c_str(), status);
    peak = std::max(peak, long(usage.ru_maxrss));
    return seconds;
}

bool WriteFile(const std::string &path, std::size_t size, const std::string &data)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool written = true;
    for (std::size_t left = size; left > 0 && written;) {
        const std::size_t n = std::min(left, data.size());
        written = ::write(fd, data.data(), n) == ssize_t(n);
        left -= n;
    }
    return ::close(fd) == 0 && written;
}

// The first line a shell command prints.
std::string Output(const std::string &command)
{
    std::string line;
    if (std::FILE *pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        if (std::fgets(buffer, sizeof buffer, pipe))
            line = buffer;
        ::pclose(pipe);
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

// The tree: folders hung below a random earlier folder that is less than 8
// deep, files in random folders; the same every time (fixed seed). False
// when any of it could not be made.
bool Generate(const std::string &root)
{
    bool made = true;
    std::mt19937 random(20261211);
    std::vector<std::pair<std::string, int>> folders{{root, 0}};
    std::vector<std::size_t> canHold{0};
    for (int i = 0; i < 20000; ++i) {
        const std::size_t at = canHold[random() % canHold.size()];
        const int depth = folders[at].second;
        const std::string path = folders[at].first + "/d" + std::to_string(i);
        made = made && ::mkdir(path.c_str(), 0755) == 0;
        folders.emplace_back(path, depth + 1);
        if (depth + 1 < 8)
            canHold.push_back(folders.size() - 1);
    }
    const std::string data(1 << 20, 'v');
    for (int i = 0; i < 200000 && made; ++i)
        made = WriteFile(folders[1 + random() % 20000].first + "/f" + std::to_string(i), random() % 4097, data);
    for (int i = 0; i < 4 && made; ++i)
        made = WriteFile(folders[1 + random() % 20000].first + "/big" + std::to_string(i), 100u << 20, data);
    return made;
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = 5;
    bool asDrive = true;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--as-mount-o-loop")
            asDrive = false;
        else
            rounds = std::max(1, std::atoi(argv[i]));
    }
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0
        || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        std::fprintf(stderr, "bench_scan: needs root (loop mount, dropping the page cache)\n");
        return 77;
    }
    const char *dirEnv = std::getenv("VELMORA_BENCH_DIR");
    const std::string dir = std::string(dirEnv && *dirEnv ? dirEnv : "/tmp") + "/velmora-bench-scan-"
        + std::to_string(::getpid());
    const std::string image = dir + "/tree.ext4", mountPoint = dir + "/mnt";
    std::filesystem::create_directories(mountPoint);
    std::string device;
    if (Shell("truncate -s 2G " + image + " && mkfs.ext4 -q -F -N 262144 " + image))
        device = Output(std::string("losetup --find --show ") + (asDrive ? "--direct-io=on " : "") + image);
    const std::string rotational = "/sys/block/" + std::filesystem::path(device).filename().string()
        + "/queue/rotational";
    if (device.empty()
        || !Shell((asDrive ? "echo 0 > " + rotational + " && " : std::string()) + "mount " + device + " "
                  + mountPoint)) {
        std::fprintf(stderr, "bench_scan: cannot make and mount the ext4 image\n");
        if (!device.empty())
            Shell("losetup -d " + device);
        std::filesystem::remove_all(dir);
        return 1;
    }
    const bool rotationalDevice = Shell("grep -q 1 " + rotational);
    const auto cleanUp = [&] {
        if (::umount2(mountPoint.c_str(), 0) != 0)
            ::umount2(mountPoint.c_str(), MNT_DETACH);
        Shell("losetup -d " + device); // or at the last unmount, when still busy
        std::filesystem::remove_all(dir);
    };
    const auto generated = std::chrono::steady_clock::now();
    if (!Generate(mountPoint)) {
        std::fprintf(stderr, "bench_scan: cannot write the tree: %s\n", std::strerror(errno));
        cleanUp();
        return 1;
    }
    ::sync();
    std::fprintf(stderr, "bench_scan: tree written in %.0f s\n",
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - generated).count());

    std::vector<Tool> tools = {
        {"velmora-scan", {VELMORA_SCAN, mountPoint}, {}, {}},
        {"velmora-scan --background", {VELMORA_SCAN, "--background", mountPoint}, {}, {}},
        {"du -sxB1", {"/usr/bin/du", "-sxB1", mountPoint}, {}, {}},
        {"gdu -n -p", {"/usr/bin/gdu", "-n", "-p", mountPoint}, {}, {}},
        {"ncdu -o /dev/null", {"/usr/bin/ncdu", "-o", "/dev/null", mountPoint}, {}, {}},
    };
    for (Tool &tool : tools) // warm-up, and the totals agree
        TimeRun(tool.args, tool.peakKib);
    for (int round = 0; round < rounds; ++round) {
        for (Tool &tool : tools) {
            DropCaches();
            tool.cold.push_back(TimeRun(tool.args, tool.peakKib));
        }
        for (Tool &tool : tools)
            tool.warm.push_back(TimeRun(tool.args, tool.peakKib));
        std::fprintf(stderr, "bench_scan: round %d of %d\n", round + 1, rounds);
    }
    cleanUp();

    double fastestColdOther = 1e9;
    for (std::size_t i = 2; i < tools.size(); ++i)
        fastestColdOther = std::min(fastestColdOther, bench::Median(tools[i].cold));
    const double duWarm = bench::Median(tools[2].warm);
    std::printf("| program | warm (median of %d) | cold, page cache dropped (median of %d) | peak memory |\n",
                rounds, rounds);
    std::printf("|---|---|---|---|\n");
    for (const Tool &tool : tools)
        std::printf("| `%s` | %.2f s | %.2f s | %.1f MiB |\n", tool.name.c_str(), bench::Median(tool.warm),
                    bench::Median(tool.cold), double(tool.peakKib) / 1024.0);
    std::printf("\nThe image's loop device: %s, %s.\n", asDrive ? "direct I/O" : "through the page cache",
                rotationalDevice ? "rotational" : "non-rotational");
    std::printf("\nvelmora-scan: warm %.2fx du, cold %.2fx the fastest other program\n",
                bench::Median(tools[0].warm) / duWarm, bench::Median(tools[0].cold) / fastestColdOther);
    // The same within each round (the programs ran minutes apart at most),
    // which a machine whose load drifts between rounds disturbs less.
    std::vector<double> warmPaired, coldPaired;
    for (int round = 0; round < rounds; ++round) {
        const std::size_t r = std::size_t(round);
        double fastest = 1e9;
        for (std::size_t i = 2; i < tools.size(); ++i)
            fastest = std::min(fastest, tools[i].cold[r]);
        warmPaired.push_back(tools[0].warm[r] / tools[2].warm[r]);
        coldPaired.push_back(tools[0].cold[r] / fastest);
    }
    std::printf("paired within each round (median): warm %.2fx du, cold %.2fx the fastest other program\n",
                bench::Median(warmPaired), bench::Median(coldPaired));
    return 0;
}
