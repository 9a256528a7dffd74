// SPDX-License-Identifier: MIT
// What grew since the last scan: the folder totals of real scans kept in a
// real history file, compared scan to scan; the bounds of what is kept; a
// history of the first version gaining the scan tables; tables that are not
// what this program writes.
#include "history/HistoryStore.h"
#include "usage/Scanner.h"

#include "ScanTestSupport.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace history;
using scantest::MakeFolder;
using scantest::WriteFile;

namespace {

constexpr std::int64_t T0 = 1'800'000'000;
constexpr std::uint64_t MiB = 1 << 20;

FolderTotals scan(const std::string &root)
{
    usage::Scanner scanner({.root = root});
    std::string error;
    EXPECT_TRUE(scanner.Start(error)) << error;
    scanner.Wait();
    return scanner.Tree().TopFolders(kScanDepthKept, 10000);
}

void sql(const std::string &path, const char *statements)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char *message = nullptr;
    const int rc = sqlite3_exec(db, statements, nullptr, nullptr, &message);
    EXPECT_EQ(rc, SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

std::int64_t count(const std::string &path, const char *query)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    std::int64_t n = -1;
    if (sqlite3_prepare_v2(db, query, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return n;
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

// A folder that grew, one that shrank, a new one, one removed, one whose
// name is not UTF-8, one left alone: scanned, changed, scanned again.
TEST(ScanGrowth, TheFoldersThatGrewMostSinceTheLastScan)
{
    testsupport::TempFolder temp("velmora-growth");
    const std::string root = temp.Path() + "/tree";
    MakeFolder(root);
    const std::string odd = root + "/caf\xE9";
    for (const char *f : {"/grew", "/shrank", "/removed", "/same", "/same/deep"})
        MakeFolder(root + f);
    MakeFolder(odd);
    WriteFile(root + "/grew/a", 1 * MiB);
    WriteFile(root + "/shrank/a", 4 * MiB);
    WriteFile(root + "/removed/a", 3 * MiB);
    WriteFile(root + "/same/deep/a", 2 * MiB);
    WriteFile(odd + "/a", 1 * MiB);

    const std::string path = temp.File("state/history.sqlite");
    auto store = HistoryStore::Open(path);
    store->RecordScan("uuid:d", root, T0, scan(root));
    EXPECT_TRUE(store->GrowthSinceLastScan("uuid:d", root, 10).empty()) << "one scan has nothing to compare";

    WriteFile(root + "/grew/b", 8 * MiB);
    WriteFile(root + "/shrank/a", 1 * MiB);
    std::filesystem::remove_all(root + "/removed");
    MakeFolder(root + "/new");
    WriteFile(root + "/new/a", 2 * MiB);
    WriteFile(odd + "/b", 5 * MiB);
    store->RecordScan("uuid:d", root, T0 + 3600, scan(root));

    struct Expected
    {
        std::string path;
        bool listedBefore;
        std::uint64_t growth; // MiB
    } expected[] = {
        {root, true, 8 - 3 + 2 + 5 - 3}, // the whole tree: 9 MiB more
        {root + "/grew", true, 8},
        {odd, true, 5},
        {root + "/new", false, 2},
    };
    // A store opened again reads the same.
    store.reset();
    store = HistoryStore::Open(path, HistoryStore::Mode::ReadOnly);
    const std::vector<FolderGrowth> grown = store->GrowthSinceLastScan("uuid:d", root, 10);
    ASSERT_EQ(grown.size(), std::size(expected));
    for (std::size_t i = 0; i < grown.size(); ++i) {
        const Expected &e = expected[i];
        const FolderGrowth &g = grown[i];
        SCOPED_TRACE(e.path);
        EXPECT_EQ(g.path, e.path);
        EXPECT_EQ(g.before.has_value(), e.listedBefore);
        const std::uint64_t growth = g.now - g.before.value_or(0);
        // Folders take a few blocks of their own.
        EXPECT_GE(growth, e.growth * MiB - 64 * 1024);
        EXPECT_LE(growth, e.growth * MiB + 64 * 1024);
    }
    EXPECT_EQ(store->GrowthSinceLastScan("uuid:d", root, 2).size(), 2u);
    // Another drive, another folder of the drive: scans of their own.
    EXPECT_TRUE(store->GrowthSinceLastScan("uuid:other", root, 10).empty());
    EXPECT_TRUE(store->GrowthSinceLastScan("uuid:d", root + "/grew", 10).empty());
}

// Only the biggest folders of a scan are kept, and only its last scans: a
// drive's rows stay few. A folder the earlier scan did not keep counts from
// the biggest it left out, so being just below the cut once is no growth.
TEST(ScanGrowth, BoundedScansAndFoldersAndWhatACutMeans)
{
    testsupport::TempFolder temp("velmora-growth");
    const std::string path = temp.File("history.sqlite");
    auto store = HistoryStore::Open(path);
    const auto totals = [] {
        FolderTotals t{{"/r", 1'000'000'000}};
        for (int i = 0; i < 300; ++i)
            t.emplace_back("/r/f" + std::to_string(i), 1000 + static_cast<std::uint64_t>(i));
        t.emplace_back("/elsewhere", 5);                                   // not below the root
        t.emplace_back("/r/" + std::string(kMaxScanPath, 'x'), 9'000'000); // too long a path
        return t;
    };
    for (int s = 0; s < 12; ++s)
        store->RecordScan("uuid:d", "/r", T0 + s, totals());
    store->RecordScan("uuid:e", "/r", T0, totals());
    EXPECT_EQ(count(path, "SELECT count(*) FROM scan WHERE key = 'uuid:d'"), std::int64_t(kScansKept));
    EXPECT_EQ(count(path, "SELECT count(*) FROM scan WHERE key = 'uuid:e'"), 1);
    EXPECT_EQ(count(path, "SELECT max(n) FROM (SELECT count(*) AS n FROM scan_folder GROUP BY scan)"),
              std::int64_t(kScanFoldersKept));
    EXPECT_EQ(count(path, "SELECT count(*) FROM scan_folder WHERE scan NOT IN (SELECT id FROM scan)"), 0);
    // Kept: the root and f299 .. f101; cut: f100's 1100 bytes.
    EXPECT_EQ(count(path, "SELECT min(bytes) FROM scan_folder"), 1101);
    EXPECT_EQ(count(path, "SELECT max(cut) FROM scan"), 1100);

    // f100 and f50 are kept now (the biggest ones shrank): they had at most
    // 1100 then, so f100 grew and f50 is not known to have.
    FolderTotals next{{"/r", 1'000'000'000}, {"/r/f100", 1150}, {"/r/f50", 1090}, {"/r/f299", 10}};
    store->RecordScan("uuid:d", "/r", T0 + 100, next);
    const auto grown = store->GrowthSinceLastScan("uuid:d", "/r", 10);
    ASSERT_EQ(grown.size(), 1u);
    EXPECT_EQ(grown[0].path, "/r/f100");
    EXPECT_FALSE(grown[0].before.has_value());
    EXPECT_EQ(grown[0].now, 1150u);
}

// A history written before scans were kept opens with its samples and gains
// the scan tables; read only, it tells no growth and is not changed.
TEST(ScanGrowth, AHistoryOfTheFirstVersionGainsTheScanTables)
{
    testsupport::TempFolder temp("velmora-growth");
    const std::string path = temp.File("history.sqlite");
    sql(path, R"sql(
        PRAGMA application_id = 1449946440; -- "VlmH"
        PRAGMA user_version = 1;
        CREATE TABLE volume(id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE, name TEXT NOT NULL,
          file_system TEXT NOT NULL, read_only INTEGER NOT NULL, first_seen INTEGER NOT NULL,
          last_seen INTEGER NOT NULL);
        CREATE TABLE capacity(volume INTEGER NOT NULL, t INTEGER NOT NULL, size INTEGER NOT NULL,
          files INTEGER, PRIMARY KEY(volume, t)) WITHOUT ROWID;
        CREATE TABLE minute(t INTEGER NOT NULL, volume INTEGER NOT NULL, avail INTEGER NOT NULL,
          PRIMARY KEY(t, volume)) WITHOUT ROWID;
        CREATE TABLE quarter(t INTEGER NOT NULL, volume INTEGER NOT NULL, avail INTEGER NOT NULL,
          files_free INTEGER, PRIMARY KEY(t, volume)) WITHOUT ROWID;
        INSERT INTO volume VALUES(1, 'uuid:d', '/data', 'ext4', 0, 1800000000, 1800000000);
        INSERT INTO capacity VALUES(1, 1800000000, 1000, NULL);
        INSERT INTO minute VALUES(1800000000, 1, 400);
    )sql");
    const std::string before = readAll(path);
    {
        auto store = HistoryStore::Open(path, HistoryStore::Mode::ReadOnly);
        EXPECT_EQ(store->Volumes().size(), 1u);
        EXPECT_THROW(store->GrowthSinceLastScan("uuid:d", "/data", 10), HistoryError);
    }
    EXPECT_EQ(readAll(path), before);

    auto store = HistoryStore::Open(path);
    EXPECT_TRUE(store->SetAside().empty()) << "an older history is not damaged";
    ASSERT_EQ(store->Volumes().size(), 1u);
    EXPECT_EQ(store->Minutes(1, 0, T0 + 60).size(), 1u);
    store->RecordScan("uuid:d", "/data", T0, {{"/data", 10}});
    store->RecordScan("uuid:d", "/data", T0 + 1, {{"/data", 30}});
    ASSERT_EQ(store->GrowthSinceLastScan("uuid:d", "/data", 10).size(), 1u);
    EXPECT_EQ(count(path, "PRAGMA user_version"), 2);
}

// Rows another program put in the scan tables are read within bounds, and
// what cannot be a folder's total is passed over; scan tables that are not
// this program's make the file one to set aside.
TEST(ScanGrowth, ACorruptScanTable)
{
    testsupport::TempFolder temp("velmora-growth");
    const std::string path = temp.File("history.sqlite");
    {
        auto store = HistoryStore::Open(path);
        store->RecordScan("uuid:d", "/r", T0, {{"/r", 100}, {"/r/a", 50}});
        store->RecordScan("uuid:d", "/r", T0 + 1, {{"/r", 100}, {"/r/a", 50}});
    }
    sql(path, R"sql(
        INSERT INTO scan_folder VALUES(2, CAST('/r/negative' AS BLOB), -5);
        INSERT INTO scan_folder VALUES(2, CAST('/r/text' AS BLOB), 'lots');
        INSERT INTO scan_folder VALUES(2, CAST('/r/real' AS BLOB), 9.5e300);
        INSERT INTO scan_folder VALUES(2, 42, 7);
        INSERT INTO scan_folder VALUES(2, zeroblob(5000), 7);
        INSERT INTO scan_folder VALUES(2, CAST('/r/fine' AS BLOB), 60);
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)
          INSERT INTO scan_folder SELECT 2, CAST('/r/many' || i AS BLOB), 1 FROM n;
    )sql");
    {
        auto store = HistoryStore::Open(path, HistoryStore::Mode::ReadOnly);
        const auto grown = store->GrowthSinceLastScan("uuid:d", "/r", 100000);
        EXPECT_LE(grown.size(), 4 * kScanFoldersKept);
        for (const FolderGrowth &g : grown) {
            EXPECT_TRUE(g.path == "/r/fine" || g.path.rfind("/r/many", 0) == 0) << g.path;
            EXPECT_LE(g.now, 60u);
        }
    }

    sql(path, "DROP TABLE scan_folder;");
    const std::string foreign = readAll(path);
    EXPECT_THROW(HistoryStore::Open(path, HistoryStore::Mode::ReadOnly), HistoryError);
    auto store = HistoryStore::Open(path);
    EXPECT_EQ(store->SetAside(), path + ".bad");
    EXPECT_EQ(readAll(path + ".bad"), foreign);
    store->RecordScan("uuid:d", "/r", T0, {{"/r", 1}});
}
