// SPDX-License-Identifier: MIT
// main() of the Windows suites. A crash under Wine does not always end the
// process with a failing code (a debugger dialog, or a clean-looking exit), so
// an unhandled exception ends it with code 3 after saying where.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

LONG WINAPI ExitOnCrash(EXCEPTION_POINTERS *info)
{
    const EXCEPTION_RECORD *record = info ? info->ExceptionRecord : nullptr;
    std::fprintf(stderr, "Unhandled exception 0x%08lX at %p\n", record ? record->ExceptionCode : 0ul,
                 record ? record->ExceptionAddress : nullptr);
    std::fflush(stderr);
    ExitProcess(3);
}

} // namespace

int main(int argc, char **argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(ExitOnCrash);
    // The safety net's own check (tst_win_systeminfo): crash outside any test.
    if (argc == 2 && std::strcmp(argv[1], "--crash-outside-tests") == 0) {
        volatile int *nowhere = nullptr;
        *nowhere = 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
