// SPDX-License-Identifier: MIT
// The store of a build without SQLite (a MinGW build configured without the
// library scripts/build-sqlite-mingw.sh makes): no database can be had, so
// the recorder keeps nothing, the window shows no forecast and
// Velmora_DiskTrend lists no drive.
#include "history/HistoryStore.h"

namespace history {

std::string DriveKey(const std::string &serial, const std::string &name, const std::string &fileSystem)
{
    if (!serial.empty())
        return "uuid:" + serial;
    return "path:" + fileSystem + ":" + name;
}

std::unique_ptr<HistoryStore> HistoryStore::Open(const std::string &, Mode)
{
    throw HistoryError("history database: this build has no SQLite");
}

HistoryStore::HistoryStore(sqlite3 *db, std::string path) : m_db(db), m_path(std::move(path)) {}
HistoryStore::~HistoryStore() = default;

void HistoryStore::Record(std::int64_t, const std::vector<DriveSample> &) {}

std::vector<Volume> HistoryStore::Volumes() const
{
    return {};
}

std::vector<Point> HistoryStore::Minutes(std::int64_t, std::int64_t, std::int64_t) const
{
    return {};
}

std::vector<Point> HistoryStore::Quarters(std::int64_t, std::int64_t, std::int64_t) const
{
    return {};
}

void HistoryStore::RecordScan(const std::string &, const std::string &, std::int64_t, const FolderTotals &) {}

std::size_t HistoryStore::ScanCount(const std::string &, const std::string &) const
{
    return 0;
}

std::vector<FolderGrowth> HistoryStore::GrowthSinceLastScan(const std::string &, const std::string &,
                                                            std::size_t) const
{
    return {};
}

} // namespace history
