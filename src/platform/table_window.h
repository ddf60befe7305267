#pragma once
// A window of its own beside the main one: a heading line over a table, which refreshes itself
// once a second from the program's values while it is shown (the Results window). Closing it only
// hides it; showing it again brings it back, raised.

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFrameWnd;

struct TableContent {
    std::string heading;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::vector<bool> alarmRows;  // per row: shown as an alarm (a failing processor); may be shorter
};

class CTableWindow {
public:
    using ContentSource = std::function<TableContent()>;

    CTableWindow();
    ~CTableWindow();
    CTableWindow(const CTableWindow&) = delete;
    CTableWindow& operator=(const CTableWindow&) = delete;

    // Shows the window titled title (and raises it), filled from source now and every second.
    void Show(CFrameWnd* owner, const std::string& title, ContentSource source);
    void Close();
    bool IsShown() const;
    // Fills the window from its source at once (tests; the timer does it by itself).
    void Refresh();
    // What it shows now.
    TableContent Shown() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
