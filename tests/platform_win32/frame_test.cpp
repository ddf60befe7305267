// The Win32 frame window driven through its window messages: menus built from the resource table
// and brought up to date on WM_INITMENUPOPUP, commands from WM_COMMAND, tray callbacks, timers, and
// a bottom-up DIB stretched onto the window during WM_PAINT, read back with GetDIBits.

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/frame_wnd.h"
#include "platform/memory_dc.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "platform/win32/frame_widget.h"
#include "platform/win32/menu_handle.h"

namespace {

constexpr unsigned kFrameId = 300;
constexpr unsigned kCmdToggle = 41001;
constexpr unsigned kCmdNobody = 41002;  // no handler anywhere: greyed
constexpr unsigned kCmdCount = 41003;
constexpr unsigned kTrayMessage = WM_USER + 0x100;
constexpr unsigned kTimerId = 9;

constexpr MenuItemResource kItems[] = {
    {"&Toggle", kCmdToggle, {}},
    {nullptr, 0, {}},
    {"&Nobody", kCmdNobody, {}},
    {"&Count", kCmdCount, {}},
};
constexpr MenuItemResource kBar[] = {{"&File", 0, kItems}};
constexpr MenuResource kMenus[] = {{kFrameId, kBar}};
constexpr StringResource kStrings[] = {{kFrameId, "Test frame"}};
const ResourceTable kTable{kMenus, kStrings, {}};

// A 32-bit bottom-up picture whose pixel at picture (x, y) is 0x00RRGGBB with R = 40 x, G = 40 y.
HBITMAP NumberedPicture(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* rows = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) rows[(height - 1 - y) * width + x] = std::uint32_t(40 * x) << 16 | std::uint32_t(40 * y) << 8;
    return bitmap;
}

class TestFrame : public CFrameWnd {
public:
    void OnPaint(CDC& dc) override {
        ++paints;
        if (picture == nullptr) return;
        CDC* memory = CreateCompatibleDC(&dc);
        SelectObject(memory, picture);
        SetStretchBltMode(&dc, COLORONCOLOR);
        stretched = StretchBlt(&dc, 0, 0, 8, 6, memory, 0, 0, 4, 3, SRCCOPY);
        DeleteDC(memory);
    }
    bool OnEraseBkgnd(CDC&) override { return false; }
    void OnTimer(unsigned id) override { timerIds.push_back(id); }
    std::intptr_t OnUserMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        userMessages.push_back({message, wParam, lParam});
        return 0;
    }
    void PostNcDestroy() override { destroyed = true; }  // owned by the test

    struct UserMessage {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    int paints = 0;
    BOOL stretched = FALSE;
    HBITMAP picture = nullptr;
    int toggled = 0;
    int counted = 0;
    bool destroyed = false;
    std::vector<unsigned> timerIds;
    std::vector<UserMessage> userMessages;

protected:
    std::span<const CommandMapEntry> GetCommandMap() const override {
        static const CommandMapEntry map[] = {
            {kCmdToggle, [](CCmdTarget& t, unsigned) { ++static_cast<TestFrame&>(t).toggled; },
             [](CCmdTarget& t, CCmdUI& item) { item.SetCheck(static_cast<TestFrame&>(t).toggled % 2); }},
            {kCmdCount, [](CCmdTarget& t, unsigned) { ++static_cast<TestFrame&>(t).counted; }, nullptr},
        };
        return map;
    }
};

// Dispatches this thread's window messages until done() or five seconds have passed.
template <typename Done>
bool PumpUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    Win32MSG message;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        SleepNative(1);
    }
    return true;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        AfxSetResourceTable(&kTable);
        ASSERT_TRUE(frame.LoadFrame(kFrameId, WS_OVERLAPPEDWINDOW));
        hwnd = frame.GetFrameWidget()->Handle();
    }
    void TearDown() override {
        frame.DestroyWindow();
        AfxSetResourceTable(nullptr);
    }
    TestFrame frame;
    HWND hwnd = nullptr;
};

