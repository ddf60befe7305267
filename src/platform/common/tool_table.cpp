#include "platform/common/tool_table.h"

ToolEntry& ToolTable::Add(unsigned id, const CRect& rect, const char* text) {
    ToolEntry& tool = m_tools[id];
    tool = ToolEntry{0, rect, text};
    return tool;
}

ToolEntry* ToolTable::Find(unsigned id) {
    auto found = m_tools.find(id);
    return found != m_tools.end() ? &found->second : nullptr;
}

const ToolEntry* ToolTable::Find(unsigned id) const {
    auto found = m_tools.find(id);
    return found != m_tools.end() ? &found->second : nullptr;
}

bool ToolTable::Describe(unsigned id, TOOLINFO* info) const {
    const ToolEntry* tool = Find(id);
    if (info == nullptr || tool == nullptr) {
        return false;
    }
    info->uFlags = tool->flags;
    info->uId = id;
    info->rect = tool->rect;
    info->lpszText = tool->text.c_str();
    return true;
}

ToolEntry* ToolTable::Update(const TOOLINFO* info) {
    ToolEntry* tool = info != nullptr ? Find(info->uId) : nullptr;
    if (tool == nullptr) {
        return nullptr;
    }
    tool->flags = info->uFlags;
    tool->rect = info->rect;
    if (info->lpszText != nullptr) {
        tool->text = std::string(info->lpszText);
    }
    return tool;
}

ToolEntry* ToolTable::Move(unsigned id, const CRect& rect) {
    ToolEntry* tool = Find(id);
    if (tool != nullptr) tool->rect = rect;
    return tool;
}

int ToolTable::Delay(std::uint32_t which) const {
    auto found = m_delays.find(which);
    return found != m_delays.end() ? found->second : 0;
}
