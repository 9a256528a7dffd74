// SPDX-License-Identifier: MIT
#pragma once

#include "desktop/DesktopNotifier.h"
#include "shell/DriveStates.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class QTimer;

// Which drives have just become full: a drive is told about when it enters
// the full state (the panel's bar in its error colour), and not again until
// it has left that state. A drive that is full when it is first seen is only
// noted, whenever that is: at start, or when a server that was down answers
// with hundreds of full drives. A drive the user hid is noted but never told
// about; a drive that went away is forgotten (and is new when it comes back).
class TLowSpaceWatch
{
public:
    struct TDrive
    {
        QString Name;
        bool Full = false;
        bool Hidden = false;
        // The figures the notice quotes, in bytes.
        quint64 Free = 0;
        quint64 Size = 0;
        // Full for want of inodes, with space to spare.
        bool Inodes = false;
        // A drive of this machine: its notice offers to examine it.
        bool Local = false;
    };

    // The names to tell about now, in the order given.
    QStringList Update(const QList<TDrive> &drives);
    // Whether a drive was full at the last Update.
    bool IsFull(const QString &name) const { return FFull.contains(name); }

private:
    QSet<QString> FSeen;
    QSet<QString> FFull;
};

// How many notices may go out: at most PerWindow within any WindowMs. Names
// beyond that wait; when they are let out and there are more of them than
// the room left, the last notice that fits names the first of them and says
// how many more there are.
class TNoticeLimit
{
public:
    static constexpr int PerWindow = 3;
    static constexpr qint64 WindowMs = 60 * 1000;

    struct TNotice
    {
        QString Name;   // the drive the notice names
        int Others = 0; // how many more it stands for
    };

    void Offer(const QStringList &names);
    // The notices that may go out at now (milliseconds of a steady clock),
    // each counted as sent.
    QList<TNotice> Take(qint64 now);
    // Drops waiting names that no longer call for a notice.
    void Forget(const std::function<bool(const QString &)> &stale);
    bool Waiting() const { return !FWaiting.isEmpty(); }
    // When Take may let the next waiting name out (now when there is room).
    qint64 NextChance(qint64 now) const;

private:
    void Expire(qint64 now);

    QStringList FWaiting;
    QList<qint64> FSent;
};

// The low-space notice: follows the window's refreshes and tells the desktop
// about drives that have just become full, never more than TNoticeLimit lets
// through, with their free space as their panels show it. A notice about one
// drive of this machine offers to examine it ("Examinar": what fills it).
class TLowSpaceNotice : public QObject
{
    Q_OBJECT

public:
    using TSend = std::function<void(const QString &title, const QString &text)>;
    using TClock = std::function<qint64()>;

    // Notices go to the desktop's notifier.
    explicit TLowSpaceNotice(TDesktopNotifier &notifier, QObject *parent = nullptr);
    // Notices go to send (tests).
    explicit TLowSpaceNotice(TSend send, QObject *parent = nullptr);
    // Notices go to send with their action (tests): its text, and what
    // choosing it does (empty for a notice without one).
    using TSendWithAction = std::function<void(const QString &title, const QString &text,
                                               const QString &actionText, std::function<void()> action)>;
    explicit TLowSpaceNotice(TSendWithAction send, QObject *parent = nullptr);
    ~TLowSpaceNotice() override;

    // The drives of one refresh, as the window hands them out: a drive
    // counts as full with a free-space figure only, and one not shown is
    // never told about.
    void Refreshed(const TDriveStates &drives);
    // The drives of one refresh, all of them.
    void Update(const QList<TLowSpaceWatch::TDrive> &drives);
    // Tests put a clock of their own in (milliseconds).
    void SetClock(TClock clock) { FClock = std::move(clock); }
    // Sends what may go out now; the timer calls it when the room comes back.
    void Flush();

    // The texts a notice carries.
    static QString Title();
    static QString Text(const QString &name, quint64 free, quint64 size);
    // A drive out of inodes while a tenth or more of its space is free.
    static QString InodesText(const QString &name, quint64 free, quint64 size);
    static QString FoldedText(const QString &name, int others);

signals:
    // The user chose a notice's action: see what fills the drive.
    void ExamineRequested(const QString &name);

private:
    TSendWithAction FSend;
    TClock FClock;
    TLowSpaceWatch FWatch;
    TNoticeLimit FLimit;
    QHash<QString, TLowSpaceWatch::TDrive> FLast;
    QTimer *FTimer;
};
