// Ferrox's two menus: every text, id and position, the check marks and greyed items as the
// menus open, and commands chosen from the menu bar.
#include <string>
#include <vector>

#include <QMenu>
#include <QMenuBar>

#include "app/command_ids.h"
#include "app_fixture.h"
#include "platform/qt/frame_widget.h"
#include "platform/menu.h"

namespace {
// One line per item: its path, then its id ("-" for a separator, ">" for a popup).
void Describe(CMenu& menu, const std::string& path, std::vector<std::string>& lines) {
    for (int i = 0; i < menu.GetMenuItemCount(); ++i) {
        unsigned id = menu.GetMenuItemID(i);
        std::uint32_t state = menu.GetMenuState(i);
        if (state & MF_SEPARATOR) {
            lines.push_back(path + "-");
        } else if (id == kPopupItemId) {
            std::string popupPath = path + menu.GetMenuString(i) + "/";
            lines.push_back(popupPath);
            Describe(*menu.GetSubMenu(i), popupPath, lines);
        } else {
            lines.push_back(path + menu.GetMenuString(i) + " " + std::to_string(id));
        }
    }
}

std::vector<std::string> ThreadsItems(const std::string& path) {
    return {path + "&Automatic 40015", path + "-",
            path + "&1 Thread 40009",  path + "&2 Threads 40010",
            path + "&4 Threads 40011", path + "&8 Threads 40012",
            path + "-",                path + "1&6 Threads?!? 40016"};
}

std::vector<std::string> CycleAndLoadItems(const std::string& path) {
    return {path + "&Cycle Through Processors 40044", path + "Cycle Period/",
            path + "Cycle Period/&10 Seconds 40045", path + "Cycle Period/&1 Minute 40046",
            path + "Cycle Period/&5 Minutes 40047", path + "Cycle Period/1&0 Minutes 40048"};
}

std::vector<std::string> CheckedLoadItems(const std::string& path) {
    const std::string limit = path + "&Temperature Limit/";
    return {path + "Load/", path + "Load/&Built-in 40050", path + "Load/&AVX2/FMA 40051",
            path + "Load/AVX-&512 40052", path + "Load/&Widest Available 40053", path + "Load/-",
            path + "Load/&Cache 40054", path + "Load/&Memory 40055", path + "Memory Size/",
            path + "Memory Size/&10% of Available 40056", path + "Memory Size/&25% of Available 40057",
            path + "Memory Size/&50% of Available 40058", path + "Memory Size/&70% of Available 40059",
            path + "&Pin Workers to Processors 40042", path + "Stop &Worker on Error 40043", limit,
            limit + "&Critical Point - 5 \u00b0C 40080", limit + "-", limit + "&80 \u00b0C 40081",
            limit + "8&5 \u00b0C 40082", limit + "&90 \u00b0C 40083", limit + "9&5 \u00b0C 40084", limit + "-",
            limit + "&None 40085", path + "Run P&lan/", path + "Run P&lan/&Quick (5 Minutes) 40090",
            path + "Run P&lan/&Standard (30 Minutes) 40091", path + "Run P&lan/&Thorough (Hours) 40092", path + "-"};
}

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The item with this text in menu, opened as the user opens it.
QAction* OpenAndFind(QMenu* menu, const QString& text) {
    menu->popup(QPoint(0, 0));
    ProcessEvents();
    for (QAction* action : menu->actions()) {
        if (action->text() == text) return action;
    }
    return nullptr;
}

QMenu* MenuBarPopup(CFerroxFrame& frame, int position) {
    return frame.GetFrameWidget()->MenuBar()->actions().at(position)->menu();
}
}  // namespace

using Menus = RunningApp;

TEST_F(Menus, MainMenuHasEveryItemInOrder) {
    std::vector<std::string> lines;
    Describe(*Frame().GetMenu(), "", lines);
    std::vector<std::string> expected = Concat({
        {"&Settings/", "&Settings/&Minimize 40014", "&Settings/-", "&Settings/Threads/"},
        ThreadsItems("&Settings/Threads/"),
        CycleAndLoadItems("&Settings/"),
        {"&Settings/-", "&Settings/&1 Low Priority 40026", "&Settings/&2 Normal Priority 40027",
         "&Settings/&3 High Priority 40024", "&Settings/&4 Realtime Priority 40023", "&Settings/-"},
        CheckedLoadItems("&Settings/"),
        {"&Settings/&Animated 40007", "&Settings/M&onitor... 40041", "&Settings/-", "&Settings/&Exit 57665"},
        {"&Help/", "&Help/&About 40029", "&Help/&Home Page 40030", "&Help/&Results... 40040"},
        {"Sharing/", "Sharing/CPU && Overclocking Database 40035", "Sharing/-",
         "Sharing/Settings... 40036"},
    });
    EXPECT_EQ(lines, expected);
}

