// The table window on Windows: a list view filled from the source, refreshed by its timer while
// shown, hidden (not destroyed) when closed, and shown again with new content.

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/table_window.h"

namespace {

HWND ListOf(const std::string& title) {
    HWND window = FindWindowW(L"FerroxTable", std::wstring(title.begin(), title.end()).c_str());
    return window != nullptr ? FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
}

std::string Cell(HWND list, int row, int column) {
    wchar_t text[128] = {};
    ListView_GetItemText(list, row, column, text, 128);
    return std::string(text, text + wcslen(text));  // ASCII in these tests
}

template <typename Done>
bool PumpUntil(Done done, int milliseconds = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    Win32MSG message;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        SleepNative(5);
    }
    return true;
}

}  // namespace

TEST(Win32TableWindow, ShowsTheSourceAndRefreshesItEverySecond) {
    int fills = 0;
    auto source = [&fills] {
        ++fills;
        TableContent content;
        content.heading = "Run " + std::to_string(fills);
        content.columns = {"Processor", "Errors"};
        content.rows = {{"0", "0"}, {"1", std::to_string(fills)}, {"2"}};
        content.alarmRows = {false, true};
        return content;
    };
    CTableWindow table;
    EXPECT_FALSE(table.IsShown());
    table.Show(nullptr, "Results", source);
    ASSERT_TRUE(table.IsShown());
    HWND list = ListOf("Results");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ListView_GetItemCount(list), 3);
    EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 2);
    EXPECT_EQ(Cell(list, 1, 1), "1");
    EXPECT_EQ(Cell(list, 2, 1), "") << "a short row leaves its cells empty";
    EXPECT_EQ(table.Shown().heading, "Run 1");

    ASSERT_TRUE(PumpUntil([&] { return fills >= 2; })) << "the timer refreshes it";
    EXPECT_EQ(Cell(list, 1, 1), std::to_string(fills));
    EXPECT_EQ(table.Shown().heading, "Run " + std::to_string(fills));

    // Closing hides it, and the timer stops filling it.
    SendMessageW(GetParent(list), WM_CLOSE, 0, 0);
    EXPECT_FALSE(table.IsShown());
    const int filledWhenClosed = fills;
    PumpUntil([] { return false; }, 1500);  // long enough for a refresh
    EXPECT_EQ(fills, filledWhenClosed);

    table.Show(nullptr, "Results again", [] {
        TableContent content;
        content.columns = {"A"};
        content.rows = {{"x"}};
        return content;
    });
    EXPECT_TRUE(table.IsShown());
    EXPECT_EQ(ListOf("Results"), nullptr);
    list = ListOf("Results again");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ListView_GetItemCount(list), 1);
    EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 1);
    EXPECT_EQ(Cell(list, 0, 0), "x");
    table.Close();
    EXPECT_FALSE(table.IsShown());
}
