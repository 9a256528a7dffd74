// SPDX-License-Identifier: MIT
#include "history/HistoryStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <system_error>

namespace history {

namespace {

// "VlmH": tells this program's history from any other SQLite file.
constexpr int kApplicationId = 0x566C6D48;
// 1: the drive samples; 2: the folder totals of scans beside them.
constexpr int kSchemaVersion = 2;
// How long a write waits for a lock another connection holds (sqlite3 in a
// terminal, say). The store works on its own thread, never the window's.
constexpr int kBusyMilliseconds = 250;
// The largest figure SQLite's integer holds; larger ones are not a drive's.
constexpr std::uint64_t kMaxFigure = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

const char *const kSchema = R"sql(
CREATE TABLE volume(
  id INTEGER PRIMARY KEY,
  key TEXT NOT NULL UNIQUE,
  name TEXT NOT NULL,
  file_system TEXT NOT NULL,
  read_only INTEGER NOT NULL,
  first_seen INTEGER NOT NULL,
  last_seen INTEGER NOT NULL);
CREATE TABLE capacity(
  volume INTEGER NOT NULL,
  t INTEGER NOT NULL,
  size INTEGER NOT NULL,
  files INTEGER,
  PRIMARY KEY(volume, t)) WITHOUT ROWID;
CREATE TABLE minute(
  t INTEGER NOT NULL,
  volume INTEGER NOT NULL,
  avail INTEGER NOT NULL,
  PRIMARY KEY(t, volume)) WITHOUT ROWID;
CREATE TABLE quarter(
  t INTEGER NOT NULL,
  volume INTEGER NOT NULL,
  avail INTEGER NOT NULL,
  files_free INTEGER,
  PRIMARY KEY(t, volume)) WITHOUT ROWID;
CREATE VIEW samples AS
  SELECT v.name AS name, datetime(m.t, 'unixepoch') AS time, m.avail AS avail,
         (SELECT c.size FROM capacity c WHERE c.volume = m.volume AND c.t <= m.t
          ORDER BY c.t DESC LIMIT 1) AS size
  FROM minute m JOIN volume v ON v.id = m.volume;
)sql";

// Added by version 2. Paths are blobs: a folder's name is bytes, which
// need not be UTF-8.
const char *const kScanSchema = R"sql(
CREATE TABLE scan(
  id INTEGER PRIMARY KEY,
  key TEXT NOT NULL,
  root BLOB NOT NULL,
  t INTEGER NOT NULL,
  cut INTEGER NOT NULL);
CREATE INDEX scan_of_drive ON scan(key, root, t);
CREATE TABLE scan_folder(
  scan INTEGER NOT NULL,
  path BLOB NOT NULL,
  bytes INTEGER NOT NULL,
  PRIMARY KEY(scan, path)) WITHOUT ROWID;
)sql";

