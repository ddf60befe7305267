// Menus built from the program's menu resources: a menu bar or a popup, its items, their states,
// and popup tracking.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CCmdTarget;
class CFrameWnd;
struct MenuHandle;  // the backend's menu object

// GetMenuItemID of a popup item.
inline constexpr unsigned kPopupItemId = 0xFFFFFFFFu;

class CMenu {
public:
    CMenu();
    ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // Builds the menu resource id (its popups become this menu's items); false when unknown.
    bool LoadMenu(unsigned resourceId);
    void DestroyMenu();
    bool IsLoaded() const;

    int GetMenuItemCount() const;
    // The command id at position: 0 for a separator, kPopupItemId for a popup, 0 when out of range.
    unsigned GetMenuItemID(int position) const;
    std::string GetMenuString(int position) const;
    // MF_ flags of the item at position (MF_SEPARATOR, MF_POPUP, MF_GRAYED, MF_CHECKED, MF_DEFAULT).
    std::uint32_t GetMenuState(int position) const;
    // The popup at position, owned by this menu; null for other items.
    CMenu* GetSubMenu(int position);

    // Shows the item with command id (searched in this menu only) as the default (bold) item.
    bool SetDefaultItem(unsigned id);
    // The default item's command id, or kPopupItemId when there is none.
    unsigned GetDefaultItem() const;

    // Brings every command item of this menu up to date through route's update handlers.
    void UpdateItems(CCmdTarget& route);

    // Shows this popup at screen point (x, y) aligned by TPM_ flags and returns when it closes;
    // the chosen item's command is posted to owner. False when this is not a popup.
    bool TrackPopupMenu(std::uint32_t flags, int x, int y, CFrameWnd* owner);

    // Wraps a backend menu that someone else owns.
    explicit CMenu(MenuHandle* borrowed);
    MenuHandle* GetHandle() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
