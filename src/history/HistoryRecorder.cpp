// SPDX-License-Identifier: MIT
#include "history/HistoryRecorder.h"

#include "platform/DriveInodes.h"
#include "platform/Folders.h"

namespace history {

namespace {

void readPlatformInodes(std::vector<DriveSample> &drives)
{
    const std::vector<platform::DriveInodes> inodes = platform::ReadDriveInodes();
    for (DriveSample &d : drives)
        for (const platform::DriveInodes &i : inodes)
            if (i.name == d.name) {
                d.files = i.files;
                d.filesFree = i.filesFree;
                break;
            }
}

} // namespace

std::string HistoryRecorder::DefaultPath()
{
    const std::string folder = platform::ProgramStateFolder();
    if (folder.empty())
        return {};
    return folder + platform::PathSeparator() + "history.sqlite";
}

HistoryRecorder::HistoryRecorder(std::string path, InodeReader inodes, Reporter report)
    : m_path(path.empty() ? DefaultPath() : std::move(path)),
      m_inodes(inodes ? std::move(inodes) : InodeReader(readPlatformInodes)),
      m_report(std::move(report))
{
    m_thread = std::thread([this] { run(); });
}

HistoryRecorder::~HistoryRecorder()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_pending.reset();
    }
    m_wake.notify_all();
    m_thread.join();
}

void HistoryRecorder::Submit(std::int64_t now, std::vector<DriveSample> drives)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const std::int64_t minute = now / 60;
        if (minute == m_lastMinute)
            return;
        m_lastMinute = minute;
        m_pending.emplace(now, std::move(drives));
    }
    m_wake.notify_one();
}

std::unordered_map<std::string, DriveTrend> HistoryRecorder::Trends() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_trends;
}

std::uint64_t HistoryRecorder::Written() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_written;
}

void HistoryRecorder::Flush()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_pending && !m_busy; });
}

void HistoryRecorder::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_pending; });
        if (m_stop)
            break;
        auto [now, drives] = std::move(*m_pending);
        m_pending.reset();
        m_busy = true;
        lock.unlock();
        write(now, drives);
        lock.lock();
        m_busy = false;
        if (!m_pending)
            m_idle.notify_all();
    }
    m_busy = false;
    m_idle.notify_all();
}

void HistoryRecorder::openStore()
{
    if (!m_path.empty()) {
        try {
            m_store = HistoryStore::Open(m_path);
            if (!m_store->SetAside().empty() && m_report)
                m_report("the drive history was damaged; kept as " + m_store->SetAside() + ", a new one begun");
            return;
        } catch (const std::exception &e) {
            if (m_report)
                m_report(std::string(e.what()) + "; the drive history is kept in memory for now");
        }
    }
    try {
        m_store = HistoryStore::Open(":memory:");
    } catch (const std::exception &e) {
        // No database at all: the history stays off for the session.
        m_disabled = true;
        if (m_report)
            m_report(std::string(e.what()) + "; no drive history this session");
    }
}

void HistoryRecorder::write(std::int64_t now, std::vector<DriveSample> &drives)
{
    try {
        m_inodes(drives);
    } catch (const std::exception &) {
        // Inodes are a bonus: the batch goes without them.
    }
    if (m_disabled)
        return;
    std::unordered_map<std::string, DriveTrend> trends;
    try {
        if (!m_store)
            openStore();
        if (m_disabled)
            return;
        try {
            m_store->Record(now, drives);
        } catch (const HistoryCorrupt &) {
            // Damage found while writing: set the file aside and begin anew.
            m_store.reset();
            openStore();
            if (m_disabled)
                return;
            m_store->Record(now, drives);
        }
        std::unordered_map<std::string, const DriveSample *> current;
        for (const DriveSample &d : drives)
            current.emplace(d.key, &d);
        for (const Volume &v : m_store->Volumes()) {
            auto it = current.find(v.key);
            if (it == current.end())
                continue;
            DriveTrend t = TrendOf(*m_store, v, now);
            // The figures of this refresh, whatever the file held.
            t.freeBytes = it->second->freeBytes;
            t.sizeBytes = it->second->sizeBytes;
            t.files = it->second->files;
            t.filesFree = it->second->filesFree;
            trends.emplace(v.key, std::move(t));
        }
    } catch (const std::exception &e) {
        if (m_report)
            m_report(std::string("drive history: batch dropped: ") + e.what());
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trends = std::move(trends);
    ++m_written;
}

} // namespace history
