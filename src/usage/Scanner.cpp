// SPDX-License-Identifier: MIT
#include "usage/Scanner.h"

#include "platform/DirectoryReader.h"

#include <algorithm>

namespace usage {

namespace {

// The biggest files first; a min-heap keeps the smallest of them on top.
bool BiggerFile(const FileItem &a, const FileItem &b)
{
    if (a.allocated != b.allocated)
        return a.allocated > b.allocated;
    if (a.apparent != b.apparent)
        return a.apparent > b.apparent;
    return a.folder != b.folder ? a.folder < b.folder : a.name < b.name;
}

// Descriptors a worker keeps open for the folders below them.
constexpr unsigned kOpenFoldersPerWorker = 48;

// Folders a worker reads between two looks at whether it made the disk read,
// and how much it must have read in them to count as waiting on the disk: a
// cold folder costs at least its own block, while a warm tree that memory
// pressure thinned out costs a block here and there.
constexpr unsigned kFoldersPerDiskCheck = 4;
constexpr std::uint64_t kDiskBoundRead = kFoldersPerDiskCheck * 4096;

} // namespace

struct Scanner::Worker final : platform::DirectoryEntrySink
{
    Scanner *scanner = nullptr;
    std::size_t index = 0;
    std::unique_ptr<platform::DirectoryCursor> cursor;
    // Bytes this worker's thread had read from the disk at the last look.
    std::uint64_t storageRead = 0;
    unsigned foldersSinceCheck = kFoldersPerDiskCheck - 1; // the first folder is looked at
    std::deque<FolderId> stack;
    std::vector<FileItem> biggest; // a min-heap by BiggerFile

    // The folder being read.
    FolderId folder = 0;
    std::uint64_t allocated = 0, apparent = 0, files = 0, entries = 0;
    std::vector<std::string> subfolderNames;
    std::vector<std::uint64_t> subfolderSizes; // allocated, apparent pairs
    std::vector<std::string> mountPoints;
    std::vector<platform::DirectoryStep> chain;

