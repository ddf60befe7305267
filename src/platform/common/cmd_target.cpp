#include "platform/cmd_target.h"

void CCmdUI::Enable(bool on) {
    m_enabled = on;
    m_enableChanged = true;
}

void CCmdUI::SetCheck(int check) {
    m_checked = check != 0;
    m_checkChanged = true;
}

void CCmdUI::SetToolTip(const std::string& text) { m_toolTip = text; }

void CCmdUI::DoUpdate(CCmdTarget& target) {
    if (target.OnCmdMsg(m_nID, CommandPhase::Update, this) || m_enableChanged) {
        return;
    }
    // No update handler: the item is usable exactly when someone would run its command.
    Enable(target.OnCmdMsg(m_nID, CommandPhase::Probe, nullptr));
}

bool DispatchCommandMap(std::span<const CommandMapEntry> map, CCmdTarget& target, unsigned id,
                        CommandPhase phase, CCmdUI* item) {
    for (const CommandMapEntry& entry : map) {
        if (entry.id != id) {
            continue;
        }
        switch (phase) {
        case CommandPhase::Execute:
            if (entry.onCommand != nullptr) {
                entry.onCommand(target, id);
                return true;
            }
            break;
        case CommandPhase::Update:
            if (entry.onUpdate != nullptr && item != nullptr) {
                entry.onUpdate(target, *item);
                return true;
            }
            break;
        case CommandPhase::Probe:
            if (entry.onCommand != nullptr) {
                return true;
            }
            break;
        }
    }
    return false;
}

bool CCmdTarget::OnCmdMsg(unsigned id, CommandPhase phase, CCmdUI* item) {
    return DispatchCommandMap(GetCommandMap(), *this, id, phase, item);
}
