#include "app/resources.h"

#include "app/app_icon.h"
#include "app/command_ids.h"
#include "assets/embedded_files.h"
#include "display/animation_scene.h"

namespace {
constexpr MenuItemResource kSeparator{nullptr, 0, {}};

constexpr MenuItemResource Item(const char* text, unsigned id) { return {text, id, {}}; }

// Shared by the menu bar and the tray menu.
constexpr MenuItemResource kThreadItems[] = {
    Item("&Automatic", kCmdAutomaticThreads),
    kSeparator,
    Item("&1 Thread", kCmdOneThread),
    Item("&2 Threads", kCmdTwoThreads),
    Item("&4 Threads", kCmdFourThreads),
    Item("&8 Threads", kCmdEightThreads),
    kSeparator,
    Item("1&6 Threads?!?", kCmdSixteenThreads),
};

constexpr MenuItemResource kCyclePeriodItems[] = {
    Item("&10 Seconds", kCmdCycle10Seconds),
    Item("&1 Minute", kCmdCycle1Minute),
    Item("&5 Minutes", kCmdCycle5Minutes),
    Item("1&0 Minutes", kCmdCycle10Minutes),
};

constexpr MenuItemResource kLoadItems[] = {
    Item("&Built-in", kCmdLoadBuiltin),
    Item("&AVX2/FMA", kCmdLoadAvx2),
    Item("AVX-&512", kCmdLoadAvx512),
    Item("&Widest Available", kCmdLoadWidest),
    kSeparator,
    Item("&Cache", kCmdLoadCache),
    Item("&Memory", kCmdLoadMemory),
};

// Shares of the available memory for the memory load's buffer.
constexpr MenuItemResource kMemorySizeItems[] = {
    Item("&10% of Available", kCmdMemory10Percent),
    Item("&25% of Available", kCmdMemory25Percent),
    Item("&50% of Available", kCmdMemory50Percent),
    Item("&70% of Available", kCmdMemory70Percent),
};

constexpr MenuItemResource kLimitItems[] = {
    Item("&Critical Point - 5 \u00b0C", kCmdLimitFromSensors),
    kSeparator,
    Item("&80 \u00b0C", kCmdLimit80),
    Item("8&5 \u00b0C", kCmdLimit85),
    Item("&90 \u00b0C", kCmdLimit90),
    Item("9&5 \u00b0C", kCmdLimit95),
    kSeparator,
    Item("&None", kCmdLimitNone),
};

constexpr MenuItemResource kPlanItems[] = {
    Item("&Quick (5 Minutes)", kCmdPlanQuick),
    Item("&Standard (30 Minutes)", kCmdPlanStandard),
    Item("&Thorough (Hours)", kCmdPlanThorough),
};

constexpr MenuItemResource kMainSettings[] = {
    Item("&Minimize", kCmdMinimize),
    kSeparator,
    {"Threads", 0, kThreadItems},
    Item("&Cycle Through Processors", kCmdCycleProcessors),
    {"Cycle Period", 0, kCyclePeriodItems},
    kSeparator,
    Item("&1 Low Priority", kCmdLowPriority),
    Item("&2 Normal Priority", kCmdNormalPriority),
    Item("&3 High Priority", kCmdHighPriority),
    Item("&4 Realtime Priority", kCmdRealtimePriority),
    kSeparator,
    {"Load", 0, kLoadItems},
    {"Memory Size", 0, kMemorySizeItems},
    Item("&Pin Workers to Processors", kCmdPinWorkers),
    Item("Stop &Worker on Error", kCmdStopOnError),
    {"&Temperature Limit", 0, kLimitItems},
    {"Run P&lan", 0, kPlanItems},
    kSeparator,
    Item("&Animated", kCmdAnimated),
    Item("M&onitor...", kCmdMonitor),
    kSeparator,
    Item("&Exit", kCmdExit),
};

constexpr MenuItemResource kMainHelp[] = {
    Item("&About", kCmdAbout),
    Item("&Home Page", kCmdHomePage),
    Item("&Results...", kCmdResults),
};

constexpr MenuItemResource kMainSharing[] = {
    Item("CPU && Overclocking Database", kCmdSharingDatabase),
    kSeparator,
    Item("Settings...", kCmdSharingSettings),
};

constexpr MenuItemResource kMainMenu[] = {
    {"&Settings", 0, kMainSettings},
    {"&Help", 0, kMainHelp},
    {"Sharing", 0, kMainSharing},
};

constexpr MenuItemResource kTraySettings[] = {
    Item("&Show", kCmdShow),
    kSeparator,
    {"Threads", 0, kThreadItems},
    Item("&Cycle Through Processors", kCmdCycleProcessors),
    {"Cycle Period", 0, kCyclePeriodItems},
    kSeparator,
    Item("Low Priority", kCmdLowPriority),
    Item("Normal Priority", kCmdNormalPriority),
    Item("High Priority", kCmdHighPriority),
    Item("Realtime Priority", kCmdRealtimePriority),
    kSeparator,
    {"Load", 0, kLoadItems},
    {"Memory Size", 0, kMemorySizeItems},
    Item("&Pin Workers to Processors", kCmdPinWorkers),
    Item("Stop &Worker on Error", kCmdStopOnError),
    {"&Temperature Limit", 0, kLimitItems},
    {"Run P&lan", 0, kPlanItems},
    kSeparator,
    Item("&Animated", kCmdAnimated),
    Item("M&onitor...", kCmdMonitor),
    Item("&Results...", kCmdResults),
    kSeparator,
    Item("&Exit", kCmdExit),
};

constexpr MenuItemResource kTrayMenu[] = {
    {"&Settings", 0, kTraySettings},
};

constexpr MenuResource kMenus[] = {
    {kMainResourceId, kMainMenu},
    {kTrayMenuId, kTrayMenu},
};

constexpr StringResource kStrings[] = {
    {kMainResourceId, "Ferrox"},
};
}  // namespace

const ResourceTable& FerroxResources() {
    static const IconResource icons[] = {
        {kMainResourceId, kAppIconSide, kAppIconSide, AppIconPixels()},
        {kErrorIconId, kAppIconSide, kAppIconSide, ErrorIconPixels()},
    };
    // The pictures of the animated logo, as the committed BMP files.
    static const BitmapResource bitmaps[] = {
        {kBackgroundBitmapId, EmbeddedFile("background_117.bmp")},
        {kLogoBitmapId, EmbeddedFile("logo_113.bmp")},
        {kGlowBitmapId, EmbeddedFile("glow_115.bmp")},
    };
    static const ResourceTable table{kMenus, kStrings, icons, bitmaps};
    return table;
}
