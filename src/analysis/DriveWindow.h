// SPDX-License-Identifier: MIT
#pragma once

#include "analysis/DriveAnalysis.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>
#include <string>

class QLabel;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QHBoxLayout;
class TTreemapView;
class TWholeBar;

// "What is filling this drive?": the window of one drive. While the drive is
// scanned it shows the progress (entries, the folder being read, Cancel) and
// the drive's top folders as they grow; then the treemap of a place (a click
// on a folder goes down, the path bar goes up), the biggest folders and
// files, and the drive as parts of its whole (folders, trash, free, the
// rest). The commands act on the item selected in the treemap or a list.
// Every text is a program constant; Retranslate (and Qt's language-change
// event) puts the active language's in place.
class TDriveWindow : public QWidget
{
    Q_OBJECT

public:
    // driveName: the drive as its panel names it; driveRoot: its mount
    // point's bytes. The scan starts at once.
    TDriveWindow(const QString &driveName, std::string driveRoot, QWidget *parent = nullptr);
    ~TDriveWindow() override;

    QString DriveName() const { return FDriveName; }
    TDriveAnalysis &Analysis() { return *FAnalysis; }
    TTreemapView *Treemap() const { return FTreemap; }
    void Retranslate();

    // The drive's history goes here: a pane of its own, shown as a tab
    // beside the breakdown (a chart of the drive's use over time and what
    // grew since the last scan). The window owns it from then on.
    void AddHistoryPane(QWidget *pane);
    QWidget *HistoryPane() const { return FHistoryPane; }

    // The commands on the selected item, as the buttons run them (the
    // confirmation asked first where there is one).
    void OpenSelectedFolder();
    void MoveSelectedToTrash();
    void DeleteSelectedForGood();
    void ScanSelectedAgain();
    void EmptyDriveTrash();
    std::optional<TDriveAnalysis::TItem> Selected() const { return FSelected; }
    void SelectByPath(const std::string &path);

    // The texts shown now, one line each (the log and the tests read them).
    QStringList Texts() const;
    // Where the treemap's biggest items and the buttons are, as
    // "text@x,y" (their centres in the window's coordinates), for the log.
    QStringList Places() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    // Escape cancels a scan that runs, else closes the window.
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void Refresh();
    void ShowProgress();
    void SetSelected(std::optional<TDriveAnalysis::TItem> item);
    void FillList(QTreeWidget *list, const std::vector<TDriveAnalysis::TItem> &items);
    void Report(const QString &text);

    QString FDriveName;
    TDriveAnalysis *FAnalysis;
    QLabel *FStatus;
    QPushButton *FCancel;
    QWidget *FTrailBar;
    QHBoxLayout *FTrailLayout;
    QTabWidget *FTabs;
    TTreemapView *FTreemap;
    QLabel *FFoldersTitle;
    QTreeWidget *FFolders;
    QLabel *FFilesTitle;
    QTreeWidget *FFiles;
    TWholeBar *FWholeBar;
    QLabel *FWholeText;
    QPushButton *FOpen;
    QPushButton *FTrash;
    QPushButton *FDelete;
    QPushButton *FRescan;
    QPushButton *FEmptyTrash;
    QPointer<QWidget> FHistoryPane;
    std::optional<TDriveAnalysis::TItem> FSelected;
    std::vector<TDriveAnalysis::TItem> FFolderItems, FFileItems;
    QString FLastLogged;
};
