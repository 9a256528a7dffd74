// SPDX-License-Identifier: MIT
#include "analysis/DriveAnalysis.h"

#include "analysis/AnalysisLog.h"
#include "localization/ConstantText.h"
#include "platform/DirectoryReader.h"
#include "platform/DriveTrash.h"

#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

// How often the worker is looked at, and how often partial totals are shown.
constexpr int kPollMs = 50;
constexpr qint64 kShowEveryMs = 250;

QString Shown(const std::string &bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string Join(const std::string &folder, std::string_view name)
{
    std::string path = folder;
    if (path.empty() || path.back() != platform::kPathSeparator)
        path += platform::kPathSeparator;
    path.append(name);
    return path;
}

bool Inside(const std::string &path, const std::string &root)
{
    if (path == root)
        return true;
    const std::string prefix = root.empty() || root.back() == platform::kPathSeparator
        ? root
        : root + platform::kPathSeparator;
    return path.starts_with(prefix);
}

} // namespace

// What the drive holds besides its folders: its space and its trash, read on
// a worker.
struct TDriveAnalysis::TFacts
{
    bool HaveSpace = false;
    platform::DriveSpace Space;
    std::vector<std::string> TrashFolders;
    std::vector<quint64> TrashSizes;
};

namespace {

TDriveAnalysis::TFacts ReadFacts(const std::string &root)
{
    TDriveAnalysis::TFacts facts;
    std::string error;
    facts.HaveSpace = platform::ReadDriveSpace(root, facts.Space, error);
    if (!facts.HaveSpace)
        qCInfo(lcAnalysis).noquote() << "drive space unknown:" << Shown(error);
    facts.TrashFolders = platform::TrashFolders(root);
    for (const std::string &folder : facts.TrashFolders) {
        usage::Scanner scan({.root = folder, .parallelReads = 2, .biggestFiles = 0});
        quint64 size = 0;
        if (scan.Start(error)) {
            scan.Wait();
            size = scan.Tree().Allocated();
        }
        facts.TrashSizes.push_back(size);
    }
    return facts;
}

// Runs work on a thread of its own; done runs on context's thread afterwards,
// unless context is gone by then.
void OffThread(QObject *context, std::function<void()> work, std::function<void()> done)
{
    QThread *thread = QThread::create(std::move(work));
    QObject::connect(thread, &QThread::finished, context, std::move(done));
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start(QThread::LowPriority);
}

} // namespace

struct TDriveAnalysis::TScan
{
    std::unique_ptr<usage::Scanner> Scanner;
    std::vector<usage::FileItem> Files; // the biggest files that are still there
    TPlace Anchor;                      // for a folder scanned again: the folder it stands for
};

// One scan on its worker: the drive's, or one folder's again.
struct TDriveAnalysis::TJob
{
    std::string Root;
    bool Drive = true;
    TPlace For; // the folder scanned again

    std::mutex Lock;
    std::unique_ptr<usage::Scanner> Scanner; // once it has started
    bool CancelAsked = false;
    Clock::time_point StartedAt = Clock::now(), CancelledAt, StoppedAt;
    std::string Error;
    std::atomic<bool> Over{false};
    TFacts Facts;
    // The drive's biggest folders, when the scan ran to its end.
    std::shared_ptr<history::FolderTotals> Totals;

    void Run()
    {
        auto scanner = std::make_unique<usage::Scanner>(usage::ScanOptions{.root = Root});
        std::string error;
        const bool started = scanner->Start(error);
        usage::Scanner *running = nullptr;
        {
            std::lock_guard guard(Lock);
            if (!started)
                Error = error;
            Scanner = std::move(scanner);
            if (started) {
                running = Scanner.get();
                if (CancelAsked)
                    running->Cancel();
            }
        }
        if (running) {
            running->Wait();
            std::lock_guard guard(Lock);
            StoppedAt = Clock::now();
        }
        if (!Drive || !started)
            return;
        if (!running->Cancelled()) {
            Facts = ReadFacts(Root);
            Totals = std::make_shared<history::FolderTotals>(
                running->Tree().TopFolders(history::kScanDepthKept, history::kScanFoldersKept));
        } else
            Facts.HaveSpace = platform::ReadDriveSpace(Root, Facts.Space, error);
    }

