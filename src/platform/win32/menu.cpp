#include "platform/win32/windows_api.h"

#include <map>

#include "platform/cmd_target.h"
#include "platform/frame_wnd.h"
#include "platform/menu.h"
#include "platform/win32/frame_widget.h"
#include "platform/win32/menu_handle.h"
#include "platform/win32/text.h"

HMENU BuildMenu(std::span<const MenuItemResource> items, bool popup) {
    HMENU menu = popup ? CreatePopupMenu() : CreateMenu();
    if (menu == nullptr) {
        return nullptr;
    }
    for (const MenuItemResource& item : items) {
        if (item.text == nullptr) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else if (!item.popup.empty()) {
            HMENU sub = BuildMenu(item.popup, true);
            if (sub != nullptr) {
                AppendMenuW(menu, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), Utf16(item.text).c_str());
            }
        } else {
            AppendMenuW(menu, MF_STRING, item.id, Utf16(item.text).c_str());
        }
    }
    return menu;
}

struct CMenu::Impl {
    MenuHandle* handle = nullptr;  // what this CMenu reads
    MenuHandle owned;              // the menu LoadMenu built
    std::map<int, std::unique_ptr<CMenu>> subMenus;
    std::map<int, MenuHandle> subHandles;

    HMENU Menu() const { return handle != nullptr ? handle->menu : nullptr; }
    int Count() const { return Menu() != nullptr ? ::GetMenuItemCount(Menu()) : 0; }
    bool Has(int position) const { return position >= 0 && position < Count(); }
};

CMenu::CMenu() : m_impl(std::make_unique<Impl>()) {}

CMenu::CMenu(MenuHandle* borrowed) : m_impl(std::make_unique<Impl>()) { m_impl->handle = borrowed; }

CMenu::~CMenu() { DestroyMenu(); }

bool CMenu::LoadMenu(unsigned resourceId) {
    DestroyMenu();
    const MenuResource* resource = FindMenuResource(resourceId);
    if (resource == nullptr) {
        return false;
    }
    m_impl->owned.menu = BuildMenu(resource->items, false);
    if (m_impl->owned.menu == nullptr) {
        return false;
    }
    m_impl->handle = &m_impl->owned;
    return true;
}

void CMenu::DestroyMenu() {
    m_impl->subMenus.clear();
    m_impl->subHandles.clear();
    if (m_impl->owned.menu != nullptr) {
        ::DestroyMenu(m_impl->owned.menu);  // its popups go with it
        m_impl->owned.menu = nullptr;
    }
    if (m_impl->handle == &m_impl->owned) {
        m_impl->handle = nullptr;
    }
}

bool CMenu::IsLoaded() const { return m_impl->Menu() != nullptr; }

int CMenu::GetMenuItemCount() const { return m_impl->Count(); }

unsigned CMenu::GetMenuItemID(int position) const {
    if (!m_impl->Has(position)) {
        return 0;
    }
    // Windows gives -1 for a popup and 0 for a separator, as the header has it.
    return static_cast<unsigned>(::GetMenuItemID(m_impl->Menu(), position));
}

std::string CMenu::GetMenuString(int position) const {
    if (!m_impl->Has(position)) {
        return {};
    }
    wchar_t text[256] = {};
    const int length = GetMenuStringW(m_impl->Menu(), UINT(position), text, int(std::size(text)), MF_BYPOSITION);
    return Utf8(std::wstring_view(text, std::size_t(length > 0 ? length : 0)));
}

std::uint32_t CMenu::GetMenuState(int position) const {
    if (!m_impl->Has(position)) {
        return 0;
    }
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
    if (!GetMenuItemInfoW(m_impl->Menu(), UINT(position), TRUE, &info)) {
        return 0;
    }
    std::uint32_t state = 0;
    if (info.fType & MFT_SEPARATOR) state |= MF_SEPARATOR;
    if (info.hSubMenu != nullptr) state |= MF_POPUP;
    if (info.fState & MFS_DISABLED) state |= MF_GRAYED;
    if (info.fState & MFS_CHECKED) state |= MF_CHECKED;
    if (info.fState & MFS_DEFAULT) state |= MF_DEFAULT;
    return state;
}

CMenu* CMenu::GetSubMenu(int position) {
    HMENU sub = m_impl->Has(position) ? ::GetSubMenu(m_impl->Menu(), position) : nullptr;
    if (sub == nullptr) {
        return nullptr;
    }
    std::unique_ptr<CMenu>& wrapper = m_impl->subMenus[position];
    MenuHandle& handle = m_impl->subHandles[position];
    handle.menu = sub;
    if (!wrapper) {
        wrapper = std::make_unique<CMenu>(&handle);
    }
    return wrapper.get();
}

bool CMenu::SetDefaultItem(unsigned id) {
    for (int position = 0; position < m_impl->Count(); ++position) {
        if (::GetSubMenu(m_impl->Menu(), position) == nullptr &&
            ::GetMenuItemID(m_impl->Menu(), position) == id && id != 0) {
            return SetMenuDefaultItem(m_impl->Menu(), UINT(position), TRUE) != 0;
        }
    }
    return false;
}

unsigned CMenu::GetDefaultItem() const {
    if (m_impl->Menu() == nullptr) {
        return kPopupItemId;
    }
    // Windows gives -1 when there is none: kPopupItemId.
    return GetMenuDefaultItem(m_impl->Menu(), FALSE, GMDI_USEDISABLED);
}

void CMenu::UpdateItems(CCmdTarget& route) {
    HMENU menu = m_impl->Menu();
    for (int position = 0; position < m_impl->Count(); ++position) {
        const UINT id = ::GetMenuItemID(menu, position);
        if (id == 0 || id == UINT(-1)) {
            continue;  // separators and popups
        }
        CCmdUI state(id);
        state.DoUpdate(route);
        EnableMenuItem(menu, UINT(position), MF_BYPOSITION | (state.IsEnabled() ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(menu, UINT(position), MF_BYPOSITION | (state.IsChecked() ? MF_CHECKED : MF_UNCHECKED));
    }
}

bool CMenu::TrackPopupMenu(std::uint32_t flags, int x, int y, CFrameWnd* owner) {
    HMENU popup = m_impl->Menu();
    FrameWidget* ownerWidget = owner != nullptr ? owner->GetFrameWidget() : nullptr;
    if (popup == nullptr || ownerWidget == nullptr) {
        return false;
    }
    const HWND ownerWindow = ownerWidget->Handle();
    // The owner gets WM_INITMENUPOPUP for every popup opened, and the chosen item as a posted
    // WM_COMMAND, as the header has it.
    const BOOL shown = ::TrackPopupMenu(popup, flags, x, y, 0, ownerWindow, nullptr);
    // A popup opened for a tray icon closes properly only if its owner gets a message after it.
    PostMessageW(ownerWindow, WM_NULL, 0, 0);
    return shown != 0;
}

MenuHandle* CMenu::GetHandle() const { return m_impl->handle; }
