// SPDX-License-Identifier: MIT
// The bounded reader on what a user or another program can leave where a
// file is expected: devices behind links, FIFOs without a writer, folders,
// links that lead nowhere, files that report a size they do not have.
#include "platform/BoundedFile.h"

#include "LinuxTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using platform::BoundedRead;
using platform::ReadBoundedFile;

constexpr std::size_t Cap = 64;

void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

struct Case
{
    const char *name;
    // Makes the thing at path in folder; returns the path to read.
    std::string (*make)(const linuxtest::TempFolder &folder);
    BoundedRead::Status expected;
    const char *reasonPart; // in Reason when the read is refused
};

const Case Cases[] = {
    {"FileExactlyAtTheCap",
     [](const linuxtest::TempFolder &f) {
         WriteFile(f.File("at"), std::string(Cap, 'a'));
         return f.File("at");
     },
     BoundedRead::Status::Ok, ""},
    {"EmptyFile",
     [](const linuxtest::TempFolder &f) {
         WriteFile(f.File("empty"), "");
         return f.File("empty");
     },
     BoundedRead::Status::Ok, ""},
    {"LinkToARegularFile",
     [](const linuxtest::TempFolder &f) {
         WriteFile(f.File("target"), "abc");
         EXPECT_EQ(::symlink(f.File("target").c_str(), f.File("link").c_str()), 0);
         return f.File("link");
     },
     BoundedRead::Status::Ok, ""},
    {"FileOneBytePastTheCap",
     [](const linuxtest::TempFolder &f) {
         WriteFile(f.File("past"), std::string(Cap + 1, 'p'));
         return f.File("past");
     },
     BoundedRead::Status::TooLarge, "larger than 64 bytes"},
    {"LinkToDevZero",
     [](const linuxtest::TempFolder &f) {
         EXPECT_EQ(::symlink("/dev/zero", f.File("zero").c_str()), 0);
         return f.File("zero");
     },
     BoundedRead::Status::NotRegular, "not a regular file"},
    {"FifoWithoutWriter",
     [](const linuxtest::TempFolder &f) {
         EXPECT_EQ(::mkfifo(f.File("fifo").c_str(), 0600), 0);
         return f.File("fifo");
     },
     BoundedRead::Status::NotRegular, "not a regular file"},
    {"LinkToAFifo",
     [](const linuxtest::TempFolder &f) {
         EXPECT_EQ(::mkfifo(f.File("fifo").c_str(), 0600), 0);
         EXPECT_EQ(::symlink(f.File("fifo").c_str(), f.File("link").c_str()), 0);
         return f.File("link");
     },
     BoundedRead::Status::NotRegular, "not a regular file"},
    {"Directory", [](const linuxtest::TempFolder &f) { return f.Path(); }, BoundedRead::Status::NotRegular,
     "not a regular file"},
    {"DanglingLink",
     [](const linuxtest::TempFolder &f) {
         EXPECT_EQ(::symlink(f.File("gone").c_str(), f.File("link").c_str()), 0);
         return f.File("link");
     },
     BoundedRead::Status::Missing, "does not exist"},
    {"NoSuchFile", [](const linuxtest::TempFolder &f) { return f.File("none"); }, BoundedRead::Status::Missing,
     "does not exist"},
    // Files of /proc report a size of 0: what counts is what a read gives.
    {"ProcFileLargerThanItsReportedSize",
     [](const linuxtest::TempFolder &) { return std::string("/proc/self/maps"); }, BoundedRead::Status::TooLarge,
     "larger than 64 bytes"},
};

class BoundedFile : public testing::TestWithParam<Case>
{};

TEST_P(BoundedFile, ReadsOnlyRegularFilesUpToTheCap)
{
    const Case &c = GetParam();
    linuxtest::TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string path = c.make(folder);
    const BoundedRead read = ReadBoundedFile(path, Cap);
    EXPECT_EQ(read.Result, c.expected) << path << ": " << read.Reason;
    if (c.expected == BoundedRead::Status::Ok) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(read.Bytes, bytes);
        EXPECT_TRUE(read.Reason.empty());
    } else {
        EXPECT_NE(read.Reason.find(c.reasonPart), std::string::npos) << read.Reason;
        EXPECT_TRUE(read.Bytes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BoundedFile, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

// A small file that reports no size is read whole: the size is never trusted.
TEST(BoundedFileProc, ReadsAFileThatReportsSizeZero)
{
    struct stat st
    {};
    ASSERT_EQ(::stat("/proc/self/stat", &st), 0);
    ASSERT_EQ(st.st_size, 0);
    const BoundedRead read = ReadBoundedFile("/proc/self/stat", 4096);
    ASSERT_TRUE(read.Ok()) << read.Reason;
    EXPECT_EQ(read.Bytes.substr(0, std::to_string(::getpid()).size() + 1), std::to_string(::getpid()) + " ");
}

// What may be taken for a leftover of our own: only a regular file itself,
// ours, and old enough.
TEST(OwnStaleRegularFile, OnlyOldRegularFilesOfOurOwn)
{
    linuxtest::TempFolder f;
    ASSERT_FALSE(f.Path().empty());
    const auto age = [](const std::string &path, long seconds) {
        const timeval then = {::time(nullptr) - seconds, 0};
        const timeval times[2] = {then, then};
        ASSERT_EQ(::lutimes(path.c_str(), times), 0) << path;
    };
    WriteFile(f.File("old"), "x");
    age(f.File("old"), 120);
    WriteFile(f.File("young"), "x");
    age(f.File("young"), 5);
    ASSERT_EQ(::symlink(f.File("old").c_str(), f.File("link").c_str()), 0);
    age(f.File("link"), 120);
    ASSERT_EQ(::mkdir(f.File("dir").c_str(), 0700), 0);
    age(f.File("dir"), 120);
    ASSERT_EQ(::mkfifo(f.File("fifo").c_str(), 0600), 0);
    age(f.File("fifo"), 120);

    EXPECT_TRUE(platform::IsOwnStaleRegularFile(f.File("old"), 60));
    EXPECT_FALSE(platform::IsOwnStaleRegularFile(f.File("young"), 60));
    EXPECT_FALSE(platform::IsOwnStaleRegularFile(f.File("link"), 60)) << "a link is followed";
    EXPECT_FALSE(platform::IsOwnStaleRegularFile(f.File("dir"), 60));
    EXPECT_FALSE(platform::IsOwnStaleRegularFile(f.File("fifo"), 60));
    EXPECT_FALSE(platform::IsOwnStaleRegularFile(f.File("none"), 60));

    if (::getuid() != 0) {
        std::cout << "SKIPPED LOUDLY: the case of another user's file needs root\n";
        return;
    }
    WriteFile(f.File("theirs"), "x");
    ASSERT_EQ(::chown(f.File("theirs").c_str(), 65534, 65534), 0);
    age(f.File("theirs"), 120);
    EXPECT_FALSE(platform::IsOwnStaleRegularFile(f.File("theirs"), 60)) << "another user's file";
}

} // namespace
