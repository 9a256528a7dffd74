// SPDX-License-Identifier: MIT
#include "shell/LowSpaceNotice.h"

#include "localization/ConstantText.h"
#include "panels/frDisco.h"
#include "shell/ShellLog.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <algorithm>

QStringList TLowSpaceWatch::Update(const QList<TDrive> &drives)
{
    QStringList tell;
    QSet<QString> seen;
    QSet<QString> full;
    for (const TDrive &drive : drives) {
        seen.insert(drive.Name);
        if (!drive.Full)
            continue;
        full.insert(drive.Name);
        if (FSeen.contains(drive.Name) && !drive.Hidden && !FFull.contains(drive.Name)
            && !tell.contains(drive.Name))
            tell << drive.Name;
    }
    FSeen = std::move(seen);
    FFull = std::move(full);
    return tell;
}

void TNoticeLimit::Offer(const QStringList &names)
{
    for (const QString &name : names)
        if (!FWaiting.contains(name))
            FWaiting << name;
}

void TNoticeLimit::Expire(qint64 now)
{
    FSent.removeIf([now](qint64 sent) { return sent <= now - WindowMs; });
}

QList<TNoticeLimit::TNotice> TNoticeLimit::Take(qint64 now)
{
    Expire(now);
    QList<TNotice> notices;
    const qsizetype room = PerWindow - FSent.size();
    if (room <= 0 || FWaiting.isEmpty())
        return notices;
    if (FWaiting.size() <= room) {
        for (const QString &name : std::as_const(FWaiting))
            notices.append({name, 0});
    } else {
        for (qsizetype i = 0; i < room - 1; ++i)
            notices.append({FWaiting.at(i), 0});
        notices.append({FWaiting.at(room - 1), int(FWaiting.size() - room)});
    }
    FWaiting.clear();
    for (qsizetype i = 0; i < notices.size(); ++i)
        FSent.append(now);
    return notices;
}

void TNoticeLimit::Forget(const std::function<bool(const QString &)> &stale)
{
    FWaiting.removeIf(stale);
}

qint64 TNoticeLimit::NextChance(qint64 now) const
{
    if (FSent.size() < PerWindow)
        return now;
    // The oldest notice of the window leaves it first.
    return *std::min_element(FSent.begin(), FSent.end()) + WindowMs;
}

TLowSpaceNotice::TLowSpaceNotice(TSend send, QObject *parent)
    : TLowSpaceNotice(TSendWithAction([send = std::move(send)](const QString &title, const QString &text,
                                                               const QString &, std::function<void()>) {
                          if (send)
                              send(title, text);
                      }),
                      parent)
{}

TLowSpaceNotice::TLowSpaceNotice(TSendWithAction send, QObject *parent)
    : QObject(parent),
      FSend(std::move(send)),
      FClock([] {
          static const QElapsedTimer steady = [] {
              QElapsedTimer t;
              t.start();
              return t;
          }();
          return steady.elapsed();
      }),
      FTimer(new QTimer(this))
{
    FTimer->setSingleShot(true);
    connect(FTimer, &QTimer::timeout, this, &TLowSpaceNotice::Flush);
}

TLowSpaceNotice::TLowSpaceNotice(TDesktopNotifier &notifier, QObject *parent)
    : TLowSpaceNotice(TSendWithAction([&notifier](const QString &title, const QString &text,
                                                  const QString &actionText, std::function<void()> action) {
                          notifier.Notify(title, text, actionText, std::move(action));
                      }),
                      parent)
{}

TLowSpaceNotice::~TLowSpaceNotice() = default;

void TLowSpaceNotice::Refreshed(const TDriveStates &drives)
{
    QList<TLowSpaceWatch::TDrive> watched;
    watched.reserve(drives.size());
    for (const TDriveState &drive : drives) {
        // Full for want of inodes, with space to spare.
        const bool inodes = drive.InodesOut && drive.Size && drive.Free && *drive.Free * 10 > *drive.Size;
        watched.append({drive.Name, drive.Full && drive.Free.has_value(), !drive.Shown, drive.Free.value_or(0),
                        drive.Size.value_or(0), inodes, drive.Local});
    }
    Update(watched);
}

void TLowSpaceNotice::Update(const QList<TLowSpaceWatch::TDrive> &drives)
{
    FLast.clear();
    for (const TLowSpaceWatch::TDrive &drive : drives)
        FLast.insert(drive.Name, drive);
    FLimit.Offer(FWatch.Update(drives));
    // A drive that was freed, hidden or went away while it waited is no
    // news any more.
    FLimit.Forget([this](const QString &name) {
        const auto last = FLast.constFind(name);
        return last == FLast.cend() || last->Hidden || !FWatch.IsFull(name);
    });
    Flush();
}

void TLowSpaceNotice::Flush()
{
    const qint64 now = FClock();
    for (const TNoticeLimit::TNotice &notice : FLimit.Take(now)) {
        const TLowSpaceWatch::TDrive drive = FLast.value(notice.Name);
        const QString text = notice.Others > 0 ? FoldedText(notice.Name, notice.Others)
            : drive.Inodes                     ? InodesText(notice.Name, drive.Free, drive.Size)
                                               : Text(notice.Name, drive.Free, drive.Size);
        qCDebug(lcShell).noquote() << "low-space notice:" << text;
        // One drive of this machine: the notice offers to see what fills it.
        std::function<void()> examine;
        if (notice.Others == 0 && drive.Local)
            examine = [self = QPointer<TLowSpaceNotice>(this), name = notice.Name] {
                if (self) {
                    qCDebug(lcShell).noquote() << "low-space notice: examine" << name;
                    emit self->ExamineRequested(name);
                }
            };
        const QString actionText = examine ? ConstantText(QStringLiteral("msgExaminar")) : QString();
        if (FSend)
            FSend(Title(), text, actionText, std::move(examine));
    }
    if (FLimit.Waiting())
        FTimer->start(int(std::clamp<qint64>(FLimit.NextChance(now) - now, 0, TNoticeLimit::WindowMs)));
}

QString TLowSpaceNotice::Title()
{
    return ConstantText(QStringLiteral("msgPocoEspacioTitulo"));
}

QString TLowSpaceNotice::Text(const QString &name, quint64 free, quint64 size)
{
    // The free space exactly as the drive's panel shows it.
    return ConstantText(QStringLiteral("msgPocoEspacio")).arg(name, TFrameDrive::FreeSpaceText(free, size));
}

QString TLowSpaceNotice::InodesText(const QString &name, quint64 free, quint64 size)
{
    return ConstantText(QStringLiteral("msgPocoEspacioInodos")).arg(name, TFrameDrive::FreeSpaceText(free, size));
}

QString TLowSpaceNotice::FoldedText(const QString &name, int others)
{
    return ConstantText(QStringLiteral("msgPocoEspacioMas")).arg(name, QString::number(others));
}
