// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace platform {
class StopSignals;
}

// Turns the system's stop signals (SIGTERM, SIGINT and SIGHUP on Linux:
// platform::StopSignals) into a Qt signal on the main thread. The handler
// only writes the signal number into a pipe (the one thing a signal handler
// may safely do); a socket notifier reads it in the event loop. One instance
// per process; it restores the previous handlers when destroyed.
class TSessionEnd : public QObject
{
    Q_OBJECT

public:
    explicit TSessionEnd(QObject *parent = nullptr);
    ~TSessionEnd() override;

    // False when the pipe or a handler could not be set up, and where the
    // system sends no such signals.
    bool IsActive() const;

signals:
    void EndRequested(int signalNumber);

private:
    void ReadSignals();

    std::unique_ptr<platform::StopSignals> FSignals;
    std::unique_ptr<QSocketNotifier> FNotifier;
};
