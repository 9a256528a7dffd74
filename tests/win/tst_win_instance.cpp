// SPDX-License-Identifier: MIT
// One widget per session: a second process finds the instance mutex taken,
// raises the first process's window titled "kvDivoziVirudu" and exits 0.
#include "platform/win/WinInstance.h"

#include <WinTestSupport.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace platform::win;

std::wstring ProbePath()
{
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring path = own;
    path.erase(path.find_last_of(L"\\/") + 1);
    const std::string name = VELMORA_INSTANCE_PROBE;
    return path + std::wstring(name.begin(), name.end());
}

// Runs the probe and waits for it while dispatching this thread's messages:
// the probe restores and raises a window of this thread, which the system
// does through messages to it.
DWORD RunProbe(const wchar_t *argument)
{
    std::wstring command = L"\"" + ProbePath() + L"\" " + argument;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "cannot start the probe, error " << GetLastError();
        return DWORD(-1);
    }
    CloseHandle(process.hThread);
    const ULONGLONG deadline = GetTickCount64() + 60000;
    for (;;) {
        const DWORD wait = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 200, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0)
            break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (GetTickCount64() > deadline) {
            TerminateProcess(process.hProcess, 99);
            ADD_FAILURE() << "the probe did not end";
            break;
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return code;
}

HWND MakeWindow(const wchar_t *title, int x)
{
    static const ATOM windowClass = [] {
        WNDCLASSW description{};
        description.lpfnWndProc = DefWindowProcW;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = L"VelmoraInstanceTest";
        return RegisterClassW(&description);
    }();
    if (!windowClass)
        return nullptr;
    return CreateWindowExW(0, L"VelmoraInstanceTest", title, WS_OVERLAPPEDWINDOW, x, 40, 200, 120, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

void Pump()
{
    MSG message;
    for (int round = 0; round < 20; ++round) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(10);
    }
}

bool IsAbove(HWND upper, HWND lower)
{
    for (HWND w = GetWindow(upper, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == lower)
            return true;
    }
    return false;
}

TEST(WinInstance, SecondProcessSeesTheMutexTakenAndHandsOver)
{
    WinInstanceMutex first;
    ASSERT_EQ(CheckSingleInstance(first), InstanceCheck::First);
    ASSERT_TRUE(first.HasHandle());

    EXPECT_EQ(RunProbe(L"lasterror"), DWORD(ERROR_ALREADY_EXISTS));
    // No window of the first instance: the second still exits 0.
    ASSERT_EQ(FindRunningInstance(), nullptr);
    EXPECT_EQ(RunProbe(L"start"), 0u);

    // The name is free again once the first instance lets go.
    first.Close();
    EXPECT_EQ(RunProbe(L"start"), 42u);
    EXPECT_EQ(RunProbe(L"lasterror"), 0u);
}

TEST(WinInstance, SecondProcessRaisesTheFirstInstancesWindow)
{
    WinInstanceMutex first;
    ASSERT_EQ(CheckSingleInstance(first), InstanceCheck::First);

    const HWND widget = MakeWindow(InstanceWindowTitle, 40);
    const HWND other = MakeWindow(L"Another program", 80);
    if (!widget || !other)
        GTEST_SKIP() << "needs a display: Wine could not create a window (run under Xvfb)";
    ShowWindow(widget, SW_SHOWMINIMIZED);
    ShowWindow(other, SW_SHOWNORMAL);
    SetForegroundWindow(other);
    Pump();
    ASSERT_TRUE(IsIconic(widget));
    ASSERT_EQ(FindRunningInstance(), widget);

    EXPECT_EQ(RunProbe(L"start"), 0u);
    Pump();
    EXPECT_FALSE(IsIconic(widget)) << "not restored";
    EXPECT_EQ(GetForegroundWindow(), widget) << "not brought to the foreground";
    EXPECT_TRUE(IsAbove(widget, other)) << "not lifted above the other window";
    EXPECT_EQ(GetWindowLongW(widget, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "left topmost";

    DestroyWindow(other);
    DestroyWindow(widget);
}

TEST(WinInstance, TitleLookupIgnoresLetterCaseAndWindowClass)
{
    const HWND window = MakeWindow(L"KVDIVOZIVIRUDU", 60);
    if (!window)
        GTEST_SKIP() << "needs a display: Wine could not create a window (run under Xvfb)";
    EXPECT_EQ(FindRunningInstance(), window);
    DestroyWindow(window);
    EXPECT_EQ(FindRunningInstance(), nullptr);
}

} // namespace
