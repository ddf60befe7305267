// Command routing of the framework layer: the frame's table first, then the application's, then
// the framework's own commands; update handlers and the greying of items nobody handles.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/frame_wnd.h"
#include "platform/win_app.h"

namespace {
std::vector<std::string> g_calls;

class RouteApp : public CWinApp {
protected:
    std::span<const CommandMapEntry> GetCommandMap() const override {
        static const CommandMapEntry map[] = {
            {1001, [](CCmdTarget&, unsigned id) { g_calls.push_back("app " + std::to_string(id)); },
             nullptr},
            {1002, [](CCmdTarget&, unsigned id) { g_calls.push_back("app " + std::to_string(id)); },
             [](CCmdTarget&, CCmdUI& item) { item.SetCheck(1); }},
            {1003, nullptr, [](CCmdTarget&, CCmdUI& item) { item.Enable(false); }},
        };
        return map;
    }
};

class RouteFrame : public CFrameWnd {
public:
    void PostNcDestroy() override {}

protected:
    std::span<const CommandMapEntry> GetCommandMap() const override {
        static const CommandMapEntry map[] = {
            {1001,
             [](CCmdTarget&, unsigned id) { g_calls.push_back("frame " + std::to_string(id)); },
             nullptr},
            {1004,
             [](CCmdTarget&, unsigned id) { g_calls.push_back("frame " + std::to_string(id)); },
             nullptr},
        };
        return map;
    }
};
}  // namespace

TEST(CommandRouting, FrameFirstThenApplicationThenNobody) {
    RouteApp app;
    ASSERT_EQ(AfxGetApp(), &app);
    RouteFrame frame;
    g_calls.clear();

    const struct {
        unsigned id;
        bool handled;
        const char* call;
    } cases[] = {
        {1001, true, "frame 1001"},  // both have it: the frame wins
        {1002, true, "app 1002"},
        {1004, true, "frame 1004"},
        {1003, false, nullptr},  // an update handler alone runs no command
        {1005, false, nullptr},
    };
    for (const auto& c : cases) {
        g_calls.clear();
        EXPECT_EQ(frame.OnCmdMsg(c.id, CommandPhase::Execute, nullptr), c.handled) << c.id;
        if (c.call != nullptr) {
            EXPECT_EQ(g_calls, std::vector<std::string>{c.call}) << c.id;
        } else {
            EXPECT_TRUE(g_calls.empty()) << c.id;
        }
    }
    // The framework's exit command is always routed.
    EXPECT_TRUE(frame.OnCmdMsg(ID_APP_EXIT, CommandPhase::Probe, nullptr));
}

TEST(CommandRouting, UpdatesCheckEnableOrGreyEachItem) {
    RouteApp app;
    RouteFrame frame;
    const struct {
        unsigned id;
        bool enabled;
        bool checked;
        bool checkSet;
    } cases[] = {
        {1001, true, false, false},  // command handler, no update handler
        {1002, true, true, true},    // the application's update handler checks it
        {1003, false, false, false}, // the update handler disables it
        {1004, true, false, false},
        {1005, false, false, false}, // nobody: grey
        {ID_APP_EXIT, true, false, false},
    };
    for (const auto& c : cases) {
        CCmdUI item(c.id);
        item.DoUpdate(frame);
        EXPECT_EQ(item.IsEnabled(), c.enabled) << c.id;
        EXPECT_EQ(item.IsChecked(), c.checked) << c.id;
        EXPECT_EQ(item.CheckWasSet(), c.checkSet) << c.id;
    }
}

TEST(CommandRouting, WithoutAnApplicationOnlyTheFrameHandles) {
    ASSERT_EQ(AfxGetApp(), nullptr);
    RouteFrame frame;
    g_calls.clear();
    EXPECT_TRUE(frame.OnCmdMsg(1004, CommandPhase::Execute, nullptr));
    EXPECT_FALSE(frame.OnCmdMsg(1002, CommandPhase::Execute, nullptr));
    EXPECT_EQ(g_calls, std::vector<std::string>{"frame 1004"});
}

TEST(CommandRouting, OnlyTheFirstApplicationObjectIsTheApplication) {
    RouteApp first;
    {
        RouteApp second;
        EXPECT_EQ(AfxGetApp(), &first);
    }
    EXPECT_EQ(AfxGetApp(), &first);
}