    void Cancel()
    {
        std::lock_guard guard(Lock);
        if (CancelAsked)
            return;
        CancelAsked = true;
        CancelledAt = Clock::now();
        if (Scanner && Error.empty())
            Scanner->Cancel();
    }

    bool Snapshot(usage::ScanProgress &progress)
    {
        std::lock_guard guard(Lock);
        if (!Scanner || !Error.empty())
            return false;
        progress = Scanner->Snapshot();
        return true;
    }
};

TDriveAnalysis::TDriveAnalysis(std::string driveRoot, QObject *parent)
    : QObject(parent), FDriveRoot(std::move(driveRoot)), FPoll(new QTimer(this))
{
    FPoll->setInterval(kPollMs);
    connect(FPoll, &QTimer::timeout, this, &TDriveAnalysis::Poll);
}

TDriveAnalysis::~TDriveAnalysis()
{
    // The worker ends on its own; nothing here waits for it.
    if (FJob)
        FJob->Cancel();
}

void TDriveAnalysis::Start()
{
    auto job = std::make_shared<TJob>();
    job->Root = FDriveRoot;
    StartJob(std::move(job));
}

void TDriveAnalysis::StartJob(std::shared_ptr<TJob> job)
{
    if (FJob)
        FJob->Cancel();
    FJob = job;
    FState = TState::Scanning;
    FError.clear();
    FProgress = {};
    FPartial = {};
    FShownPartial = false;
    FSinceShown.start();
    if (job->Drive) {
        FScans.clear();
        FGoneFiles.clear();
        FDeltas.clear();
        FOverlays.clear();
        FRemovedFolders.clear();
        FTrail.clear();
    }
    qCDebug(lcAnalysis).noquote() << "scanning" << Shown(job->Root);
    OffThread(
        this, [job] { job->Run(); },
        [this, job] {
            job->Over = true;
            Finish(job);
        });
    FPoll->start();
    emit Changed();
    emit ProgressChanged();
}

void TDriveAnalysis::Cancel()
{
    if (!FJob)
        return;
    FJob->Cancel();
    // The window shows what was found at once; the workers wind down at
    // their low priority, and their tree is taken when they are done.
    if (FState == TState::Scanning) {
        FState = FJob->Drive ? TState::Cancelled : TState::Done;
        emit ProgressChanged();
        emit Changed();
    }
}

void TDriveAnalysis::Poll()
{
    const std::shared_ptr<TJob> job = FJob;
    if (!job) {
        FPoll->stop();
        return;
    }
    if (FState != TState::Scanning)
        return; // cancelled: the figures stay as they were shown
    // A few times a second at most; the first partial breakdown as soon as
    // the drive's top folders are known.
    const bool waitingForFirst = job->Drive && !FShownPartial;
    if (!waitingForFirst && FSinceShown.elapsed() < kShowEveryMs)
        return;
    usage::ScanProgress progress;
    if (!job->Snapshot(progress))
        return;
    const bool first = waitingForFirst && !progress.branches.empty();
    if (!first && FSinceShown.elapsed() < kShowEveryMs)
        return;
    FSinceShown.restart();
    FProgress = {progress.entries, progress.allocated, Shown(progress.currentFolder)};
    emit ProgressChanged();
    if (job->Drive && !progress.branches.empty()) {
        FShownPartial = true;
        FPartial = std::move(progress);
        emit Changed();
    }
}

