// SPDX-License-Identifier: MIT
#pragma once

// "What grew since the last scan": each finished scan of a whole drive
// leaves its biggest folders in the drive history, and the window lists the
// folders that grew most since the scan before it (the folder, what it used
// then, what it uses now, the growth). The history is written and read on a
// thread of its own; the list shows the answer when it comes.

#include "history/HistoryStore.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QTreeWidget;
class TDriveAnalysis;
class THistoryChart;

namespace analysis {

// Folders listed at most.
inline constexpr std::size_t kGrowthListed = 20;

struct ScanGrowth
{
    bool firstScan = false;                   // the history kept no earlier scan of the drive
    std::vector<history::FolderGrowth> grown; // most first
};

// Reads whether the drive has an earlier scan of root, keeps this one's
// totals (finished: seconds since the epoch), and reads what grew since the
// earlier one, root itself left out. Throws history::HistoryError as the store does.
ScanGrowth RecordScanGrowth(history::HistoryStore &store, const std::string &key, const std::string &root,
                            std::int64_t finished, const history::FolderTotals &totals,
                            std::size_t limit = kGrowthListed);

} // namespace analysis

// The list of the folders that grew; every text a program constant, put in
// place again on a language change.
class TScanGrowthList : public QWidget
{
    Q_OBJECT

public:
    explicit TScanGrowthList(QWidget *parent = nullptr);

    // Keeps each whole-drive scan of analysis in the history at storePath
    // under the drive's identity key, and shows what grew. Nothing is kept
    // for a cancelled scan or a folder scanned again.
    void Follow(TDriveAnalysis *analysis, std::string storePath, std::string key);

    // What the last scan found; none while no scan is over (or its history
    // could not be had).
    void SetGrowth(std::optional<analysis::ScanGrowth> growth);
    const std::optional<analysis::ScanGrowth> &Growth() const { return FGrowth; }
    void Retranslate();
    // The title, the note (first scan, nothing grew, waiting) and a line
    // per folder listed: "path | before | now | growth".
    QStringList Texts() const;

signals:
    // A scan's growth is shown (or could not be read).
    void GrowthShown();

protected:
    void changeEvent(QEvent *event) override;

private:
    QLabel *FTitle;
    QLabel *FNote;
    QTreeWidget *FList;
    std::optional<analysis::ScanGrowth> FGrowth;
};

// The drive window's history tab: the chart of the drive's use over time
// above what grew since the last scan.
class THistoryPane : public QWidget
{
    Q_OBJECT

public:
    explicit THistoryPane(QWidget *parent = nullptr);
    THistoryChart *Chart() const { return FChart; }
    TScanGrowthList *Growth() const { return FGrowth; }

protected:
    void changeEvent(QEvent *event) override;

private:
    THistoryChart *FChart;
    TScanGrowthList *FGrowth;
};
