// SPDX-License-Identifier: MIT
// What the drive window's suites share: the application their widgets and
// workers need, a wait on the event loop, and files of a given size.
#pragma once

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

namespace analysistest {

// The suite's application, made at the first call (name: a literal).
inline QApplication &App(const char *name)
{
    static int argc = 1;
    static char *argv[] = {const_cast<char *>(name), nullptr};
    static QApplication *app = qApp ? static_cast<QApplication *>(qApp) : new QApplication(argc, argv);
    return *app;
}

// Runs the event loop until done() or 30 s have gone (a hang, not a speed
// limit); the answer of done() at the end.
inline bool Until(const std::function<bool()> &done)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    return done();
}

// A file of `bytes` bytes, its folders made, written through to the disk so
// that its blocks are counted.
inline void WriteFile(const std::filesystem::path &path, std::size_t bytes)
{
    std::filesystem::create_directories(path.parent_path());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    const std::string block(65536, 'x');
    for (std::size_t left = bytes; left > 0;) {
        const std::size_t n = std::min(left, block.size());
        ASSERT_EQ(::write(fd, block.data(), n), ssize_t(n));
        left -= n;
    }
    ASSERT_EQ(::fsync(fd), 0);
    ::close(fd);
}

} // namespace analysistest
