// SPDX-License-Identifier: MIT
// The language manager's reader/writer lock: re-entrancy of every kind the
// manager relies on, and exclusion between real threads.
#include "localization/ReentrantRWLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Long enough for a thread that is not blocked to get the lock.
constexpr auto Settle = 100ms;

// Waits until a writer has started waiting (a busy machine may take a while
// to run the thread that asks).
bool WriterWaits(const TReentrantRWLock &lock)
{
    for (int i = 0; i < 1000; ++i) {
        if (lock.WaitingWriters() > 0)
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(ReentrantRWLock, HolderTakesTheLockAgain)
{
    TReentrantRWLock lock;
    lock.BeginRead();
    lock.BeginRead();
    EXPECT_EQ(lock.ReadDepth(), 2);
    lock.EndRead();
    lock.EndRead();
    EXPECT_EQ(lock.ReadDepth(), 0);

    // The writer reads (QReadWriteLock deadlocks here) and writes again.
    lock.BeginWrite();
    lock.BeginRead();
    lock.BeginWrite();
    lock.BeginRead();
    EXPECT_TRUE(lock.HoldsWrite());
    EXPECT_EQ(lock.ReadDepth(), 2);
    lock.EndRead();
    lock.EndWrite();
    lock.EndRead();
    EXPECT_TRUE(lock.HoldsWrite());
    lock.EndWrite();
    EXPECT_FALSE(lock.HoldsWrite());

    // A lone reader may become the writer.
    lock.BeginRead();
    lock.BeginWrite();
    EXPECT_TRUE(lock.HoldsWrite());
    lock.EndWrite();
    lock.EndRead();

    // Everything was released: another thread writes at once.
    auto other = std::async(std::launch::async, [&] {
        lock.BeginWrite();
        lock.EndWrite();
    });
    EXPECT_EQ(other.wait_for(5s), std::future_status::ready);
}

TEST(ReentrantRWLock, ReleaseWithoutHoldingIsRefused)
{
    TReentrantRWLock lock;
    EXPECT_THROW(lock.EndRead(), std::logic_error);
    EXPECT_THROW(lock.EndWrite(), std::logic_error);
    lock.BeginWrite();
    auto other = std::async(std::launch::async, [&] { EXPECT_THROW(lock.EndWrite(), std::logic_error); });
    other.get();
    lock.EndWrite();
}

TEST(ReentrantRWLock, WriterExcludesReadersAndWritersOfOtherThreads)
{
    TReentrantRWLock lock;
    lock.BeginWrite();
    lock.BeginRead(); // the writer's own read must not let others in
    std::atomic_bool readerIn{false}, writerIn{false};
    std::thread reader([&] {
        lock.BeginRead();
        readerIn = true;
        lock.EndRead();
    });
    std::thread writer([&] {
        lock.BeginWrite();
        writerIn = true;
        lock.EndWrite();
    });
    std::this_thread::sleep_for(Settle);
    EXPECT_FALSE(readerIn);
    EXPECT_FALSE(writerIn);
    lock.EndWrite();
    std::this_thread::sleep_for(Settle);
    // Still holding a read lock: the writer waits, the reader waits behind it.
    EXPECT_FALSE(writerIn);
    lock.EndRead();
    reader.join();
    writer.join();
    EXPECT_TRUE(readerIn);
    EXPECT_TRUE(writerIn);
}

TEST(ReentrantRWLock, ReadersShareAndAWriterWaitsForAllOfThem)
{
    TReentrantRWLock lock;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic_int inside{0};
    auto holdRead = [&] {
        lock.BeginRead();
        ++inside;
        released.wait();
        lock.EndRead();
    };
    std::thread r1(holdRead), r2(holdRead);
    // Both readers are inside at the same time.
    for (int i = 0; i < 500 && inside < 2; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(inside, 2);

    std::atomic_bool writerIn{false};
    std::thread writer([&] {
        lock.BeginWrite();
        writerIn = true;
        lock.EndWrite();
    });
    std::this_thread::sleep_for(Settle);
    EXPECT_FALSE(writerIn);
    release.set_value();
    r1.join();
    r2.join();
    writer.join();
    EXPECT_TRUE(writerIn);
}

// A waiting writer keeps new readers out, but a thread that already reads
// must get in again, or it would wait for a writer that waits for it.
TEST(ReentrantRWLock, ReaderReentersWhileAWriterWaits)
{
    TReentrantRWLock lock;
    lock.BeginRead();
    std::atomic_bool writerIn{false}, newReaderIn{false};
    std::thread writer([&] {
        lock.BeginWrite();
        writerIn = true;
        lock.EndWrite();
    });
    ASSERT_TRUE(WriterWaits(lock));
    std::thread newReader([&] {
        lock.BeginRead();
        newReaderIn = true;
        lock.EndRead();
    });
    std::this_thread::sleep_for(Settle);
    lock.BeginRead(); // must not block
    lock.EndRead();
    EXPECT_FALSE(writerIn);
    EXPECT_FALSE(newReaderIn) << "a new reader overtook the waiting writer";
    lock.EndRead();
    writer.join();
    newReader.join();
    EXPECT_TRUE(writerIn);
    EXPECT_TRUE(newReaderIn);
}

TEST(ReentrantRWLock, SecondReaderAskingToWriteIsRefusedInsteadOfDeadlocking)
{
    TReentrantRWLock lock;
    lock.BeginRead();
    std::promise<void> otherReads;
    std::atomic_bool upgraded{false};
    std::thread other([&] {
        lock.BeginRead();
        otherReads.set_value();
        lock.BeginWrite(); // waits for the main thread's read to end
        upgraded = true;
        lock.EndWrite();
        lock.EndRead();
    });
    otherReads.get_future().wait();
    ASSERT_TRUE(WriterWaits(lock));
    EXPECT_THROW(lock.BeginWrite(), std::logic_error);
    EXPECT_FALSE(upgraded);
    lock.EndRead();
    other.join();
    EXPECT_TRUE(upgraded);
}

// Many threads, nested reads and writes: a writer is never inside together
// with anybody else.
TEST(ReentrantRWLock, ExclusionUnderLoad)
{
    TReentrantRWLock lock;
    std::atomic_int readers{0}, writers{0};
    std::atomic_bool violated{false};
    long shared = 0;
    auto worker = [&](int seed) {
        for (int i = 0; i < 2000; ++i) {
            if ((i + seed) % 5 == 0) {
                TWriteLocker w(lock);
                if (++writers != 1 || readers != 0)
                    violated = true;
                {
                    TReadLocker again(lock); // read inside write
                    ++shared;
                }
                --writers;
            } else {
                TReadLocker r(lock);
                ++readers;
                {
                    TReadLocker again(lock);
                    if (writers != 0)
                        violated = true;
                    (void)shared;
                }
                --readers;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back(worker, t);
    for (auto &t : threads)
        t.join();
    EXPECT_FALSE(violated);
    EXPECT_EQ(shared, 6 * 400);
}

} // namespace
