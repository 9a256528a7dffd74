// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace history {
class HistoryRecorder;
class FillingNoticeWatch;
} // namespace history

// What the refreshes of this machine's drives leave in the drive history,
// and what the history says back: when a drive will be full (a line for its
// tool tip), whether it is filling fast (a notice, once per episode), and
// whether its inodes run out. The database work runs on the recorder's own
// thread: a refresh hands its figures over and reads the last trends back
// without waiting.
class TDriveHistory
{
public:
    struct TDrive
    {
        QString Name;
        QString VolumeSerialNumber;
        QString FileSystem;
        bool ReadOnly = false;
        std::optional<quint64> FreeSpace;
        std::optional<quint64> Size;
        bool Hidden = false;
    };
    // Shows one notice (title, text).
    using TNotify = std::function<void(const QString &title, const QString &text)>;

    // Keeps the history in the user's state folder.
    explicit TDriveHistory(TNotify notify);
    TDriveHistory(TNotify notify, std::unique_ptr<history::HistoryRecorder> recorder);
    ~TDriveHistory();

    // After each refresh of this machine's drives; now: seconds since the
    // epoch. Tells about drives that are filling fast.
    void Refreshed(const QList<TDrive> &drives, qint64 now);

    // The line for a drive's tool tip: when it will be full, or that it is
    // stable, and why it counts as full when its inodes run out; empty while
    // the history knows too little.
    QString Note(const QString &name) const;
    // Under 5 % of the drive's inodes are free.
    bool InodesOut(const QString &name) const;
    // The free share of inodes in whole percent, for the notice.
    int InodesFreePercent(const QString &name) const;

    // "3 días", "5 horas": a span of seconds as the texts say it.
    static QString Duration(double seconds);

private:
    struct TState
    {
        QString Note;
        bool InodesOut = false;
        int InodesFreePercent = 100;
    };
    TNotify FNotify;
    std::unique_ptr<history::HistoryRecorder> FRecorder;
    std::unique_ptr<history::FillingNoticeWatch> FWatch;
    QHash<QString, TState> FStates;
};