std::filesystem::path fsPath(const std::string &utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class Statement
{
public:
    Statement(sqlite3 *db, const char *sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            fail(db);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(int i, std::int64_t v)
    {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Statement &bindFigure(int i, std::uint64_t v)
    {
        sqlite3_bind_int64(m_stmt, i, static_cast<std::int64_t>(std::min(v, kMaxFigure)));
        return *this;
    }
    Statement &bindOptional(int i, std::uint64_t files, std::uint64_t v)
    {
        if (files == 0)
            sqlite3_bind_null(m_stmt, i);
        else
            bindFigure(i, v);
        return *this;
    }
    Statement &bind(int i, const std::string &v)
    {
        sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement &bindBlob(int i, const std::string &v)
    {
        sqlite3_bind_blob(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while a row is there.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        fail(sqlite3_db_handle(m_stmt));
        return false;
    }
    void run()
    {
        while (step()) {}
        sqlite3_reset(m_stmt);
    }
    bool isInteger(int col) const { return sqlite3_column_type(m_stmt, col) == SQLITE_INTEGER; }
    std::int64_t integer(int col) const { return sqlite3_column_int64(m_stmt, col); }
    // A text or blob column's bytes; none for another type or one longer
    // than limit.
    std::optional<std::string> bytes(int col, std::size_t limit) const
    {
        const int type = sqlite3_column_type(m_stmt, col);
        if (type != SQLITE_TEXT && type != SQLITE_BLOB)
            return std::nullopt;
        const void *p = type == SQLITE_BLOB ? sqlite3_column_blob(m_stmt, col) : sqlite3_column_text(m_stmt, col);
        const int n = sqlite3_column_bytes(m_stmt, col);
        if (n < 0 || static_cast<std::size_t>(n) > limit)
            return std::nullopt;
        return n == 0 || !p ? std::string()
                            : std::string(static_cast<const char *>(p), static_cast<std::size_t>(n));
    }
    std::string text(int col, std::size_t limit = 4096) const
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col));
        const int n = sqlite3_column_bytes(m_stmt, col);
        if (!p || n <= 0)
            return {};
        return std::string(p, std::min<std::size_t>(static_cast<std::size_t>(n), limit));
    }

    [[noreturn]] static void fail(sqlite3 *db)
    {
        const int code = sqlite3_extended_errcode(db) & 0xFF;
        const std::string message = std::string("history database: ") + sqlite3_errmsg(db);
        if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
            throw HistoryCorrupt(message);
        throw HistoryError(message);
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

void exec(sqlite3 *db, const char *sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Statement::fail(db);
}

std::int64_t pragmaInteger(sqlite3 *db, const char *sql)
{
    Statement s(db, sql);
    return s.step() ? s.integer(0) : 0;
}

// The tables this program writes in a file of the version, as SQLite lists
// them.
bool hasOurTables(sqlite3 *db, std::int64_t version)
{
    Statement s(db,
                "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN "
                "('volume', 'capacity', 'minute', 'quarter', 'scan', 'scan_folder')");
    return s.step() && s.integer(0) == (version >= 2 ? 6 : 4);
}

void inTransaction(sqlite3 *db, const std::function<void()> &work)
{
    exec(db, "BEGIN IMMEDIATE");
    try {
        work();
        exec(db, "COMMIT");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void checkOrCreate(sqlite3 *db, bool writable)
{
    sqlite3_busy_timeout(db, kBusyMilliseconds);
    const std::int64_t appId = pragmaInteger(db, "PRAGMA application_id");
    const std::int64_t tables = pragmaInteger(db, "SELECT count(*) FROM sqlite_schema");
    if (appId == 0 && tables == 0) {
        if (!writable)
            throw HistoryError("history database: empty");
        // Before any table: freed pages go back to the file system on
        // incremental_vacuum, so thinning makes the file smaller.
        exec(db, "PRAGMA auto_vacuum = INCREMENTAL");
        inTransaction(db, [db] {
            exec(db, kSchema);
            exec(db, kScanSchema);
            exec(db, ("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
            exec(db, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
        });
    } else {
        const std::int64_t version = pragmaInteger(db, "PRAGMA user_version");
        if (appId != kApplicationId || version < 1 || version > kSchemaVersion || !hasOurTables(db, version))
            throw HistoryCorrupt("history database: not a history of this program");
        // A history of the first version gains the scan tables; read
        // only, it has no scans to tell.
        if (version == 1 && writable)
            inTransaction(db, [db] {
                exec(db, kScanSchema);
                exec(db, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
            });
    }
    // quick_check reads every page but skips the index cross-checks: a few
    // milliseconds for the largest history.
    Statement check(db, "PRAGMA quick_check(1)");
    if (!check.step() || check.text(0) != "ok")
        throw HistoryCorrupt("history database: " + check.text(0, 200));
}

void moveAside(const std::string &path, const std::string &to)
{
    std::error_code ec;
    for (const char *suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(fsPath(to + suffix), ec);
        if (std::filesystem::exists(fsPath(path + suffix), ec))
            std::filesystem::rename(fsPath(path + suffix), fsPath(to + suffix), ec);
    }
    if (std::filesystem::exists(fsPath(path), ec))
        throw HistoryError("history database: cannot set " + path + " aside");
}

} // namespace

std::string DriveKey(const std::string &serial, const std::string &name, const std::string &fileSystem)
{
    if (!serial.empty())
        return "uuid:" + serial;
    return "path:" + fileSystem + ":" + name;
}

sqlite3 *HistoryStore::openChecked(const std::string &path, Mode mode)
{
    sqlite3 *db = nullptr;
    const int flags = (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
        | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw HistoryError("history database: " + message);
    }
    try {
        checkOrCreate(db, mode == Mode::ReadWrite);
        if (mode == Mode::ReadWrite) {
            // A process killed in a batch loses that batch only: WAL keeps
            // every committed one, and NORMAL syncs at checkpoints (a power
            // cut may cost the last batches, never the file).
            exec(db, "PRAGMA journal_mode = WAL");
            exec(db, "PRAGMA synchronous = NORMAL");
            exec(db, "PRAGMA journal_size_limit = 1048576");
        }
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    return db;
}

std::unique_ptr<HistoryStore> HistoryStore::Open(const std::string &path, Mode mode)
{
    if (mode == Mode::ReadWrite && path != ":memory:") {
        std::error_code ec;
        const auto folder = fsPath(path).parent_path();
        if (!folder.empty())
            std::filesystem::create_directories(folder, ec);
    }
    std::string setAside;
    sqlite3 *db = nullptr;
    try {
        db = openChecked(path, mode);
    } catch (const HistoryCorrupt &) {
        if (mode == Mode::ReadOnly)
            throw;
        setAside = path + ".bad";
        moveAside(path, setAside);
        db = openChecked(path, mode);
    }
    std::unique_ptr<HistoryStore> store(new HistoryStore(db, path));
    store->m_setAside = setAside;
    return store;
}

HistoryStore::HistoryStore(sqlite3 *db, std::string path) : m_db(db), m_path(std::move(path)) {}

HistoryStore::~HistoryStore()
{
    sqlite3_close(m_db);
}

std::int64_t HistoryStore::volumeId(const DriveSample &drive, std::int64_t now)
{
    auto it = m_known.find(drive.key);
    if (it == m_known.end()) {
        Known k;
        Statement find(m_db, "SELECT id, name, file_system, read_only FROM volume WHERE key = ?1");
        find.bind(1, drive.key);
        if (find.step()) {
            k.id = find.integer(0);
            k.name = find.text(1);
            k.fileSystem = find.text(2);
            k.readOnly = find.integer(3) != 0;
            Statement cap(m_db, "SELECT size, files FROM capacity WHERE volume = ?1 ORDER BY t DESC LIMIT 1");
            cap.bind(1, k.id);
            if (cap.step()) {
                k.size = static_cast<std::uint64_t>(std::max<std::int64_t>(0, cap.integer(0)));
                k.files = static_cast<std::uint64_t>(std::max<std::int64_t>(0, cap.integer(1)));
            }
        } else {
            Statement add(m_db,
                          "INSERT INTO volume(key, name, file_system, read_only, first_seen, last_seen) "
                          "VALUES(?1, ?2, ?3, ?4, ?5, ?5)");
            add.bind(1, drive.key).bind(2, drive.name).bind(3, drive.fileSystem);
            add.bind(4, drive.readOnly ? 1 : 0).bind(5, now).run();
            k.id = sqlite3_last_insert_rowid(m_db);
            k.name = drive.name;
            k.fileSystem = drive.fileSystem;
            k.readOnly = drive.readOnly;
            k.lastSeenWritten = now;
        }
        it = m_known.emplace(drive.key, std::move(k)).first;
    }
    Known &k = it->second;
    // last_seen moves at most once a quarter hour: the age thinning needs
    // no finer time, and a batch then touches only the sample tables.
    if (k.name != drive.name || k.fileSystem != drive.fileSystem || k.readOnly != drive.readOnly
        || now - k.lastSeenWritten >= 900 || now < k.lastSeenWritten) {
        Statement upd(m_db,
                      "UPDATE volume SET name = ?2, file_system = ?3, read_only = ?4, last_seen = ?5 "
                      "WHERE id = ?1");
        upd.bind(1, k.id).bind(2, drive.name).bind(3, drive.fileSystem).bind(4, drive.readOnly ? 1 : 0);
        upd.bind(5, now).run();
        k.name = drive.name;
        k.fileSystem = drive.fileSystem;
        k.readOnly = drive.readOnly;
        k.lastSeenWritten = now;
    }
    if (k.size != drive.sizeBytes || k.files != drive.files) {
        Statement cap(m_db, "INSERT OR REPLACE INTO capacity(volume, t, size, files) VALUES(?1, ?2, ?3, ?4)");
        cap.bind(1, k.id).bind(2, now - now % 60).bindFigure(3, drive.sizeBytes);
        cap.bindOptional(4, drive.files, drive.files).run();
        k.size = drive.sizeBytes;
        k.files = drive.files;
    }
    return k.id;
}

void HistoryStore::Record(std::int64_t now, const std::vector<DriveSample> &drives)
{
    exec(m_db, "BEGIN IMMEDIATE");
    try {
        Statement minute(m_db,
                         "INSERT INTO minute(t, volume, avail) VALUES(?1, ?2, ?3) "
                         "ON CONFLICT(t, volume) DO UPDATE SET avail = min(avail, excluded.avail)");
        Statement quarter(m_db,
                          "INSERT INTO quarter(t, volume, avail, files_free) VALUES(?1, ?2, ?3, ?4) "
                          "ON CONFLICT(t, volume) DO UPDATE SET avail = min(avail, excluded.avail), "
                          "files_free = min(files_free, excluded.files_free)");
        for (const DriveSample &d : drives) {
            if (d.key.empty() || d.sizeBytes == 0)
                continue;
            const std::int64_t id = volumeId(d, now);
            minute.bind(1, now - now % 60).bind(2, id).bindFigure(3, d.freeBytes).run();
            quarter.bind(1, now - now % 900).bind(2, id).bindFigure(3, d.freeBytes);
            quarter.bindOptional(4, d.files, d.filesFree).run();
        }
        // Rows past their age go, and so do rows from a clock that ran
        // ahead (more than a day in the future) and was put right.
        Statement thinMinutes(m_db, "DELETE FROM minute WHERE t < ?1 OR t > ?2");
        thinMinutes.bind(1, now - kMinuteKeepSeconds).bind(2, now + 86400).run();
        Statement thinQuarters(m_db, "DELETE FROM quarter WHERE t < ?1 OR t > ?2");
        thinQuarters.bind(1, now - kQuarterKeepSeconds).bind(2, now + 86400).run();
        if (now - m_lastVacuum >= 3600 || now < m_lastVacuum) {
            // Once an hour: volumes gone for 90 days, capacity rows that no
            // sample needs any more (each volume keeps its newest).
            Statement gone(m_db, "DELETE FROM volume WHERE last_seen < ?1");
            gone.bind(1, now - kQuarterKeepSeconds).run();
            Statement orphans(m_db,
                              "DELETE FROM capacity WHERE volume NOT IN (SELECT id FROM volume) OR "
                              "(t < ?1 AND t < (SELECT max(t) FROM capacity c WHERE c.volume = capacity.volume))");
            orphans.bind(1, now - kQuarterKeepSeconds).run();
            for (auto it = m_known.begin(); it != m_known.end();)
                it = it->second.lastSeenWritten < now - kQuarterKeepSeconds ? m_known.erase(it) : std::next(it);
        }
        exec(m_db, "COMMIT");
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        // What this batch wrote to volume and capacity is gone again.
        m_known.clear();
        throw;
    }
    if (now - m_lastVacuum >= 3600 || now < m_lastVacuum) {
        m_lastVacuum = now;
        // Outside the batch: a failure here loses nothing.
        sqlite3_exec(m_db, "PRAGMA incremental_vacuum", nullptr, nullptr, nullptr);
    }
}

std::vector<Volume> HistoryStore::Volumes() const
{
    std::vector<Volume> result;
    Statement s(m_db,
                "SELECT id, key, name, file_system, read_only, first_seen, last_seen, "
                "(SELECT size FROM capacity c WHERE c.volume = v.id ORDER BY t DESC LIMIT 1), "
                "(SELECT files FROM capacity c WHERE c.volume = v.id ORDER BY t DESC LIMIT 1) "
                "FROM volume v ORDER BY id LIMIT ?1");
    s.bind(1, static_cast<std::int64_t>(kMaxVolumes));
    while (s.step()) {
        Volume v;
        v.id = s.integer(0);
        v.key = s.text(1);
        v.name = s.text(2);
        v.fileSystem = s.text(3, 64);
        v.readOnly = s.integer(4) != 0;
        v.firstSeen = s.integer(5);
        v.lastSeen = s.integer(6);
        if (s.isInteger(7) && s.integer(7) > 0)
            v.sizeBytes = static_cast<std::uint64_t>(s.integer(7));
        if (s.isInteger(8) && s.integer(8) > 0)
            v.files = static_cast<std::uint64_t>(s.integer(8));
        if (v.key.empty() || v.sizeBytes == 0)
            continue;
        result.push_back(std::move(v));
    }
    return result;
}

std::vector<Point> HistoryStore::points(const char *table, std::int64_t volume, std::int64_t from,
                                        std::int64_t to) const
{
    // The newest kMaxPoints rows, handed out oldest first.
    // Inodes are kept by the quarter rows only.
    const std::string sql = std::string("SELECT t, avail, ")
        + (std::string(table) == "quarter" ? "files_free" : "NULL") + " FROM " + table
        + " WHERE t >= ?2 AND t <= ?3 AND volume = ?1 ORDER BY t DESC LIMIT ?4";
    Statement s(m_db, sql.c_str());
    s.bind(1, volume).bind(2, from).bind(3, to).bind(4, static_cast<std::int64_t>(kMaxPoints));
    std::vector<Point> result;
    while (s.step()) {
        if (!s.isInteger(0) || !s.isInteger(1) || s.integer(1) < 0)
            continue;
        Point p;
        p.time = s.integer(0);
        p.freeBytes = static_cast<std::uint64_t>(s.integer(1));
        if (s.isInteger(2) && s.integer(2) >= 0)
            p.filesFree = static_cast<std::uint64_t>(s.integer(2));
        result.push_back(p);
    }
    std::reverse(result.begin(), result.end());
    return result;
}

std::vector<Point> HistoryStore::Minutes(std::int64_t volume, std::int64_t from, std::int64_t to) const
{
    return points("minute", volume, from, to);
}

std::vector<Point> HistoryStore::Quarters(std::int64_t volume, std::int64_t from, std::int64_t to) const
{
    return points("quarter", volume, from, to);
}

void HistoryStore::RecordScan(const std::string &key, const std::string &root, std::int64_t finished,
                              const FolderTotals &folders)
{
    if (key.empty() || root.empty() || root.size() > kMaxScanPath)
        throw HistoryError("history database: a scan needs a drive and a folder");
    // One row a path, each below root (or root itself), biggest first.
    std::map<std::string, std::uint64_t> unique;
    for (const auto &[path, bytes] : folders)
        if (path.size() <= kMaxScanPath && path.compare(0, root.size(), root) == 0)
            unique.emplace(path, std::min(bytes, kMaxFigure));
    std::vector<std::pair<std::string, std::uint64_t>> kept(unique.begin(), unique.end());
    std::stable_sort(kept.begin(), kept.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    // What the folders left out used at most: the biggest of them.
    std::uint64_t cut = 0;
    if (kept.size() > kScanFoldersKept) {
        cut = kept[kScanFoldersKept].second;
        kept.resize(kScanFoldersKept);
    }
    inTransaction(m_db, [&] {
        Statement scan(m_db, "INSERT INTO scan(key, root, t, cut) VALUES(?1, ?2, ?3, ?4)");
        scan.bind(1, key).bindBlob(2, root).bind(3, finished).bindFigure(4, cut).run();
        const std::int64_t id = sqlite3_last_insert_rowid(m_db);
        Statement folder(m_db, "INSERT INTO scan_folder(scan, path, bytes) VALUES(?1, ?2, ?3)");
        for (const auto &[path, bytes] : kept)
            folder.bind(1, id).bindBlob(2, path).bindFigure(3, bytes).run();
        Statement old(m_db,
                      "DELETE FROM scan WHERE key = ?1 AND id NOT IN "
                      "(SELECT id FROM scan WHERE key = ?1 ORDER BY t DESC, id DESC LIMIT ?2)");
        old.bind(1, key).bind(2, static_cast<std::int64_t>(kScansKept)).run();
        exec(m_db, "DELETE FROM scan_folder WHERE scan NOT IN (SELECT id FROM scan)");
    });
}

std::size_t HistoryStore::ScanCount(const std::string &key, const std::string &root) const
{
    Statement count(m_db, "SELECT count(*) FROM scan WHERE key = ?1 AND root = ?2");
    count.bind(1, key).bindBlob(2, root);
    if (!count.step() || !count.isInteger(0) || count.integer(0) < 0)
        return 0;
    return static_cast<std::size_t>(count.integer(0));
}

std::vector<FolderGrowth> HistoryStore::GrowthSinceLastScan(const std::string &key, const std::string &root,
                                                            std::size_t limit) const
{
    struct Scan
    {
        std::int64_t id = 0;
        std::uint64_t cut = 0;
        std::map<std::string, std::uint64_t> folders;
    };
    std::vector<Scan> scans;
    Statement last(m_db, "SELECT id, cut FROM scan WHERE key = ?1 AND root = ?2 ORDER BY t DESC, id DESC LIMIT 2");
    last.bind(1, key).bindBlob(2, root);
    while (last.step()) {
        Scan s;
        s.id = last.integer(0);
        if (last.isInteger(1) && last.integer(1) > 0)
            s.cut = static_cast<std::uint64_t>(last.integer(1));
        scans.push_back(std::move(s));
    }
    if (scans.size() < 2)
        return {};
    for (Scan &s : scans) {
        // A file written by someone else may hold more than a scan keeps.
        Statement rows(m_db, "SELECT path, bytes FROM scan_folder WHERE scan = ?1 LIMIT ?2");
        rows.bind(1, s.id).bind(2, static_cast<std::int64_t>(kScanFoldersKept * 4));
        while (rows.step()) {
            std::optional<std::string> path = rows.bytes(0, kMaxScanPath);
            if (!path || !rows.isInteger(1) || rows.integer(1) < 0)
                continue;
            s.folders.emplace(std::move(*path), static_cast<std::uint64_t>(rows.integer(1)));
        }
    }
    const Scan &now = scans[0], &before = scans[1];
    std::vector<std::pair<std::uint64_t, FolderGrowth>> grown;
    for (const auto &[path, bytes] : now.folders) {
        FolderGrowth g;
        g.path = path;
        g.now = bytes;
        std::uint64_t had = before.cut;
        if (const auto it = before.folders.find(path); it != before.folders.end())
            g.before = had = it->second;
        if (bytes > had)
            grown.emplace_back(bytes - had, std::move(g));
    }
    std::stable_sort(grown.begin(), grown.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    std::vector<FolderGrowth> result;
    for (auto &g : grown) {
        if (result.size() >= limit)
            break;
        result.push_back(std::move(g.second));
    }
    return result;
}

} // namespace history
