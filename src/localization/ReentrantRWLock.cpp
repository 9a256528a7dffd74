// SPDX-License-Identifier: MIT
#include "localization/ReentrantRWLock.h"

#include <stdexcept>

void TReentrantRWLock::BeginRead()
{
    const auto self = std::this_thread::get_id();
    std::unique_lock guard(FMutex);
    auto it = FReaders.find(self);
    // A thread that holds the lock in either mode never waits: waiting for
    // itself would never end.
    if (FWriter == self || it != FReaders.end()) {
        if (it == FReaders.end())
            FReaders.emplace(self, 1);
        else
            ++it->second;
        return;
    }
    FChanged.wait(guard, [&] { return FWriter == std::thread::id() && FWritersWaiting == 0; });
    FReaders.emplace(self, 1);
}

void TReentrantRWLock::EndRead()
{
    const auto self = std::this_thread::get_id();
    std::lock_guard guard(FMutex);
    auto it = FReaders.find(self);
    if (it == FReaders.end())
        throw std::logic_error("read lock released by a thread that does not hold it");
    if (--it->second == 0) {
        FReaders.erase(it);
        FChanged.notify_all();
    }
}

void TReentrantRWLock::BeginWrite()
{
    const auto self = std::this_thread::get_id();
    std::unique_lock guard(FMutex);
    if (FWriter == self) {
        ++FWriteDepth;
        return;
    }
    const bool upgrading = FReaders.count(self) != 0;
    if (upgrading) {
        if (FUpgradeWaiting)
            throw std::logic_error("two readers wait to take the write lock");
        FUpgradeWaiting = true;
    }
    ++FWritersWaiting;
    const std::size_t ownReads = upgrading ? 1 : 0;
    FChanged.wait(guard, [&] { return FWriter == std::thread::id() && FReaders.size() == ownReads; });
    --FWritersWaiting;
    if (upgrading)
        FUpgradeWaiting = false;
    FWriter = self;
    FWriteDepth = 1;
}

void TReentrantRWLock::EndWrite()
{
    std::lock_guard guard(FMutex);
    if (FWriter != std::this_thread::get_id())
        throw std::logic_error("write lock released by a thread that does not hold it");
    if (--FWriteDepth == 0) {
        FWriter = std::thread::id();
        FChanged.notify_all();
    }
}

bool TReentrantRWLock::HoldsWrite() const
{
    std::lock_guard guard(FMutex);
    return FWriter == std::this_thread::get_id();
}

int TReentrantRWLock::ReadDepth() const
{
    std::lock_guard guard(FMutex);
    auto it = FReaders.find(std::this_thread::get_id());
    return it == FReaders.end() ? 0 : it->second;
}

int TReentrantRWLock::WaitingWriters() const
{
    std::lock_guard guard(FMutex);
    return FWritersWaiting;
}
