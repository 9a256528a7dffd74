// SPDX-License-Identifier: MIT
#pragma once

// Keeps the drive history from the refreshes the widget already does, on a
// thread of its own: the window hands over what a refresh found and goes on
// at once; the worker writes a batch per minute and works out the trends,
// which the window reads back at its next refresh. The window never waits on
// the database: handing over and reading back take a lock that the worker
// holds only to move a batch or a result.
//
// A database that cannot be had (a read-only state folder, a file that
// another process keeps locked) leaves the recorder with a history in
// memory for the session; a damaged file is set aside and a new one begun; a
// batch that cannot be written (a full disk) is dropped. None of it stops
// the caller.

#include "history/DriveTrend.h"
#include "history/HistoryStore.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace history {

class HistoryRecorder
{
public:
    // Fills in the inode figures of a batch (by drive name); runs on the
    // worker. The default asks the platform (platform::ReadDriveInodes).
    using InodeReader = std::function<void(std::vector<DriveSample> &)>;
    // Told, on the worker, what went wrong or was done (a file set aside,
    // the history kept in memory, a batch dropped): for the log.
    using Reporter = std::function<void(const std::string &)>;

    // path: the database file; empty for the default, history.sqlite in
    // platform::ProgramStateFolder() (in memory when that is unknown).
    explicit HistoryRecorder(std::string path = {}, InodeReader inodes = {}, Reporter report = {});
    // Ends the worker after the batch it is writing; batches not begun are
    // dropped.
    ~HistoryRecorder();
    HistoryRecorder(const HistoryRecorder &) = delete;
    HistoryRecorder &operator=(const HistoryRecorder &) = delete;

    // What one refresh found. now: seconds since the epoch. Only the first
    // refresh of each minute is kept; a batch still waiting is replaced by
    // the newer one. Returns at once.
    void Submit(std::int64_t now, std::vector<DriveSample> drives);

    // The trends of the drives of the last batch written, by key.
    std::unordered_map<std::string, DriveTrend> Trends() const;
    // Batches written since the start (for tests and benchmarks).
    std::uint64_t Written() const;
    // Waits until every batch handed over is written or dropped (tests).
    void Flush();

    // The database file in the state folder.
    static std::string DefaultPath();

private:
    void run();
    void write(std::int64_t now, std::vector<DriveSample> &drives);
    void openStore();

    std::string m_path;
    InodeReader m_inodes;
    Reporter m_report;
    std::unique_ptr<HistoryStore> m_store; // the worker's alone
    bool m_disabled = false;               // no store can be had at all

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    bool m_stop = false;
    bool m_busy = false;
    std::optional<std::pair<std::int64_t, std::vector<DriveSample>>> m_pending;
    std::int64_t m_lastMinute = -1;
    std::unordered_map<std::string, DriveTrend> m_trends;
    std::uint64_t m_written = 0;
    std::thread m_thread;
};

} // namespace history