void TDriveAnalysis::Finish(const std::shared_ptr<TJob> &job)
{
    if (job != FJob)
        return; // replaced by a later scan
    FJob.reset();
    FPoll->stop();
    std::unique_lock guard(job->Lock);
    if (job->CancelAsked && job->StoppedAt != Clock::time_point()) {
        FLastStopMs = std::chrono::duration<double, std::milli>(job->StoppedAt - job->CancelledAt).count();
        qCInfo(lcAnalysis).noquote() << "scan of" << Shown(job->Root) << "stopped"
                                     << QString::number(FLastStopMs, 'f', 1) << "ms after Cancel";
    }
    if (!job->Error.empty()) {
        FState = TState::Failed;
        FError = Shown(job->Error);
        qCInfo(lcAnalysis).noquote() << "scan of" << Shown(job->Root) << "failed:" << FError;
        emit ProgressChanged();
        emit Changed();
        return;
    }
    auto scan = std::make_shared<TScan>();
    scan->Scanner = std::move(job->Scanner);
    scan->Files = scan->Scanner->Tree().BiggestFiles();
    const bool cancelled = job->CancelAsked;
    std::shared_ptr<const history::FolderTotals> totals = job->Drive && !cancelled ? job->Totals : nullptr;
    const usage::ScanTree &tree = scan->Scanner->Tree();
    FProgress = {tree.FileCount() + tree.FolderCount(), tree.Allocated(), QString()};
    guard.unlock();
    if (job->Drive) {
        FScans = {scan};
        FDeltas.assign(1, {});
        FTrail = {TPlace{0, 0}};
        ApplyFacts(job->Facts);
        FState = cancelled ? TState::Cancelled : TState::Done;
    } else if (!cancelled) {
        // The folder's new figures stand in for the old ones from now on.
        const TPlace place = job->For;
        const qint64 delta = qint64(tree.Allocated()) - qint64(SizeOf(place.Scan, place.Folder));
        if (place.Folder == 0 && place.Scan > 0) {
            scan->Anchor = FScans[std::size_t(place.Scan)]->Anchor;
            const TPlace anchor = scan->Anchor;
            FScans[std::size_t(place.Scan)] = scan;
            FDeltas[std::size_t(place.Scan)].clear();
            std::erase_if(FGoneFiles, [&](const auto &gone) { return gone.first.first == place.Scan; });
            Adjust(anchor, delta);
        } else {
            scan->Anchor = place;
            Adjust(place, delta);
            FScans.push_back(scan);
            FDeltas.emplace_back();
            FOverlays[{place.Scan, place.Folder}] = int(FScans.size() - 1);
            // A trail through the folder goes on in its new scan.
            const auto at = std::find(FTrail.begin(), FTrail.end(), place);
            if (at != FTrail.end()) {
                FTrail.erase(at + 1, FTrail.end());
                FTrail.back() = TPlace{int(FScans.size() - 1), 0};
            }
        }
        FState = TState::Done;
        RefreshSpace();
    } else {
        FState = TState::Done; // the old figures stay
    }
    FPartial = {};
    qCDebug(lcAnalysis).noquote()
        << "scan of" << Shown(job->Root) << (cancelled ? "cancelled" : "done") << "in"
        << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - job->StartedAt).count()
        << "ms:" << FProgress.Entries << "entries," << FProgress.Bytes << "bytes";
    emit ProgressChanged();
    emit Changed();
    if (totals)
        emit DriveScanned(std::move(totals));
}

const usage::ScanTree &TDriveAnalysis::Tree(int scan) const
{
    return FScans[std::size_t(scan)]->Scanner->Tree();
}

quint64 TDriveAnalysis::SizeOf(int scan, usage::FolderId id) const
{
    const auto &deltas = FDeltas[std::size_t(scan)];
    const auto delta = deltas.find(id);
    const qint64 size = qint64(Tree(scan).Folder(id).allocated) + (delta == deltas.end() ? 0 : delta->second);
    return quint64(std::max<qint64>(size, 0));
}

void TDriveAnalysis::Adjust(TPlace place, qint64 delta)
{
    for (;;) {
        auto &deltas = FDeltas[std::size_t(place.Scan)];
        const usage::ScanTree &tree = Tree(place.Scan);
        for (usage::FolderId at = place.Folder;; at = tree.Folder(at).parent) {
            deltas[at] += delta;
            if (at == 0)
                break;
        }
        if (place.Scan == 0)
            return;
        place = FScans[std::size_t(place.Scan)]->Anchor;
    }
}

