#pragma once
// Internal to the platform layer: a tool tip control's tools and delays as both backends keep
// them, so that GetToolInfo can hand out text that lives as long as the tool.

#include <cstdint>
#include <map>
#include <string>

#include "platform/tool_tip.h"

struct ToolEntry {
    std::uint32_t flags = 0;
    CRect rect;
    std::string text;
};

class ToolTable {
public:
    // A new tool id (replacing one of that id) with no flags.
    ToolEntry& Add(unsigned id, const CRect& rect, const char* text);
    // Null for an unknown tool.
    ToolEntry* Find(unsigned id);
    const ToolEntry* Find(unsigned id) const;
    // Fills info for tool id, its text pointing into the tool; false for null info or an unknown tool.
    bool Describe(unsigned id, TOOLINFO* info) const;
    // Takes info's flags, rectangle and text (when it has one) into its tool; null for null info
    // or an unknown tool.
    ToolEntry* Update(const TOOLINFO* info);
    // The tool's rectangle becomes rect; null for an unknown tool.
    ToolEntry* Move(unsigned id, const CRect& rect);

    void SetDelay(std::uint32_t which, int milliseconds) { m_delays[which] = milliseconds; }
    // 0 for a delay never set.
    int Delay(std::uint32_t which) const;

private:
    std::map<unsigned, ToolEntry> m_tools;
    std::map<std::uint32_t, int> m_delays;
};
