// SPDX-License-Identifier: MIT
#pragma once

// The drive history: one SQLite database in the program's state folder,
// written in WAL mode, one transaction per batch of samples.
//
// Tables (see the README for how to read them with sqlite3):
//   volume    one row per file system ever seen: its identity (key), the
//             name and file system it had last, read-only or not, when it was
//             first and last seen
//   capacity  size and inode count of a volume, a row whenever they change
//   minute    free space (bytes a user can write), one row per volume and
//             minute; kept for 48 hours
//   quarter   the smallest free space and free inodes of each quarter hour;
//             kept for 90 days
//   scan      one row per finished scan of a folder on a drive (the drive's
//             identity, the folder scanned, when); the last kScansKept of
//             each drive are kept
//   scan_folder the space used by the biggest folders of a scan (their path
//             as bytes), at most kScanFoldersKept a scan
// Times are seconds since the epoch (UTC), rounded down to the minute or the
// quarter hour. Size and inode count live in their own table because they
// hardly ever change, and free inodes only in the quarter rows: that keeps 90
// days of one drive under 300 KB.
//
// The file is untrusted when read: every query is bounded in rows, and values
// that cannot be a drive's (negative, free above size) are skipped. A file
// that is not a database of this program, or that SQLite finds damaged, is
// set aside as <name>.bad and a new one started.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;

namespace history {

class HistoryError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One drive at one refresh.
struct DriveSample
{
    std::string key;        // the file system's identity: see DriveKey
    std::string name;       // "/home", "C:"
    std::string fileSystem; // "ext4"
    bool readOnly = false;
    std::uint64_t freeBytes = 0; // bytes a user can write
    std::uint64_t sizeBytes = 0;
    std::uint64_t files = 0;     // inodes in all; 0 when not counted
    std::uint64_t filesFree = 0; // inodes a user can still take
};

// The identity a drive's history is kept under: its file system's UUID (or
// Windows' volume serial number) when it has one, so that the history
// follows the file system to another mount path; otherwise its name and file
// system kind (tmpfs, network shares).
std::string DriveKey(const std::string &serial, const std::string &name, const std::string &fileSystem);

struct Volume
{
    std::int64_t id = 0;
    std::string key;
    std::string name;
    std::string fileSystem;
    bool readOnly = false;
    std::int64_t firstSeen = 0;
    std::int64_t lastSeen = 0;
    std::uint64_t sizeBytes = 0; // the last known
    std::uint64_t files = 0;
};

struct Point
{
    std::int64_t time = 0; // seconds since the epoch
    std::uint64_t freeBytes = 0;
    std::uint64_t filesFree = 0; // quarter rows only
};

inline constexpr std::int64_t kMinuteKeepSeconds = 48 * 3600;
inline constexpr std::int64_t kQuarterKeepSeconds = 90 * 86400;
// Bounds of what a read hands out, whatever the file holds.
inline constexpr std::size_t kMaxVolumes = 1024;
inline constexpr std::size_t kMaxPoints = 20000;

// What a scan found: (folder path, bytes used below it), the scanned folder
// itself among them. Paths are bytes (a name need not be UTF-8).
using FolderTotals = std::vector<std::pair<std::string, std::uint64_t>>;

// A folder whose space grew between two scans. before: what the earlier scan
// kept for it; none when that scan did not list it (a new folder, or one too
// small to be kept then).
struct FolderGrowth
{
    std::string path;
    std::optional<std::uint64_t> before;
    std::uint64_t now = 0;
};

// Scans kept per drive, and folders kept per scan (the biggest); a scan's
// totals are taken down to kScanDepthKept levels below the folder scanned
// (usage::ScanTree::TopFolders(kScanDepthKept, ...)).
inline constexpr std::size_t kScansKept = 10;
inline constexpr std::size_t kScanFoldersKept = 200;
inline constexpr std::size_t kScanDepthKept = 4;
inline constexpr std::size_t kMaxScanPath = 4096;

class HistoryStore
{
public:
    enum class Mode { ReadWrite, ReadOnly };

    // Opens the database at path, creating it (and its folder) when there
    // is none. ReadWrite: a file that is not this program's history, or is
    // damaged, is renamed to path + ".bad" (replacing an older one, its WAL
    // and shared-memory files beside it) and a new database is made. The
    // path ":memory:" gives a store that lives as long as the object.
    // Throws HistoryError when no database can be had (a read-only folder,
    // a file another process keeps locked); ReadOnly throws as well for a
    // file that is damaged or not ours, and never changes it.
    static std::unique_ptr<HistoryStore> Open(const std::string &path, Mode mode = Mode::ReadWrite);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Writes one batch in one transaction: a row per drive in minute and
    // quarter (the smallest free space within each), the volume's name and
    // capacity where they changed; then thins rows past their age. now:
    // seconds since the epoch. Throws HistoryError when the batch could not
    // be written (a full disk, a lock held too long); nothing of it is kept
    // then. Damage found on the way throws HistoryCorrupt.
    void Record(std::int64_t now, const std::vector<DriveSample> &drives);

    // Every volume, at most kMaxVolumes.
    std::vector<Volume> Volumes() const;
    // The minute or quarter rows of a volume with from <= time <= to, in
    // time order, at most kMaxPoints (the newest when there are more).
    std::vector<Point> Minutes(std::int64_t volume, std::int64_t from, std::int64_t to) const;
    std::vector<Point> Quarters(std::int64_t volume, std::int64_t from, std::int64_t to) const;

    // Keeps the folder totals of a finished scan of root on the drive whose
    // identity is key (DriveKey). Folders not below root, paths longer
    // than kMaxScanPath and a second row for a path are left out; of the
    // rest the kScanFoldersKept biggest are kept. The drive's scans beyond
    // the last kScansKept go. Throws HistoryError as Record does.
    void RecordScan(const std::string &key, const std::string &root, std::int64_t finished,
                    const FolderTotals &folders);
    // The folders that grew most between the two last scans of root on the
    // drive, most first, at most limit: those the earlier scan did not list
    // count as having had what its smallest listed folder had, when its list
    // was cut, or nothing. Empty with fewer than two scans. Rows that cannot
    // be a scan's (negative or non-integer sizes, paths not text or blob,
    // too long) are passed over.
    std::vector<FolderGrowth> GrowthSinceLastScan(const std::string &key, const std::string &root,
                                                  std::size_t limit) const;
    // How many scans of root on the drive are kept (at most kScansKept).
    std::size_t ScanCount(const std::string &key, const std::string &root) const;

    const std::string &Path() const { return m_path; }
    // The path the last damaged file was moved to, empty when none was.
    const std::string &SetAside() const { return m_setAside; }

private:
    HistoryStore(sqlite3 *db, std::string path);
    static sqlite3 *openChecked(const std::string &path, Mode mode);
    std::vector<Point> points(const char *table, std::int64_t volume, std::int64_t from, std::int64_t to) const;
    std::int64_t volumeId(const DriveSample &drive, std::int64_t now);

    sqlite3 *m_db = nullptr;
    std::string m_path;
    std::string m_setAside;
    struct Known
    {
        std::int64_t id = 0;
        std::string name, fileSystem;
        bool readOnly = false;
        std::uint64_t size = 0, files = 0;
        std::int64_t lastSeenWritten = 0;
    };
    std::unordered_map<std::string, Known> m_known;
    std::int64_t m_lastVacuum = 0;
};

// Thrown by Record when SQLite finds the file damaged: the caller opens the
// store again, which sets the file aside.
class HistoryCorrupt : public HistoryError
{
public:
    using HistoryError::HistoryError;
};

} // namespace history