TDriveAnalysis::TPlace TDriveAnalysis::Resolve(TPlace place) const
{
    for (;;) {
        const auto overlay = FOverlays.find({place.Scan, place.Folder});
        if (overlay == FOverlays.end())
            return place;
        place = TPlace{overlay->second, 0};
    }
}

bool TDriveAnalysis::Hidden(int scan, usage::FolderId id) const
{
    return FRemovedFolders.count({scan, id}) > 0;
}

TDriveAnalysis::TItem TDriveAnalysis::FolderItem(int scan, usage::FolderId id) const
{
    const usage::ScanTree &tree = Tree(scan);
    TItem item;
    item.Kind = TItem::TKind::Folder;
    item.Name = scan == 0 && id == 0 ? Shown(tree.RootPath()) : Shown(std::string(tree.Name(id)));
    item.Path = tree.Path(id);
    item.Place = Resolve(TPlace{scan, id});
    item.Size = SizeOf(item.Place.Scan, item.Place.Folder);
    item.Known = true;
    return item;
}

std::vector<TDriveAnalysis::TItem> TDriveAnalysis::Items() const
{
    std::vector<TItem> items;
    if (FScans.empty()) {
        // While the drive's scan runs: its top folders so far.
        for (const usage::ScanProgress::Branch &branch : FPartial.branches) {
            TItem item;
            item.Name = Shown(branch.name);
            item.Path = Join(FDriveRoot, branch.name);
            item.Size = branch.allocated;
            items.push_back(std::move(item));
        }
        if (FPartial.rootFiles > 0) {
            TItem files;
            files.Kind = TItem::TKind::OtherFiles;
            files.Name = ConstantText(QStringLiteral("msgOtrosArchivos"));
            files.Size = FPartial.rootFiles;
            items.push_back(std::move(files));
        }
        return items;
    }
    const TPlace here = FTrail.back();
    const usage::ScanTree &tree = Tree(here.Scan);
    const usage::FolderRecord &record = tree.Folder(here.Folder);
    quint64 listed = 0;
    for (std::uint32_t i = 0; i < record.childCount; ++i) {
        const usage::FolderId child = record.firstChild + i;
        if (Hidden(here.Scan, child))
            continue;
        items.push_back(FolderItem(here.Scan, child));
        listed += items.back().Size;
    }
    const std::string folderPath = tree.Path(here.Folder);
    for (const usage::FileItem &file : FScans[std::size_t(here.Scan)]->Files) {
        if (file.folder != here.Folder)
            continue;
        TItem item;
        item.Kind = TItem::TKind::File;
        item.Name = Shown(file.name);
        item.Path = Join(folderPath, file.name);
        item.Size = file.allocated;
        item.Place = here;
        item.Known = true;
        listed += item.Size;
        items.push_back(std::move(item));
    }
    // The folder's own files that no list holds, if any: what is left of
    // its size beyond the listed items (the folder's own blocks alone make
    // no such item).
    std::uint64_t ownFiles = record.files;
    for (std::uint32_t i = 0; i < record.childCount; ++i)
        ownFiles -= std::min(ownFiles, tree.Folder(record.firstChild + i).files);
    std::size_t listedFiles = 0;
    for (const usage::FileItem &file : FScans[std::size_t(here.Scan)]->Files)
        listedFiles += file.folder == here.Folder;
    const auto gone = FGoneFiles.find({here.Scan, here.Folder});
    listedFiles += gone == FGoneFiles.end() ? 0 : gone->second;
    const quint64 total = SizeOf(here.Scan, here.Folder);
    if (ownFiles > listedFiles && total > listed) {
        TItem rest;
        rest.Kind = TItem::TKind::OtherFiles;
        rest.Name = ConstantText(QStringLiteral("msgOtrosArchivos"));
        rest.Size = total - listed;
        rest.Place = here;
        items.push_back(std::move(rest));
    }
    std::stable_sort(items.begin(), items.end(), [](const TItem &a, const TItem &b) { return a.Size > b.Size; });
    return items;
}

