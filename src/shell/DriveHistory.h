// SPDX-License-Identifier: MIT
#pragma once

#include "shell/DriveStates.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>

class TDesktopNotifier;
class TDriveWindow;
namespace history {
class HistoryRecorder;
class FillingNoticeWatch;
} // namespace history

// What the refreshes of this machine's drives leave in the drive history,
// and what the history says back: when a drive will be full (a line for its
// tool tip), whether it is filling fast (a notice, once per episode), and
// whether its inodes run out. Follows the window's refreshes; the database
// work runs on the recorder's own thread: a refresh hands its figures over
// and reads the last trends back without waiting.
//
// Drives of another machine, and a test's drive objects (VELMORA_FAKE_WBEM),
// are not kept: they are not this machine's.
class TDriveHistory : public QObject
{
    Q_OBJECT

public:
    // Keeps the history in the user's state folder.
    explicit TDriveHistory(TDesktopNotifier &notifier, QObject *parent = nullptr);
    TDriveHistory(TDesktopNotifier &notifier, std::unique_ptr<history::HistoryRecorder> recorder,
                  QObject *parent = nullptr);
    ~TDriveHistory() override;

    // The drives of one refresh.
    void Refreshed(const TDriveStates &drives);

    // "3 días", "5 horas": a span of seconds as the texts say it.
    static QString Duration(double seconds);

    // Gives a drive window the drive's history chart, read off the
    // window's thread, and what grew since its last scan: each whole-drive
    // scan of the window is kept in the history (nothing for a drive the
    // history does not keep).
    void AddChartTo(TDriveWindow *window);

signals:
    // After each refresh that the history has figures for: the line for each
    // drive's tool tip (by name; when it will be full, or that it is stable,
    // and why it counts as full), and the drives whose inodes run out.
    void NotesChanged(const QHash<QString, QString> &notes, const QSet<QString> &inodesOut);

private:
    TDesktopNotifier &FNotifier;
    std::unique_ptr<history::HistoryRecorder> FRecorder;
    std::unique_ptr<history::FillingNoticeWatch> FWatch;
    QHash<QString, QString> FNotes;
    QSet<QString> FInodesOut;
    // The drives of the last refresh by their names' bytes, with their keys.
    QHash<QByteArray, QByteArray> FKeys;
    // The file the chart is read from (the recorder's own, when it is the
    // default one).
    std::string FPath;
};
