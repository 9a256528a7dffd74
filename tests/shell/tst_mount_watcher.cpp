// SPDX-License-Identifier: MIT
// The mount-table watcher against the real kernel: mounting and unmounting a
// tmpfs is reported within a second, through POLLPRI on mountinfo.
#include "ShellTestSupport.h"

#include "shell/MountWatcher.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/mount.h>
#include <unistd.h>

namespace {

bool WaitForSignal(int &count, int target, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (count < target && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return count >= target;
}

// A watcher of the real mount table with its signals counted, and a folder
// to mount on; skipped where tmpfs cannot be mounted.
class MountWatcherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApp();
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to mount a tmpfs";
        watcher = std::make_unique<TMountWatcher>();
        ASSERT_TRUE(watcher->IsWatching());
        QObject::connect(watcher.get(), &TMountWatcher::Changed, [this] { ++changes; });
        QCoreApplication::processEvents();
        ASSERT_TRUE(dir.isValid());
    }
    bool Mount(const char *source) { return ::mount(source, target.constData(), "tmpfs", 0, "size=1m") == 0; }

    std::unique_ptr<TMountWatcher> watcher; // made once the application exists
    int changes = 0;
    QTemporaryDir dir;
    const QByteArray target = dir.path().toLocal8Bit();
};

TEST_F(MountWatcherTest, ReportsMountAndUnmountOfATmpfs)
{
    if (!Mount("velmora-test"))
        GTEST_SKIP() << "needs the right to mount (CAP_SYS_ADMIN): " << std::strerror(errno);
    QElapsedTimer clock;
    clock.start();
    const bool seenMount = WaitForSignal(changes, 1, 2000);
    const qint64 latency = clock.elapsed();
    ::umount2(target.constData(), MNT_DETACH);
    ASSERT_TRUE(seenMount) << "no signal for the mount";
    EXPECT_LT(latency, 1000);
    // The burst of one mount is one signal; the unmount is the next.
    EXPECT_TRUE(WaitForSignal(changes, 2, 2000)) << "no signal for the unmount";
}

TEST_F(MountWatcherTest, ConstantChurnStillGetsThrough)
{
    // A mount or an unmount every 20 ms for a second and a half: each change
    // alone would restart a quiet period that never ends. The watcher must
    // report the churn while it goes on, and no more often than once a
    // quiet period.
    bool mounted = false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1500) {
        if (mounted)
            mounted = ::umount2(target.constData(), MNT_DETACH) != 0;
        else if (Mount("velmora-churn"))
            mounted = true;
        else
            GTEST_SKIP() << "needs the right to mount (CAP_SYS_ADMIN): " << std::strerror(errno);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(20 * 1000);
    }
    const int duringChurn = changes;
    if (mounted)
        ::umount2(target.constData(), MNT_DETACH);
    EXPECT_GE(duringChurn, 2) << "the churn starved the watcher";
    EXPECT_LE(duringChurn, int(clock.elapsed() / TMountWatcher::CoalesceMs) + 2) << "one signal per change";
}

TEST(MountWatcher, UnreadableTableMeansNoWatching)
{
    TestApp();
    TMountWatcher watcher(QStringLiteral("/nonexistent/mountinfo"));
    EXPECT_FALSE(watcher.IsWatching());
}

} // namespace