std::vector<TDriveAnalysis::TItem> TDriveAnalysis::Trail() const
{
    std::vector<TItem> trail;
    for (const TPlace &place : FTrail) {
        TItem item = FolderItem(place.Scan, place.Folder);
        if (place.Folder == 0 && place.Scan > 0) {
            const std::string &path = Tree(place.Scan).RootPath();
            item.Name = Shown(path.substr(path.find_last_of(platform::kPathSeparator) + 1));
        }
        trail.push_back(std::move(item));
    }
    if (trail.empty()) {
        TItem drive;
        drive.Name = Shown(FDriveRoot);
        drive.Path = FDriveRoot;
        trail.push_back(std::move(drive));
    }
    return trail;
}

void TDriveAnalysis::Enter(const TItem &folder)
{
    if (FScans.empty() || folder.Kind != TItem::TKind::Folder || !folder.Known)
        return;
    const TPlace place = Resolve(folder.Place);
    // The trail from the drive down to the folder, wherever it is (a folder
    // of a list may lie several levels below the place shown).
    std::vector<TPlace> down;
    TPlace at = place;
    for (;;) {
        down.push_back(at);
        if (at == TPlace{0, 0})
            break;
        if (at.Folder == 0) {
            // Up from a folder scanned again: the folder of the scan before it.
            const TPlace anchor = FScans[std::size_t(at.Scan)]->Anchor;
            at = TPlace{anchor.Scan, Tree(anchor.Scan).Folder(anchor.Folder).parent};
            if (anchor.Folder == 0)
                at = anchor;
            continue;
        }
        at = TPlace{at.Scan, Tree(at.Scan).Folder(at.Folder).parent};
    }
    std::reverse(down.begin(), down.end());
    // Places that an overlay stands in for do not show in a trail.
    std::vector<TPlace> trail;
    for (const TPlace &step : down)
        if (Resolve(step) == step)
            trail.push_back(step);
    FTrail = std::move(trail);
    emit Changed();
}

void TDriveAnalysis::GoUpTo(int trailIndex)
{
    if (trailIndex < 0 || std::size_t(trailIndex) + 1 >= FTrail.size())
        return;
    FTrail.resize(std::size_t(trailIndex) + 1);
    emit Changed();
}

std::vector<TDriveAnalysis::TItem> TDriveAnalysis::BiggestFolders(std::size_t n) const
{
    std::vector<TItem> items;
    for (int s = 0; s < int(FScans.size()); ++s) {
        const usage::ScanTree &tree = Tree(s);
        std::vector<usage::FolderId> ids = tree.BiggestFolders(n + FRemovedFolders.size() + FOverlays.size() + 1);
        if (s > 0)
            ids.push_back(0);
        for (usage::FolderId id : ids) {
            // Left out: folders gone, and those a later scan stands in for.
            bool stale = false;
            for (usage::FolderId at = id;; at = tree.Folder(at).parent) {
                if (Hidden(s, at) || FOverlays.count({s, at})) {
                    stale = true;
                    break;
                }
                if (at == 0)
                    break;
            }
            if (!stale)
                items.push_back(FolderItem(s, id));
        }
    }
    std::stable_sort(items.begin(), items.end(), [](const TItem &a, const TItem &b) { return a.Size > b.Size; });
    if (items.size() > n)
        items.resize(n);
    return items;
}

