// SPDX-License-Identifier: MIT
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

// A multi-reader / single-writer lock that every holder may take again:
// - a reader may take the read lock again;
// - the writer may take the write lock again and may take the read lock
//   (QReadWriteLock refuses read-inside-write, which the language manager
//   needs: it reads its default language while it holds the write lock, and
//   event handlers read constants while it translates under the read lock);
// - a thread that holds only read locks may take the write lock when it is
//   the only reader (it waits for the other readers to leave). Two readers
//   that both ask for the write lock would wait for each other forever; the
//   second one gets std::logic_error instead.
// Threads that do not hold the lock yet wait while a writer waits, so
// writers are not starved by a stream of readers. Every Begin must be paired
// with its End on the same thread; an End without a Begin throws
// std::logic_error.
class TReentrantRWLock
{
public:
    TReentrantRWLock() = default;
    TReentrantRWLock(const TReentrantRWLock &) = delete;
    TReentrantRWLock &operator=(const TReentrantRWLock &) = delete;

    void BeginRead();
    void EndRead();
    void BeginWrite();
    void EndWrite();

    // Whether the calling thread holds the write lock.
    bool HoldsWrite() const;
    // Read locks the calling thread holds (not counting the write lock).
    int ReadDepth() const;
    // Threads waiting for the write lock (for diagnostics and tests).
    int WaitingWriters() const;

private:
    mutable std::mutex FMutex;
    std::condition_variable FChanged;
    std::thread::id FWriter; // default id: no writer
    int FWriteDepth = 0;
    int FWritersWaiting = 0;
    bool FUpgradeWaiting = false; // a reader waits to become the writer
    std::unordered_map<std::thread::id, int> FReaders;
};

// Scope guards.
class TReadLocker
{
public:
    explicit TReadLocker(TReentrantRWLock &lock) : FLock(lock) { FLock.BeginRead(); }
    ~TReadLocker() { FLock.EndRead(); }
    TReadLocker(const TReadLocker &) = delete;
    TReadLocker &operator=(const TReadLocker &) = delete;

private:
    TReentrantRWLock &FLock;
};

class TWriteLocker
{
public:
    explicit TWriteLocker(TReentrantRWLock &lock) : FLock(lock) { FLock.BeginWrite(); }
    ~TWriteLocker()
    {
        if (FHeld)
            FLock.EndWrite();
    }
    // Releases the lock before the end of the scope.
    void Unlock()
    {
        if (FHeld) {
            FHeld = false;
            FLock.EndWrite();
        }
    }
    TWriteLocker(const TWriteLocker &) = delete;
    TWriteLocker &operator=(const TWriteLocker &) = delete;

private:
    TReentrantRWLock &FLock;
    bool FHeld = true;
};
