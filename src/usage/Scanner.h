// SPDX-License-Identifier: MIT
#pragma once

// The drive scanner: how much space every folder below a root uses, on one
// file system only (mount points below are left out, never asked), without
// following symbolic links, hard-linked files counted once, sizes as used on
// the disk (as du counts) with the apparent length beside.
//
// Folders are read by worker threads (one on a spinning disk), in the
// background I/O class and at a low CPU priority. While every folder comes
// from the cache only as many work as there are processors; once the disk is
// read, all of them, so that many reads wait on it at once. Partial totals can
// be read at any time (Snapshot); Cancel stops the workers within one system
// call each.
//
//   usage::Scanner scan({.root = "/home"});
//   std::string error;
//   if (!scan.Start(error)) ...;
//   scan.Wait();
//   const usage::ScanTree &tree = scan.Tree();

#include "usage/ScanTree.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace platform {
class DirectoryVolume;
}

namespace usage {

struct ScanOptions
{
    std::string root;
    // Folders read at the same time (at most 64) while the disk is read; a
    // rotational disk gets one.
    unsigned parallelReads = 32;
    // How many of the biggest files are kept.
    std::size_t biggestFiles = 100;
    // Idle I/O class and a low CPU priority for the workers.
    bool background = true;
};

struct ScanProgress
{
    std::uint64_t entries = 0;   // files and folders counted so far
    std::uint64_t allocated = 0; // space they use
    std::uint64_t foldersRead = 0;
    std::string currentFolder; // a folder being read now (its path)
    // The folders directly in the root with what was found in them so far,
    // biggest first (empty until the root has been read).
    struct Branch
    {
        std::string name;
        std::uint64_t allocated = 0;
    };
    std::vector<Branch> branches;
    std::uint64_t rootFiles = 0; // space of the files directly in the root
    bool finished = false;
};

class Scanner
{
public:
    explicit Scanner(ScanOptions options);
    ~Scanner(); // cancels and waits for the workers
    Scanner(const Scanner &) = delete;
    Scanner &operator=(const Scanner &) = delete;

    // Opens the root and starts the workers. False, with error set, when the
    // root cannot be scanned at all (missing, not a folder, not readable).
    bool Start(std::string &error);
    // Asks the workers to stop; returns at once. Wait() then returns soon.
    void Cancel();
    // Waits until every folder is read or the scan is cancelled; afterwards
    // Tree() holds the totals (partial ones after a cancel).
    void Wait();
    bool WaitFor(std::chrono::milliseconds timeout);
    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    bool Cancelled() const { return m_stop.load(); }
    unsigned Workers() const { return m_workerCount; }

    ScanProgress Snapshot() const;
    // Complete once Wait() has returned.
    const ScanTree &Tree() const { return m_tree; }

private:
    struct Worker;
    void Run(Worker &worker);
    void ReadFolder(Worker &worker, FolderId id);
    bool Pop(Worker &worker, FolderId &id);
    void Finish();

    ScanOptions m_options;
    std::unique_ptr<platform::DirectoryVolume> m_volume;
    ScanTree m_tree;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    unsigned m_workerCount = 0;

    // The folders waiting to be read, one stack per worker (a worker goes
    // deep in its own part of the tree; an idle one takes the shallowest of
    // another's), and the number of folders queued or being read.
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_admitWake; // for the workers not admitted yet
    std::size_t m_inFlight = 0;
    std::size_t m_running = 0;
    // Workers 0 .. m_admitted - 1 take folders; the rest wait until a read
    // is seen to reach the disk.
    std::size_t m_admitted = 0;
    std::vector<std::unique_ptr<Worker>> m_workers;
    std::vector<std::thread> m_threads;
    std::thread m_finisher;
    std::mutex m_doneLock;
    std::condition_variable m_done;

    // Files with more than one link, counted once.
    std::mutex m_linkLock;
    std::unordered_set<std::uint64_t> m_linked;

    // For Snapshot.
    std::atomic<std::uint64_t> m_entries{0};
    std::atomic<std::uint64_t> m_allocated{0};
    std::atomic<std::uint64_t> m_foldersRead{0};
    std::atomic<FolderId> m_current{0};
    std::atomic<bool> m_rootRead{false};
    std::unique_ptr<std::atomic<std::uint64_t>[]> m_branchTotals;
    std::atomic<std::uint64_t> m_rootFiles{0};
};

} // namespace usage
