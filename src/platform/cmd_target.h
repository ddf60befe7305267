// Command routing of the application framework: every command target has a table of handlers,
// and a menu item is brought up to date just before its menu opens.
#pragma once

#include <span>
#include <string>

class CCmdTarget;

// The state an update handler gives one menu item. An item that no target handles, neither for
// updates nor for the command itself, ends up greyed.
class CCmdUI {
public:
    explicit CCmdUI(unsigned id) : m_nID(id) {}

    void Enable(bool on = true);
    void SetCheck(int check = 1);
    // A line that explains the item (why it is grey, say); shown as its tool tip and status tip.
    void SetToolTip(const std::string& text);

    // Asks the route starting at target for this item's state.
    void DoUpdate(CCmdTarget& target);

    bool IsEnabled() const { return m_enabled; }
    bool IsChecked() const { return m_checked; }
    bool CheckWasSet() const { return m_checkChanged; }
    const std::string& ToolTip() const { return m_toolTip; }

    const unsigned m_nID;

private:
    bool m_enabled = true;
    bool m_enableChanged = false;
    bool m_checked = false;
    bool m_checkChanged = false;
    std::string m_toolTip;
};

// What a command route is asked for.
enum class CommandPhase {
    Execute,  // run the command handler
    Update,   // run the update handler with the item's CCmdUI
    Probe,    // only report whether a command handler exists
};

using CommandHandler = void (*)(CCmdTarget& target, unsigned id);
using UpdateHandler = void (*)(CCmdTarget& target, CCmdUI& item);

// One row of a class's command table; either handler may be null.
struct CommandMapEntry {
    unsigned id;
    CommandHandler onCommand;
    UpdateHandler onUpdate;
};

// Runs the entry for id in map for the given phase; true when the map has a handler for it.
bool DispatchCommandMap(std::span<const CommandMapEntry> map, CCmdTarget& target, unsigned id,
                        CommandPhase phase, CCmdUI* item);

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Looks the command up along this target's route; true when a handler took it.
    virtual bool OnCmdMsg(unsigned id, CommandPhase phase, CCmdUI* item);

protected:
    // The most derived class's own table.
    virtual std::span<const CommandMapEntry> GetCommandMap() const { return {}; }
};
