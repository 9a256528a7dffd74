// SPDX-License-Identifier: MIT
// The history store against real files: what it keeps and for how long, the
// identity a history follows, and what it does with a damaged, foreign,
// locked or unwritable file, a full disk and a process killed in a batch.
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"

#include "Command.h"
#include "MountNamespace.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace history;

namespace {

constexpr std::int64_t T0 = 1'800'000'000; // 2027-01-15 08:00:00 UTC, on a quarter hour

DriveSample drive(const std::string &key, const std::string &name, std::uint64_t free,
                  std::uint64_t size = 100'000'000'000)
{
    DriveSample d;
    d.key = key;
    d.name = name;
    d.fileSystem = "ext4";
    d.freeBytes = free;
    d.sizeBytes = size;
    d.files = 6'000'000;
    d.filesFree = 5'000'000;
    return d;
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeAll(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// What the sqlite3 program prints for a query on the file, as a user would
// ask it (the README's examples).
std::string sqlite3Cli(const std::string &path, const std::string &sql)
{
    return testsupport::Capture("sqlite3 -readonly '" + path + "' \"" + sql + "\" 2>&1");
}

bool haveSqlite3Cli()
{
    return std::system("command -v sqlite3 >/dev/null 2>&1") == 0;
}

} // namespace

TEST(HistoryStore, KeepsMinutesTwoDaysAndQuarterMinimumsNinetyDays)
{
    testsupport::TempFolder dir;
    const std::string path = dir.File("state/velmora/history.sqlite");
    {
        auto store = HistoryStore::Open(path);
        // Three samples inside one quarter: the quarter keeps the least.
        store->Record(T0 + 0, {drive("uuid:a", "/data", 500)});
        store->Record(T0 + 60, {drive("uuid:a", "/data", 300)});
        store->Record(T0 + 120, {drive("uuid:a", "/data", 400)});
        const auto volumes = store->Volumes();
        ASSERT_EQ(volumes.size(), 1u);
        const auto minutes = store->Minutes(volumes[0].id, T0, T0 + 900);
        ASSERT_EQ(minutes.size(), 3u);
        EXPECT_EQ(minutes[1].freeBytes, 300u);
        const auto quarters = store->Quarters(volumes[0].id, T0, T0 + 900);
        ASSERT_EQ(quarters.size(), 1u);
        EXPECT_EQ(quarters[0].freeBytes, 300u);
        EXPECT_EQ(quarters[0].filesFree, 5'000'000u);

        // 50 hours later: the minutes are gone, the quarter stays.
        store->Record(T0 + 50 * 3600, {drive("uuid:a", "/data", 200)});
        EXPECT_EQ(store->Minutes(volumes[0].id, 0, T0 + 100 * 86400).size(), 1u);
        EXPECT_EQ(store->Quarters(volumes[0].id, 0, T0 + 100 * 86400).size(), 2u);
        // 91 days later the first quarter is gone too.
        store->Record(T0 + 91 * 86400, {drive("uuid:a", "/data", 100)});
        const auto left = store->Quarters(volumes[0].id, 0, T0 + 100 * 86400);
        ASSERT_EQ(left.size(), 2u);
        EXPECT_EQ(left[0].time, T0 + 50 * 3600);
    }
    if (!haveSqlite3Cli())
        GTEST_SKIP() << "sqlite3 is not installed";
    // The tables as the README shows them.
    EXPECT_EQ(sqlite3Cli(path, "SELECT name, avail FROM minute JOIN volume ON volume.id = minute.volume"),
              "/data|100\n");
    EXPECT_EQ(sqlite3Cli(path, "SELECT name, time, avail, size FROM samples"),
              "/data|2027-04-16 08:00:00|100|100000000000\n");
    EXPECT_EQ(sqlite3Cli(path, "PRAGMA journal_mode"), "wal\n");
}

TEST(HistoryStore, AHistoryFollowsItsFileSystemToAnotherMountPath)
{
    auto store = HistoryStore::Open(":memory:");
    store->Record(T0, {drive("uuid:a", "/media/usb", 500), drive("path:tmpfs:/tmp", "/tmp", 9)});
    store->Record(T0 + 60, {drive("uuid:a", "/mnt/backup", 400)});
    const auto volumes = store->Volumes();
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_EQ(volumes[0].name, "/mnt/backup");
    EXPECT_EQ(store->Minutes(volumes[0].id, 0, T0 + 60).size(), 2u);
    EXPECT_EQ(DriveKey("0b1c-77", "/media/usb", "vfat"), "uuid:0b1c-77");
    EXPECT_EQ(DriveKey("", "/tmp", "tmpfs"), "path:tmpfs:/tmp");
}

TEST(HistoryStore, ADamagedOrForeignFileIsSetAsideAndANewOneBegun)
{
    testsupport::TempFolder dir;
    const std::string good = dir.File("good.sqlite");
    {
        auto store = HistoryStore::Open(good);
        for (int m = 0; m < 400; ++m)
            store->Record(T0 + m * 60, {drive("uuid:a", "/data", 1000 + m), drive("uuid:b", "/b", 7)});
    }
    const std::string bytes = readAll(good);
    ASSERT_GT(bytes.size(), 8192u);
    std::string damaged = bytes;
    // Overwrite the pages past the first with noise.
    for (std::size_t i = 4096; i < damaged.size(); ++i)
        damaged[i] = static_cast<char>(i * 131 % 251);

    struct Case
    {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"not a database", "these are not the bytes of a database\n"},
        {"a history cut in half", bytes.substr(0, bytes.size() / 2)},
        {"pages of noise", damaged},
        {"another program's database", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File("history.sqlite");
        std::filesystem::remove(path);
        if (c.bytes.empty()) {
            sqlite3 *db = nullptr;
            ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
            sqlite3_exec(db, "CREATE TABLE minute(x); INSERT INTO minute VALUES(1);", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        } else {
            writeAll(path, c.bytes);
        }
        const std::string before = readAll(path);
        EXPECT_THROW(HistoryStore::Open(path, HistoryStore::Mode::ReadOnly), HistoryError);
        EXPECT_EQ(readAll(path), before) << "a reader changed the file";
        auto store = HistoryStore::Open(path);
        EXPECT_EQ(store->SetAside(), path + ".bad");
        EXPECT_EQ(readAll(path + ".bad"), before);
        store->Record(T0, {drive("uuid:a", "/data", 1)});
        EXPECT_EQ(store->Volumes().size(), 1u);
    }
}

TEST(HistoryStore, ReadsOfAHostileFileAreBoundedAndSane)
{
    testsupport::TempFolder dir;
    const std::string path = dir.File("history.sqlite");
    {
        auto store = HistoryStore::Open(path);
        store->Record(T0, {drive("uuid:a", "/data", 1000)});
    }
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const char *hostile = R"sql(
        INSERT INTO minute VALUES(1800000060, 1, -5);
        INSERT INTO minute VALUES(1800000120, 1, 'lots');
        INSERT INTO minute VALUES(1800000180, 1, 9.5e300);
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000)
          INSERT INTO minute SELECT 1700000000 + i, 1, 7 FROM n;
        INSERT INTO volume(key, name, file_system, read_only, first_seen, last_seen)
          VALUES('', 'no key', 'x', 0, 0, 0);
    )sql";
    ASSERT_EQ(sqlite3_exec(db, hostile, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    auto store = HistoryStore::Open(path, HistoryStore::Mode::ReadOnly);
    const auto volumes = store->Volumes();
    ASSERT_EQ(volumes.size(), 1u);
    const auto minutes = store->Minutes(volumes[0].id, 0, T0 + 86400);
    EXPECT_LE(minutes.size(), kMaxPoints);
    for (const Point &p : minutes)
        EXPECT_TRUE(p.freeBytes == 7 || p.freeBytes == 1000) << p.freeBytes;
    // The newest rows are the ones kept.
    EXPECT_EQ(minutes.back().time, T0);
}

TEST(HistoryStore, ALockHeldElsewhereDropsTheBatchNotTheStore)
{
    testsupport::TempFolder dir;
    const std::string path = dir.File("history.sqlite");
    auto store = HistoryStore::Open(path);
    store->Record(T0, {drive("uuid:a", "/data", 1000)});

    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    try {
        store->Record(T0 + 60, {drive("uuid:a", "/data", 900)});
        ADD_FAILURE() << "a batch went through a lock";
    } catch (const HistoryCorrupt &) {
        ADD_FAILURE() << "a lock was taken for damage";
    } catch (const HistoryError &) {}
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    store->Record(T0 + 120, {drive("uuid:a", "/data", 800)});
    const auto minutes = store->Minutes(store->Volumes().at(0).id, 0, T0 + 600);
    ASSERT_EQ(minutes.size(), 2u);
    EXPECT_EQ(minutes[1].freeBytes, 800u);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
}

TEST(HistoryStore, AProcessKilledInABatchLosesNoCommittedRowAndLeavesASoundFile)
{
    testsupport::TempFolder dir;
    const std::string path = dir.File("history.sqlite");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        try {
            auto store = HistoryStore::Open(path);
            std::vector<DriveSample> drives;
            for (int d = 0; d < 20; ++d)
                drives.push_back(drive("uuid:" + std::to_string(d), "/d" + std::to_string(d), 1000));
            for (std::int64_t m = 0;; ++m) {
                store->Record(T0 + m * 60, drives);
                // Told only once the batch is committed.
                if (::write(fds[1], &m, sizeof m) != sizeof m)
                    ::_exit(2);
            }
        } catch (...) {
            ::_exit(1);
        }
    }
    ::close(fds[1]);
    std::int64_t committed = -1;
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(::read(fds[0], &committed, sizeof committed), static_cast<ssize_t>(sizeof committed));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    // What the child wrote after the last report may or may not be there.
    std::int64_t more = 0;
    while (::read(fds[0], &more, sizeof more) == static_cast<ssize_t>(sizeof more))
        committed = more;
    ::close(fds[0]);

    auto store = HistoryStore::Open(path);
    EXPECT_TRUE(store->SetAside().empty()) << "the file was found damaged";
    const auto volumes = store->Volumes();
    ASSERT_EQ(volumes.size(), 20u);
    for (const Volume &v : volumes)
        EXPECT_GE(static_cast<std::int64_t>(store->Minutes(v.id, 0, T0 + 86400 * 10).size()), committed + 1);
}

namespace {

// A tmpfs of its own below a test folder, in the test's mount namespace.
class SmallMount
{
public:
    SmallMount(const std::string &folder, const std::string &options) : m_folder(folder)
    {
        std::filesystem::create_directories(folder);
        m_ok = ::mount("velmora-test", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallMount()
    {
        if (m_ok)
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    bool ok() const { return m_ok; }

private:
    std::string m_folder;
    bool m_ok = false;
};

} // namespace

TEST(HistoryStore, AFullDiskDropsBatchesUntilThereIsRoomAgain)
{
    if (const std::string why = testsupport::IsolateMounts(); !why.empty())
        GTEST_SKIP() << why;
    testsupport::TempFolder dir;
    SmallMount small(dir.File("small"), "size=4m");
    ASSERT_TRUE(small.ok());
    const std::string path = dir.File("small/history.sqlite");
    auto store = HistoryStore::Open(path);
    std::vector<DriveSample> drives;
    for (int d = 0; d < 20; ++d)
        drives.push_back(drive("uuid:" + std::to_string(d), "/d" + std::to_string(d), 1000 + d));
    store->Record(T0, drives);
    // Something else takes every byte that is left.
    {
        std::ofstream ballast(dir.File("small/ballast"), std::ios::binary);
        const std::string block(65536, 'x');
        while (ballast.write(block.data(), block.size()))
            ;
    }
    int failed = 0;
    std::int64_t m = 1;
    for (; m < 200; ++m) {
        try {
            store->Record(T0 + m * 60, drives);
        } catch (const HistoryCorrupt &) {
            FAIL() << "a full disk was taken for damage";
        } catch (const HistoryError &) {
            ++failed;
        }
    }
    EXPECT_GT(failed, 0) << "the disk never filled";
    std::filesystem::remove(dir.File("small/ballast"));
    store->Record(T0 + m * 60, drives);
    const auto volumes = store->Volumes();
    ASSERT_EQ(volumes.size(), 20u);
    EXPECT_EQ(store->Minutes(volumes[0].id, T0 + m * 60, T0 + m * 60).size(), 1u);
    // The file is sound: a fresh open finds nothing to set aside.
    store.reset();
    EXPECT_TRUE(HistoryStore::Open(path)->SetAside().empty());
}

TEST(HistoryRecorder, AReadOnlyStateFolderKeepsTheHistoryInMemory)
{
    if (const std::string why = testsupport::IsolateMounts(); !why.empty())
        GTEST_SKIP() << why;
    testsupport::TempFolder dir;
    SmallMount readOnly(dir.File("state"), "size=1m,mode=0555");
    ASSERT_TRUE(readOnly.ok());
    ASSERT_EQ(::mount(nullptr, dir.File("state").c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    std::vector<std::string> reports;
    std::mutex m;
    {
        HistoryRecorder recorder(
            dir.File("state/velmora/history.sqlite"), [](std::vector<DriveSample> &) {},
            [&](const std::string &r) {
                std::lock_guard<std::mutex> lock(m);
                reports.push_back(r);
            });
        for (int minute = 0; minute < 90; ++minute) {
            recorder.Submit(T0 + minute * 60,
                            {drive("uuid:a", "/data", 50'000'000'000 - minute * 100'000'000ull)});
            recorder.Flush();
        }
        const auto trends = recorder.Trends();
        ASSERT_EQ(trends.count("uuid:a"), 1u);
        EXPECT_EQ(trends.at("uuid:a").combined.state, Forecast::State::Filling);
        EXPECT_EQ(recorder.Written(), 90u);
    }
    ASSERT_FALSE(reports.empty());
    EXPECT_NE(reports[0].find("in memory"), std::string::npos) << reports[0];
}

TEST(HistoryRecorder, SubmitKeepsOneBatchAMinute)
{
    testsupport::TempFolder dir;
    HistoryRecorder recorder(dir.File("history.sqlite"), [](std::vector<DriveSample> &) {});
    for (int s = 0; s < 180; s += 5) {
        recorder.Submit(T0 + s, {drive("uuid:a", "/data", 1000 - s)});
        recorder.Flush();
    }
    EXPECT_EQ(recorder.Written(), 3u);
}