TEST_F(FrameTest, MenusComeFromTheTableAndUpdateOnInitMenuPopup) {
    EXPECT_EQ(frame.GetWindowText(), "Test frame");
    CMenu* bar = frame.GetMenu();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->GetMenuItemCount(), 1);
    EXPECT_EQ(bar->GetMenuItemID(0), kPopupItemId);
    EXPECT_EQ(bar->GetMenuString(0), "&File");
    CMenu* file = bar->GetSubMenu(0);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->GetMenuItemCount(), 4);
    EXPECT_EQ(file->GetMenuItemID(1), 0u);
    EXPECT_EQ(file->GetMenuState(1) & MF_SEPARATOR, MF_SEPARATOR);

    const auto popup = reinterpret_cast<WPARAM>(file->GetHandle()->menu);
    const struct {
        int toggledBefore;
        std::uint32_t toggleState;  // checked or not; never greyed
    } rounds[] = {{0, 0}, {1, MF_CHECKED}, {2, 0}};
    for (const auto& round : rounds) {
        frame.toggled = round.toggledBefore;
        SendMessageW(hwnd, WM_INITMENUPOPUP, popup, 0);
        EXPECT_EQ(file->GetMenuState(0) & (MF_CHECKED | MF_GRAYED), round.toggleState);
        EXPECT_EQ(file->GetMenuState(2) & MF_GRAYED, MF_GRAYED);  // nobody handles it
        EXPECT_EQ(file->GetMenuState(3) & (MF_CHECKED | MF_GRAYED), 0u);
    }
    EXPECT_TRUE(file->SetDefaultItem(kCmdCount));
    EXPECT_EQ(file->GetDefaultItem(), kCmdCount);
    EXPECT_EQ(file->GetMenuState(3) & MF_DEFAULT, MF_DEFAULT);
    EXPECT_FALSE(file->SetDefaultItem(kCmdNobody + 100));
}

TEST_F(FrameTest, CommandsAndTrayCallbacksArriveThroughMessages) {
    // As a chosen menu item arrives: WM_COMMAND with the id and no control window.
    SendMessageW(hwnd, WM_COMMAND, kCmdToggle, 0);
    frame.PostCommand(kCmdCount);
    ASSERT_TRUE(PumpUntil([&] { return frame.counted == 1; }));
    EXPECT_EQ(frame.toggled, 1);

    NOTIFYICONDATA icon{};
    icon.hWnd = &frame;
    icon.uID = 4;
    icon.uFlags = NIF_MESSAGE | NIF_TIP;
    icon.uCallbackMessage = kTrayMessage;
    std::snprintf(icon.szTip, sizeof icon.szTip, "Ferrox 5 seconds.");
    Shell_NotifyIcon(NIM_ADD, &icon);  // false without a tray; the icon is kept all the same
    EXPECT_TRUE(NotifyIconExists(&frame, 4));
    EXPECT_EQ(NotifyIconTip(&frame, 4), "Ferrox 5 seconds.");
    EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &icon));  // only once

    // The shell's callback: the icon's id and the mouse message, posted to the window.
    for (LPARAM mouse : {LPARAM(WM_LBUTTONDOWN), LPARAM(WM_RBUTTONDOWN)}) {
        PostMessageW(hwnd, kTrayMessage, 4, mouse);
    }
    ASSERT_TRUE(PumpUntil([&] { return frame.userMessages.size() == 2; }));
    EXPECT_EQ(frame.userMessages[0].message, kTrayMessage);
    EXPECT_EQ(frame.userMessages[0].wParam, 4u);
    EXPECT_EQ(frame.userMessages[0].lParam, WM_LBUTTONDOWN);
    EXPECT_EQ(frame.userMessages[1].lParam, WM_RBUTTONDOWN);

    // A restarted shell asks for its icons again; the window answers without the frame seeing it.
    SendMessageW(hwnd, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(frame.userMessages.size(), 2u);
    EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, &icon));
    EXPECT_FALSE(NotifyIconExists(&frame, 4));
}