std::vector<TDriveAnalysis::TItem> TDriveAnalysis::BiggestFiles(std::size_t n) const
{
    std::vector<TItem> items;
    for (int s = 0; s < int(FScans.size()); ++s) {
        const usage::ScanTree &tree = Tree(s);
        for (const usage::FileItem &file : FScans[std::size_t(s)]->Files) {
            bool stale = false;
            for (usage::FolderId at = file.folder;; at = tree.Folder(at).parent) {
                if (Hidden(s, at) || FOverlays.count({s, at})) {
                    stale = true;
                    break;
                }
                if (at == 0)
                    break;
            }
            if (stale)
                continue;
            TItem item;
            item.Kind = TItem::TKind::File;
            item.Name = Shown(file.name);
            item.Path = Join(tree.Path(file.folder), file.name);
            item.Size = file.allocated;
            item.Place = TPlace{s, file.folder};
            item.Known = true;
            items.push_back(std::move(item));
        }
    }
    std::stable_sort(items.begin(), items.end(), [](const TItem &a, const TItem &b) { return a.Size > b.Size; });
    if (items.size() > n)
        items.resize(n);
    return items;
}

void TDriveAnalysis::RunCommand(std::function<std::string()> work, std::function<void(const std::string &)> done)
{
    ++FCommands;
    auto error = std::make_shared<std::string>();
    OffThread(
        this, [work = std::move(work), error] { *error = work(); },
        [this, done = std::move(done), error] {
            --FCommands;
            done(*error);
        });
}

void TDriveAnalysis::MoveToTrash(const TItem &item)
{
    if (item.Kind == TItem::TKind::OtherFiles || item.Path.empty() || FScans.empty())
        return;
    const QString path = Shown(item.Path);
    qCDebug(lcAnalysis).noquote() << "moving to the trash:" << path;
    RunCommand(
        [path]() -> std::string {
            QFile file(path);
            if (file.moveToTrash())
                return {};
            const QString reason = file.errorString();
            return reason.isEmpty() ? std::string("?") : reason.toStdString();
        },
        [this, item](const std::string &error) {
            if (!error.empty()) {
                emit Problem(ConstantText(QStringLiteral("msgErrorPapelera"))
                                 .arg(Shown(item.Path), QString::fromStdString(error)));
            } else {
                // Gone from its folder; the trash grows (read again below).
                if (item.Kind == TItem::TKind::Folder) {
                    Adjust(item.Place, -qint64(SizeOf(item.Place.Scan, item.Place.Folder)));
                    FRemovedFolders.insert({item.Place.Scan, item.Place.Folder});
                } else {
                    Adjust(item.Place, -qint64(item.Size));
                    auto &files = FScans[std::size_t(item.Place.Scan)]->Files;
                    const std::string name = item.Path.substr(item.Path.find_last_of(platform::kPathSeparator)
                                                              + 1);
                    FGoneFiles[{item.Place.Scan, item.Place.Folder}] += std::erase_if(
                        files,
                        [&](const usage::FileItem &f) { return f.folder == item.Place.Folder && f.name == name; });
                }
            }
            RefreshSpace();
            emit Changed();
            emit Done();
        });
}

bool TDriveAnalysis::DeleteForGood(const TItem &item, const TConfirm &confirm)
{
    if (item.Kind == TItem::TKind::OtherFiles || item.Path.empty() || FScans.empty())
        return false;
    if (!confirm || !confirm(item))
        return false;
    const std::string path = item.Path;
    qCDebug(lcAnalysis).noquote() << "deleting for good:" << Shown(path);
    RunCommand(
        [path] {
            std::string error;
            platform::RemoveTree(path, error);
            return error;
        },
        [this, item](const std::string &error) {
            // A folder of which some stayed is scanned again, to show what.
            if (item.Kind == TItem::TKind::Folder && !error.empty()) {
                ScanAgain(item);
            } else if (item.Kind == TItem::TKind::Folder) {
                Adjust(item.Place, -qint64(SizeOf(item.Place.Scan, item.Place.Folder)));
                FRemovedFolders.insert({item.Place.Scan, item.Place.Folder});
            } else if (error.empty()) {
                Adjust(item.Place, -qint64(item.Size));
                auto &files = FScans[std::size_t(item.Place.Scan)]->Files;
                const std::string name = item.Path.substr(item.Path.find_last_of(platform::kPathSeparator) + 1);
                FGoneFiles[{item.Place.Scan, item.Place.Folder}] += std::erase_if(
                    files,
                    [&](const usage::FileItem &f) { return f.folder == item.Place.Folder && f.name == name; });
            }
            if (!error.empty())
                emit Problem(ConstantText(QStringLiteral("msgErrorEliminar")).arg(Shown(item.Path), Shown(error)));
            RefreshSpace();
            emit Changed();
            emit Done();
        });
    return true;
}

