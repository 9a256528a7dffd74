// SPDX-License-Identifier: MIT
#pragma once

// What fills one drive: the scan of the drive on workers, its partial
// totals while it runs, then the breakdown the drive window shows (a place in
// the tree and what is in it, the biggest folders and files, the drive's
// space with its trash), and the commands on an item (move to the trash,
// delete for good, scan a folder again, empty the drive's trash). The
// window's thread never waits on the disk: every scan and every command runs
// on a thread of its own and comes back through a signal.

#include "history/HistoryStore.h"
#include "usage/Scanner.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QTimer;

class TDriveAnalysis : public QObject
{
    Q_OBJECT

public:
    // Where an item lives: which scan (0 the drive's, more for folders
    // scanned again) and which folder of it.
    struct TPlace
    {
        int Scan = 0;
        usage::FolderId Folder = 0;
        bool operator==(const TPlace &) const = default;
    };

    struct TItem
    {
        enum class TKind { Folder, File, OtherFiles };
        TKind Kind = TKind::Folder;
        QString Name;     // shown
        std::string Path; // its bytes, absolute (empty for OtherFiles)
        quint64 Size = 0; // space used on the disk
        // A folder that can be entered (not while the scan runs).
        bool Known = false;
        TPlace Place; // a folder's own place; a file's folder
    };

    // The drive as parts of its whole.
    struct TWhole
    {
        bool Known = false; // the drive's space was read
        quint64 Size = 0;
        quint64 Free = 0;      // what the user can still write
        quint64 InFolders = 0; // what the scan found, the trash left out
        quint64 Trash = 0;
        quint64 Other = 0; // in use but not found: reserve, unreadable folders, metadata
    };

    struct TProgress
    {
        quint64 Entries = 0;
        quint64 Bytes = 0;
        QString CurrentFolder;
    };

    enum class TState { Idle, Scanning, Done, Cancelled, Failed };

    // driveRoot: the drive's mount point (or folder) as the system names it.
    explicit TDriveAnalysis(std::string driveRoot, QObject *parent = nullptr);
    ~TDriveAnalysis() override;

    const std::string &DriveRoot() const { return FDriveRoot; }
    // Scans the drive (again); a scan already running is cancelled first.
    void Start();
    // Stops the scan: the state is Cancelled at once (Done for a folder
    // scanned again, whose old figures stay), and the workers stop between
    // two entries; what they found becomes browsable when they are done.
    void Cancel();
    TState State() const { return FState; }
    QString Error() const { return FError; }
    TProgress Progress() const { return FProgress; }

    // The items at the current place, biggest first: while the scan runs,
    // the drive's top folders with what was found in them so far.
    std::vector<TItem> Items() const;
    // The places from the drive down to the current one.
    std::vector<TItem> Trail() const;
    void Enter(const TItem &folder);
    void GoUpTo(int trailIndex);

    std::vector<TItem> BiggestFolders(std::size_t n) const;
    std::vector<TItem> BiggestFiles(std::size_t n) const;
    TWhole Whole() const { return FWhole; }
    // The trash folders counted in Whole().Trash.
    std::vector<std::string> TrashFolders() const { return FTrashFolders; }

    // The commands; each runs on a worker and ends with Done (or Problem).
    using TConfirm = std::function<bool(const TItem &item)>;
    void MoveToTrash(const TItem &item);
    // Asks confirm first; nothing happens when it says no (false then).
    bool DeleteForGood(const TItem &item, const TConfirm &confirm);
    void EmptyTrash();
    // Scans one folder again; its place shows the new figures when done.
    void ScanAgain(const TItem &folder);
    bool Busy() const { return FCommands > 0; }
    // How long the last cancelled scan took to stop after Cancel, in
    // milliseconds (-1: none was cancelled).
    double LastStopMilliseconds() const { return FLastStopMs; }

signals:
    // The breakdown changed: partial totals, the end of a scan, a command.
    void Changed();
    void ProgressChanged();
    // A command is over (ok or not).
    void Done();
    // A command failed: the text says what and why (program's words plus the
    // system's reason).
    void Problem(const QString &text);
    // A scan of the whole drive is over, not cancelled: the drive's root and
    // its biggest folders (history::kScanDepthKept levels down, at most
    // history::kScanFoldersKept), taken on the scan's worker. Not sent for a
    // folder scanned again, nor for a scan that failed or was cancelled.
    void DriveScanned(std::shared_ptr<const history::FolderTotals> totals);

private:
    struct TScan;
    struct TJob;

public:
    struct TFacts;

private:
    void ApplyFacts(const TFacts &facts);
    void Poll();
    void StartJob(std::shared_ptr<TJob> job);
    void Finish(const std::shared_ptr<TJob> &job);
    void Adjust(TPlace place, qint64 delta);
    void RunCommand(std::function<std::string()> work, std::function<void(const std::string &)> done);
    void RefreshSpace();
    TItem FolderItem(int scan, usage::FolderId id) const;
    quint64 SizeOf(int scan, usage::FolderId id) const;
    const usage::ScanTree &Tree(int scan) const;
    TPlace Resolve(TPlace place) const;
    bool Hidden(int scan, usage::FolderId id) const;

    std::string FDriveRoot;
    TState FState = TState::Idle;
    QString FError;
    TProgress FProgress;
    usage::ScanProgress FPartial;
    std::shared_ptr<TJob> FJob; // the drive's scan while it runs
    QTimer *FPoll;
    QElapsedTimer FSinceShown;
    bool FShownPartial = false;

    // The finished scans: the drive's first, then folders scanned again, each
    // standing in for a folder of an earlier one.
    std::vector<std::shared_ptr<TScan>> FScans;
    std::map<std::pair<int, usage::FolderId>, int> FOverlays;
    std::vector<TPlace> FTrail;
    std::set<std::pair<int, usage::FolderId>> FRemovedFolders;
    // What changed since a scan (moved to the trash, deleted, the trash
    // emptied, a folder scanned again), per scan and folder, added to the
    // scan's own figures.
    std::vector<std::map<usage::FolderId, qint64>> FDeltas;
    // Listed files gone from a folder since its scan.
    std::map<std::pair<int, usage::FolderId>, std::size_t> FGoneFiles;
    TWhole FWhole;
    std::vector<std::string> FTrashFolders;
    int FCommands = 0;
    double FLastStopMs = -1;
};
