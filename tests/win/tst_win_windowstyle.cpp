// SPDX-License-Identifier: MIT
// The widget window's taskbar presence, z-order and corner preference.
#include "platform/win/WinWindowStyle.h"

#include <WinTestSupport.h>

#include <gtest/gtest.h>

namespace {

using namespace platform::win;

class WinWindowStyleTest : public testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSW description{};
        description.lpfnWndProc = DefWindowProcW;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = L"VelmoraStyleTest";
        RegisterClassW(&description);
        Window = CreateWindowExW(WS_EX_APPWINDOW, L"VelmoraStyleTest", L"", WS_POPUP, 10, 10, 339, 85, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        Other = CreateWindowExW(0, L"VelmoraStyleTest", L"Other", WS_POPUP, 30, 30, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        if (!Window || !Other)
            GTEST_SKIP() << "needs a display: Wine could not create a window (run under Xvfb)";
        ShowWindow(Other, SW_SHOWNORMAL);
    }
    void TearDown() override
    {
        if (Window)
            DestroyWindow(Window);
        if (Other)
            DestroyWindow(Other);
    }

    HWND Window = nullptr;
    HWND Other = nullptr;
};

TEST_F(WinWindowStyleTest, HideFromTaskbarMakesAToolWindowAndKeepsThePlace)
{
    RECT before{}, after{};
    GetWindowRect(Window, &before);
    HideFromTaskbar(Window);
    const LONG_PTR style = GetWindowLongPtrW(Window, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_EX_APPWINDOW, 0);
    EXPECT_EQ(style & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
    GetWindowRect(Window, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
}

TEST_F(WinWindowStyleTest, SendToBottomShowsTheWindowBelowTheOthers)
{
    SetWindowPos(Window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SendToBottom(Window);
    EXPECT_TRUE(IsWindowVisible(Window));
    EXPECT_EQ(GetWindowLongW(Window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(GetWindow(Window, GW_HWNDNEXT), nullptr) << "not at the bottom";
}

TEST_F(WinWindowStyleTest, CornerPreferenceReachesTheWindowManager)
{
    // Wine's dwmapi takes the attribute without acting on it; Windows 10
    // refuses it with E_INVALIDARG. Either way the call is made and answered,
    // and the same binding serves every later call.
    for (const CornerPreference preference :
         {CornerPreference::Round, CornerPreference::DoNotRound, CornerPreference(7)}) {
        const long result = SetWindowCorners(Window, preference);
        EXPECT_NE(result, long(E_NOTIMPL)) << "DwmSetWindowAttribute was not bound";
        EXPECT_TRUE(SUCCEEDED(result) || result == long(E_INVALIDARG)) << std::hex << result;
    }
    EXPECT_NE(GetModuleHandleW(L"dwmapi.dll"), nullptr);
}

} // namespace
