// SPDX-License-Identifier: MIT
#include "shell/SessionEnd.h"

#include "platform/StopSignals.h"
#include "shell/ShellLog.h"

#include <QSocketNotifier>

TSessionEnd::TSessionEnd(QObject *parent) : QObject(parent), FSignals(std::make_unique<platform::StopSignals>())
{
    if (!FSignals->SetupError().empty())
        qCWarning(lcShell) << "no pipe for the end signals:" << FSignals->SetupError().c_str();
    if (FSignals->ReadHandle() < 0)
        return;
    FNotifier = std::make_unique<QSocketNotifier>(FSignals->ReadHandle(), QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, &TSessionEnd::ReadSignals);
}

TSessionEnd::~TSessionEnd()
{
    // The notifier goes before the pipe it watches.
    FNotifier.reset();
    FSignals.reset();
}

bool TSessionEnd::IsActive() const
{
    return FSignals->IsActive();
}

void TSessionEnd::ReadSignals()
{
    if (const int last = FSignals->TakeSignal()) {
        qCDebug(lcShell) << "end signal" << last;
        emit EndRequested(last);
    }
}