    void Entry(const platform::DirectoryEntry &entry) override
    {
        ++entries;
        switch (entry.kind) {
        case platform::DirectoryEntryKind::MountPoint:
            --entries;
            mountPoints.emplace_back(entry.name);
            return;
        case platform::DirectoryEntryKind::Folder:
            subfolderNames.emplace_back(entry.name);
            subfolderSizes.push_back(entry.allocatedBytes);
            subfolderSizes.push_back(entry.apparentBytes);
            return;
        case platform::DirectoryEntryKind::File:
        case platform::DirectoryEntryKind::Other:
            break;
        }
        ++files;
        if (entry.linkedId != 0) {
            std::lock_guard guard(scanner->m_linkLock);
            if (!scanner->m_linked.insert(entry.linkedId).second)
                return; // its space is counted where it was first met
        }
        allocated += entry.allocatedBytes;
        apparent += entry.apparentBytes;
        const std::size_t keep = scanner->m_options.biggestFiles;
        if (keep == 0 || entry.kind != platform::DirectoryEntryKind::File)
            return;
        if (biggest.size() == keep && entry.allocatedBytes < biggest.front().allocated)
            return;
        FileItem item{entry.allocatedBytes, entry.apparentBytes, folder, std::string(entry.name)};
        if (biggest.size() == keep) {
            if (!BiggerFile(item, biggest.front()))
                return;
            std::pop_heap(biggest.begin(), biggest.end(), BiggerFile);
            biggest.back() = std::move(item);
        } else {
            biggest.push_back(std::move(item));
        }
        std::push_heap(biggest.begin(), biggest.end(), BiggerFile);
    }
};

Scanner::Scanner(ScanOptions options) : m_options(std::move(options)) {}

Scanner::~Scanner()
{
    Cancel();
    for (std::thread &thread : m_threads)
        if (thread.joinable())
            thread.join();
}

bool Scanner::Start(std::string &error)
{
    m_volume = platform::OpenDirectoryVolume(m_options.root, error);
    if (!m_volume)
        return false;
    m_tree.SetRoot(m_volume->RootPath(), m_volume->RootAllocatedBytes(), m_volume->RootApparentBytes());
    m_workerCount = m_volume->Rotational() ? 1u : std::clamp(m_options.parallelReads, 1u, 64u);
    // From the cache a worker per processor is as fast as it gets, and more
    // only switch between each other; reads from the disk overlap, so that
    // the disk's queue stays full. Where the system does not tell whether a
    // thread read the disk, all of them work from the start.
    std::uint64_t probe = 0;
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    m_admitted = platform::CurrentThreadStorageReads(probe) ? std::min(m_workerCount, processors) : m_workerCount;
    for (unsigned i = 0; i < m_workerCount; ++i) {
        auto worker = std::make_unique<Worker>();
        worker->scanner = this;
        worker->index = i;
        worker->cursor = m_volume->NewCursor(kOpenFoldersPerWorker);
        m_workers.push_back(std::move(worker));
    }
    m_workers[0]->stack.push_back(0);
    m_inFlight = 1;
    m_running = m_workerCount;
    for (auto &worker : m_workers)
        m_threads.emplace_back([this, w = worker.get()] { Run(*w); });
    return true;
}

void Scanner::Cancel()
{
    {
        std::lock_guard guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_admitWake.notify_all();
}

void Scanner::Wait()
{
    {
        std::unique_lock guard(m_doneLock);
        m_done.wait(guard, [this] { return Finished() || m_threads.empty(); });
    }
    for (std::thread &thread : m_threads)
        if (thread.joinable())
            thread.join();
}

bool Scanner::WaitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock guard(m_doneLock);
    return m_done.wait_for(guard, timeout, [this] { return Finished() || m_threads.empty(); });
}

bool Scanner::Pop(Worker &worker, FolderId &id)
{
    std::unique_lock guard(m_lock);
    for (;;) {
        if (m_stop || m_inFlight == 0)
            return false;
        if (worker.index >= m_admitted) {
            m_admitWake.wait(guard);
            continue;
        }
        if (!worker.stack.empty()) {
            id = worker.stack.back();
            worker.stack.pop_back();
            return true;
        }
        // The shallowest folder of the busiest other worker: a big part of
        // the tree, and the least to open on the way.
        Worker *from = nullptr;
        for (auto &other : m_workers)
            if (!other->stack.empty() && (!from || other->stack.size() > from->stack.size()))
                from = other.get();
        if (from) {
            id = from->stack.front();
            from->stack.pop_front();
            return true;
        }
        m_wake.wait(guard);
    }
}

void Scanner::Run(Worker &worker)
{
    if (m_options.background)
        platform::LowerCurrentThreadPriority();
    platform::CurrentThreadStorageReads(worker.storageRead);
    FolderId id = 0;
    while (Pop(worker, id))
        ReadFolder(worker, id);
    {
        std::lock_guard guard(m_lock);
        if (--m_running != 0)
            return;
    }
    Finish();
}

void Scanner::ReadFolder(Worker &worker, FolderId id)
{
    m_current.store(id, std::memory_order_release);
    worker.folder = id;
    worker.allocated = worker.apparent = worker.files = worker.entries = 0;
    worker.subfolderNames.clear();
    worker.subfolderSizes.clear();
    worker.mountPoints.clear();
    worker.chain.clear();
    for (FolderId at = id; at != 0; at = m_tree.Folder(at).parent)
        worker.chain.push_back({at, m_tree.Name(at)});
    std::reverse(worker.chain.begin(), worker.chain.end());

    std::string error;
    const auto status = worker.cursor->Read(worker.chain, worker, m_stop, error);
    bool readDisk = false;
    if (++worker.foldersSinceCheck == kFoldersPerDiskCheck) {
        worker.foldersSinceCheck = 0;
        std::uint64_t storageRead = 0;
        if (platform::CurrentThreadStorageReads(storageRead)) {
            readDisk = storageRead - worker.storageRead >= kDiskBoundRead;
            worker.storageRead = storageRead;
        }
    }

    std::vector<std::string_view> names(worker.subfolderNames.begin(), worker.subfolderNames.end());
    std::size_t added = 0;
    bool wakeAll = false, wakeWaiting = false;
    {
        std::lock_guard guard(m_lock);
        FolderRecord &record = m_tree.Folder(id);
        record.allocated += worker.allocated;
        record.apparent += worker.apparent;
        record.files += worker.files;
        switch (status) {
        case platform::DirectoryReadStatus::Ok:
        case platform::DirectoryReadStatus::Cancelled:
            record.state = FolderRecord::Read;
            break;
        case platform::DirectoryReadStatus::Unreadable:
            record.state = FolderRecord::Unreadable;
            m_tree.m_unreadable.push_back({id, error});
            break;
        case platform::DirectoryReadStatus::Vanished:
            record.state = FolderRecord::Vanished;
            break;
        }
        for (std::string &name : worker.mountPoints)
            m_tree.m_mountPoints.push_back({id, std::move(name)});
        FolderId first = 0;
        if (!names.empty() && status != platform::DirectoryReadStatus::Cancelled) {
            if (m_tree.Add(id, names, first)) {
                for (std::size_t i = 0; i < names.size(); ++i) {
                    FolderRecord &child = m_tree.Folder(FolderId(first + i));
                    child.allocated = worker.subfolderSizes[2 * i];
                    child.apparent = worker.subfolderSizes[2 * i + 1];
                }
                // Pushed in reverse so that they are read in the order listed.
                for (std::size_t i = names.size(); i-- > 0;)
                    worker.stack.push_back(FolderId(first + i));
                added = names.size();
            } else {
                m_tree.m_unreadable.push_back({id, "too many folders to keep"});
            }
        }
        if (id == 0) {
            m_branchTotals = std::make_unique<std::atomic<std::uint64_t>[]>(added);
            for (std::size_t i = 0; i < added; ++i)
                m_branchTotals[i] = m_tree.Folder(FolderId(first + i)).allocated;
        }
        m_inFlight += added;
        --m_inFlight;
        wakeAll = added > 1 || m_inFlight == 0;
        // Twice as many workers each time one finds it waited on the disk:
        // a cold tree gets all of them within a few folders, while a
        // warm one where memory pressure evicted a little gets a few more.
        if (readDisk && m_admitted < m_workerCount) {
            m_admitted = std::min<std::size_t>(m_workerCount, 2 * m_admitted);
            wakeAll = wakeWaiting = true;
        }
        wakeWaiting = wakeWaiting || (m_inFlight == 0 && m_admitted < m_workerCount);
    }
    if (id == 0) {
        m_rootFiles += worker.allocated;
        m_rootRead.store(true, std::memory_order_release);
    } else {
        // The branch of the root this folder belongs to, and its subfolders'
        // own sizes, which the branch holds from now on.
        std::uint64_t branchAdd = worker.allocated;
        for (std::size_t i = 0; i < added; ++i)
            branchAdd += worker.subfolderSizes[2 * i];
        const FolderId top = worker.chain.front().key;
        m_branchTotals[top - m_tree.Folder(0).firstChild] += branchAdd;
    }
    std::uint64_t found = worker.allocated;
    for (std::size_t i = 0; i < added; ++i)
        found += worker.subfolderSizes[2 * i];
    m_allocated += found;
    m_entries += worker.entries;
    ++m_foldersRead;
    if (wakeWaiting)
        m_admitWake.notify_all();
    if (wakeAll)
        m_wake.notify_all();
    else if (added == 1)
        m_wake.notify_one();
}

void Scanner::Finish()
{
    m_tree.AddTotalsUpward();
    std::vector<FileItem> all;
    for (auto &worker : m_workers)
        for (FileItem &item : worker->biggest)
            all.push_back(std::move(item));
    std::sort(all.begin(), all.end(), BiggerFile);
    if (all.size() > m_options.biggestFiles)
        all.resize(m_options.biggestFiles);
    m_tree.m_biggestFiles = std::move(all);
    std::sort(m_tree.m_unreadable.begin(), m_tree.m_unreadable.end(),
              [](const ProblemFolder &a, const ProblemFolder &b) { return a.folder < b.folder; });
    {
        std::lock_guard guard(m_doneLock);
        m_finished.store(true, std::memory_order_release);
    }
    m_done.notify_all();
}

ScanProgress Scanner::Snapshot() const
{
    ScanProgress progress;
    progress.entries = m_entries.load();
    progress.allocated = m_allocated.load();
    progress.foldersRead = m_foldersRead.load();
    progress.finished = Finished();
    if (!m_volume)
        return progress;
    progress.currentFolder = m_tree.Path(m_current.load(std::memory_order_acquire));
    if (!m_rootRead.load(std::memory_order_acquire))
        return progress;
    const FolderRecord &root = m_tree.Folder(0);
    progress.rootFiles = m_rootFiles.load();
    for (std::uint32_t i = 0; i < root.childCount; ++i)
        progress.branches.push_back({std::string(m_tree.Name(root.firstChild + i)), m_branchTotals[i].load()});
    std::sort(
        progress.branches.begin(), progress.branches.end(),
        [](const ScanProgress::Branch &a, const ScanProgress::Branch &b) { return a.allocated > b.allocated; });
    return progress;
}

} // namespace usage