TEST_F(FrameTest, NotificationsAreShownOnceAndRemembered) {
    NOTIFYICONDATA icon{};
    icon.hWnd = &frame;
    icon.uID = 5;
    icon.uFlags = NIF_TIP;
    Shell_NotifyIcon(NIM_ADD, &icon);
    EXPECT_EQ(NotifyIconLastBalloon(&frame, 5), "");
    EXPECT_EQ(NotifyIconImage(&frame, 5), nullptr);
    icon.uFlags = NIF_INFO;
    std::snprintf(icon.szInfoTitle, sizeof icon.szInfoTitle, "Ferrox");
    std::snprintf(icon.szInfo, sizeof icon.szInfo, "Errors on processor 1.");
    icon.dwInfoFlags = NIIF_ERROR;
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &icon));
    EXPECT_EQ(NotifyIconLastBalloon(&frame, 5), "Ferrox\nErrors on processor 1.");
    // A later change without NIF_INFO shows nothing new; the last notification is kept.
    icon.uFlags = NIF_TIP;
    std::snprintf(icon.szInfo, sizeof icon.szInfo, "not shown");
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &icon));
    EXPECT_EQ(NotifyIconLastBalloon(&frame, 5), "Ferrox\nErrors on processor 1.");
    EXPECT_EQ(NotifyIconLastBalloon(&frame, 6), "");
    EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, &icon));
}

TEST_F(FrameTest, TimersReachOnTimer) {
    frame.SetTimer(kTimerId, 10);
    ASSERT_TRUE(PumpUntil([&] { return frame.timerIds.size() >= 2; }));
    EXPECT_EQ(frame.timerIds[0], kTimerId);
    frame.KillTimer(kTimerId);
}

TEST_F(FrameTest, ABottomUpPictureReachesTheWindowTheRightWayUp) {
    frame.picture = NumberedPicture(4, 3);
    frame.MoveWindow(40, 40, 64, 48, false);
    frame.ShowWindow(SW_SHOW);
    frame.InvalidateRect(true);
    frame.UpdateWindow();  // WM_PAINT now
    ASSERT_GT(frame.paints, 0);
    ASSERT_TRUE(frame.stretched);

    // The client area's top left 8 x 6 pixels, read back through a top-down DIB.
    HDC window = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(window);
    Win32BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(Win32BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 8;
    info.bmiHeader.biHeight = -6;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    Win32HBITMAP copy = CreateCompatibleBitmap(window, 8, 6);
    HGDIOBJ previous = SelectObject(memory, static_cast<HGDIOBJ>(copy));
    BitBlt(memory, 0, 0, 8, 6, window, 0, 0, 0x00CC0020ul /* SRCCOPY */);
    SelectObject(memory, previous);
    std::uint32_t pixels[6][8] = {};
    ASSERT_EQ(GetDIBits(memory, copy, 0, 6, pixels, &info, 0 /* DIB_RGB_COLORS */), 6);
    DeleteObject(static_cast<HGDIOBJ>(copy));
    DeleteDC(memory);
    ReleaseDC(hwnd, window);

    // Each picture pixel doubled (nearest neighbour), the picture's top row at the top.
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(pixels[y][x] & 0xFFFFFFu, std::uint32_t(40 * (x / 2)) << 16 | std::uint32_t(40 * (y / 2)) << 8)
                << x << "," << y;
    DeleteObject(frame.picture);
    frame.picture = nullptr;
}

TEST_F(FrameTest, ClosingDestroysTheWindowAndForgetsItsIcons) {
    NOTIFYICONDATA icon{};
    icon.hWnd = &frame;
    icon.uID = 1;
    Shell_NotifyIcon(NIM_ADD, &icon);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);  // OnClose: DestroyWindow, then PostNcDestroy
    EXPECT_TRUE(frame.destroyed);
    EXPECT_FALSE(frame.IsWindow());
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_FALSE(NotifyIconExists(&frame, 1));
}

}  // namespace