void TDriveAnalysis::EmptyTrash()
{
    const std::string root = FDriveRoot;
    qCDebug(lcAnalysis).noquote() << "emptying the trash of" << Shown(root);
    RunCommand(
        [root] {
            std::string error;
            platform::EmptyTrash(root, error);
            return error;
        },
        [this](const std::string &error) {
            if (!error.empty())
                emit Problem(ConstantText(QStringLiteral("msgErrorVaciar")).arg(Shown(error)));
            RefreshSpace();
            emit Done();
        });
}

void TDriveAnalysis::ScanAgain(const TItem &folder)
{
    if (FScans.empty() || folder.Kind != TItem::TKind::Folder || !folder.Known)
        return;
    auto job = std::make_shared<TJob>();
    job->Root = folder.Path;
    job->Drive = false;
    job->For = Resolve(folder.Place);
    StartJob(std::move(job));
}

void TDriveAnalysis::RefreshSpace()
{
    const std::string root = FDriveRoot;
    auto facts = std::make_shared<TFacts>();
    ++FCommands;
    OffThread(
        this, [root, facts] { *facts = ReadFacts(root); },
        [this, facts] {
            --FCommands;
            ApplyFacts(*facts);
            emit Changed();
        });
}

void TDriveAnalysis::ApplyFacts(const TFacts &facts)
{
    FWhole.Known = facts.HaveSpace;
    FWhole.Size = facts.Space.size;
    FWhole.Free = facts.Space.available;
    FTrashFolders = facts.TrashFolders;
    FWhole.Trash = 0;
    for (quint64 size : facts.TrashSizes)
        FWhole.Trash += size;
    // The trash folders the drive's scan found show their new sizes, and
    // count as trash rather than as folders. A trash made after the scan
    // holds only what left the folders since.
    quint64 trashInTree = 0;
    if (!FScans.empty()) {
        const usage::ScanTree &tree = Tree(0);
        for (std::size_t i = 0; i < facts.TrashFolders.size(); ++i) {
            const std::string &trash = facts.TrashFolders[i];
            if (!Inside(trash, tree.RootPath()) || trash == tree.RootPath())
                continue;
            // Down the tree by names.
            std::string_view rest(trash);
            rest.remove_prefix(tree.RootPath().size());
            usage::FolderId at = 0;
            bool found = true;
            while (found && !rest.empty()) {
                while (!rest.empty() && rest.front() == platform::kPathSeparator)
                    rest.remove_prefix(1);
                if (rest.empty())
                    break;
                const std::string_view name = rest.substr(0, rest.find(platform::kPathSeparator));
                rest.remove_prefix(name.size());
                const usage::FolderRecord &record = tree.Folder(at);
                found = false;
                for (std::uint32_t c = 0; c < record.childCount; ++c)
                    if (tree.Name(record.firstChild + c) == name) {
                        at = record.firstChild + c;
                        found = true;
                        break;
                    }
            }
            if (!found || at == 0 || FOverlays.count({0, at}) || Hidden(0, at))
                continue;
            Adjust(TPlace{0, at}, qint64(facts.TrashSizes[i]) - qint64(SizeOf(0, at)));
            trashInTree += SizeOf(0, at);
        }
    }
    const quint64 found = FScans.empty() ? 0 : SizeOf(0, 0);
    FWhole.InFolders = found > trashInTree ? found - trashInTree : 0;
    const quint64 accounted = FWhole.Free + FWhole.InFolders + FWhole.Trash;
    FWhole.Other = FWhole.Known && FWhole.Size > accounted ? FWhole.Size - accounted : 0;
}