TEST_F(Menus, TrayMenuHasEveryItemInOrderWithShowAsDefault) {
    CMenu tray;
    ASSERT_TRUE(tray.LoadMenu(kTrayMenuId));
    std::vector<std::string> lines;
    Describe(tray, "", lines);
    std::vector<std::string> expected = Concat({
        {"&Settings/", "&Settings/&Show 40028", "&Settings/-", "&Settings/Threads/"},
        ThreadsItems("&Settings/Threads/"),
        CycleAndLoadItems("&Settings/"),
        {"&Settings/-", "&Settings/Low Priority 40026", "&Settings/Normal Priority 40027",
         "&Settings/High Priority 40024", "&Settings/Realtime Priority 40023", "&Settings/-"},
        CheckedLoadItems("&Settings/"),
        {"&Settings/&Animated 40007", "&Settings/M&onitor... 40041", "&Settings/&Results... 40040", "&Settings/-", "&Settings/&Exit 57665"},
    });
    EXPECT_EQ(lines, expected);

    CMenu* popup = tray.GetSubMenu(0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->GetDefaultItem(), kPopupItemId);
    EXPECT_TRUE(popup->SetDefaultItem(kCmdShow));
    EXPECT_EQ(popup->GetDefaultItem(), kCmdShow);
    EXPECT_NE(popup->GetMenuState(0) & MF_DEFAULT, 0u);
    EXPECT_FALSE(popup->SetDefaultItem(kCmdHomePage));  // not in this menu
    EXPECT_FALSE(tray.LoadMenu(103));
}

TEST_F(Menus, OpeningAMenuSetsChecksAndGreysItemsWithoutHandlers) {
    UseOneWorker();
    QMenu* settings = MenuBarPopup(Frame(), 0);
    QAction* normal = OpenAndFind(settings, "&2 Normal Priority");
    ASSERT_NE(normal, nullptr);
    EXPECT_TRUE(normal->isChecked());
    EXPECT_TRUE(OpenAndFind(settings, "&Animated")->isChecked());
    EXPECT_FALSE(OpenAndFind(settings, "&1 Low Priority")->isChecked());
    EXPECT_FALSE(OpenAndFind(settings, "&Minimize")->isChecked());
    EXPECT_TRUE(OpenAndFind(settings, "&Exit")->isEnabled());
    settings->close();

    QMenu* help = MenuBarPopup(Frame(), 1);
    EXPECT_FALSE(OpenAndFind(help, "&About")->isEnabled());
    QAction* home = OpenAndFind(help, "&Home Page");
    EXPECT_TRUE(home->isEnabled());
    EXPECT_FALSE(home->isChecked());
    help->close();

    QMenu* sharing = MenuBarPopup(Frame(), 2);
    EXPECT_FALSE(OpenAndFind(sharing, "CPU && Overclocking Database")->isEnabled());
    EXPECT_FALSE(OpenAndFind(sharing, "Settings...")->isEnabled());
    sharing->close();
    ProcessEvents();
}

TEST_F(Menus, ChoosingFromTheMenuBarRunsTheCommandAndTheNextOpeningShowsTheTruth) {
    UseOneWorker();
    QMenu* settings = MenuBarPopup(Frame(), 0);
    QAction* low = OpenAndFind(settings, "&1 Low Priority");
    ASSERT_NE(low, nullptr);
    low->trigger();
    EXPECT_EQ(app->m_priorityCommand, kCmdLowPriority);

    // Choosing the checked item again: Qt unticks it on its own, the next opening ticks it again.
    QAction* again = OpenAndFind(settings, "&1 Low Priority");
    again->trigger();
    EXPECT_FALSE(again->isChecked());
    EXPECT_EQ(app->m_priorityCommand, kCmdLowPriority);
    EXPECT_TRUE(OpenAndFind(settings, "&1 Low Priority")->isChecked());
    EXPECT_FALSE(OpenAndFind(settings, "&2 Normal Priority")->isChecked());

    // The same through the platform's own menu objects.
    CMenu* settingsMenu = Frame().GetMenu()->GetSubMenu(0);
    ASSERT_NE(settingsMenu, nullptr);
    Frame().OnInitMenuPopup(*settingsMenu);
    EXPECT_NE(settingsMenu->GetMenuState(6) & MF_CHECKED, 0u);  // "&1 Low Priority"
    EXPECT_EQ(settingsMenu->GetMenuState(7) & MF_CHECKED, 0u);  // "&2 Normal Priority"
    settings->close();
    ProcessEvents();
}
