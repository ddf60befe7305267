#include "platform/menu.h"

#include <map>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include "platform/cmd_target.h"
#include "platform/qt/frame_widget.h"
#include "platform/frame_wnd.h"
#include "platform/qt/menu_handle.h"
#include "platform/window_defs.h"

namespace {
QList<QAction*> ItemsOf(const QWidget* menu) {
    return menu != nullptr ? menu->actions() : QList<QAction*>();
}
}  // namespace

unsigned ActionCommandId(const QAction* action) {
    return action != nullptr ? action->data().toUInt() : 0;
}

void BuildMenuItems(QWidget* menu, std::span<const MenuItemResource> items) {
    for (const MenuItemResource& item : items) {
        if (item.text == nullptr) {
            auto* separator = new QAction(menu);
            separator->setSeparator(true);
            menu->addAction(separator);
        } else if (!item.popup.empty()) {
            auto* popup = new QMenu(QString::fromUtf8(item.text), menu);
            // Items explain themselves (why one is grey) in their tool tips.
            popup->setToolTipsVisible(true);
            BuildMenuItems(popup, item.popup);
            menu->addAction(popup->menuAction());
        } else {
            auto* action = new QAction(QString::fromUtf8(item.text), menu);
            action->setData(item.id);
            menu->addAction(action);
        }
    }
}

std::vector<QMetaObject::Connection> ConnectMenuUpdates(QWidget* menu, QObject* context,
                                                        const std::function<void(QMenu*)>& onShow) {
    std::vector<QMetaObject::Connection> connections;
    if (auto* popup = qobject_cast<QMenu*>(menu)) {
        connections.push_back(QObject::connect(popup, &QMenu::aboutToShow, context,
                                               [popup, onShow] { onShow(popup); }));
    }
    for (QAction* action : ItemsOf(menu)) {
        if (QMenu* sub = action->menu()) {
            auto more = ConnectMenuUpdates(sub, context, onShow);
            connections.insert(connections.end(), more.begin(), more.end());
        }
    }
    return connections;
}

struct CMenu::Impl {
    MenuHandle* handle = nullptr;      // what this CMenu reads
    MenuHandle owned;                  // the menu LoadMenu built
    std::map<int, std::unique_ptr<CMenu>> subMenus;
    std::map<int, MenuHandle> subHandles;

    QWidget* Widget() const { return handle != nullptr ? handle->widget.data() : nullptr; }
    QAction* ItemAt(int position) const {
        QList<QAction*> items = ItemsOf(Widget());
        return position >= 0 && position < items.size() ? items[position] : nullptr;
    }
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
    auto* root = new QMenu();
    root->setToolTipsVisible(true);
    BuildMenuItems(root, resource->items);
    m_impl->owned.widget = root;
    m_impl->handle = &m_impl->owned;
    return true;
}

void CMenu::DestroyMenu() {
    m_impl->subMenus.clear();
    m_impl->subHandles.clear();
    if (m_impl->owned.widget) {
        // deleteLater: the menu may still be closing its popup.
        m_impl->owned.widget->deleteLater();
        m_impl->owned.widget.clear();
    }
    if (m_impl->handle == &m_impl->owned) {
        m_impl->handle = nullptr;
    }
}

bool CMenu::IsLoaded() const { return m_impl->Widget() != nullptr; }

int CMenu::GetMenuItemCount() const { return static_cast<int>(ItemsOf(m_impl->Widget()).size()); }

unsigned CMenu::GetMenuItemID(int position) const {
    QAction* item = m_impl->ItemAt(position);
    if (item == nullptr || item->isSeparator()) {
        return 0;
    }
    return item->menu() != nullptr ? kPopupItemId : ActionCommandId(item);
}

std::string CMenu::GetMenuString(int position) const {
    QAction* item = m_impl->ItemAt(position);
    return item != nullptr ? item->text().toStdString() : std::string();
}

std::uint32_t CMenu::GetMenuState(int position) const {
    QAction* item = m_impl->ItemAt(position);
    if (item == nullptr) {
        return 0;
    }
    std::uint32_t state = 0;
    if (item->isSeparator()) state |= MF_SEPARATOR;
    if (item->menu() != nullptr) state |= MF_POPUP;
    if (!item->isEnabled()) state |= MF_GRAYED;
    if (item->isChecked()) state |= MF_CHECKED;
    auto* popup = qobject_cast<QMenu*>(m_impl->Widget());
    if (popup != nullptr && popup->defaultAction() == item) state |= MF_DEFAULT;
    return state;
}

CMenu* CMenu::GetSubMenu(int position) {
    QAction* item = m_impl->ItemAt(position);
    if (item == nullptr || item->menu() == nullptr) {
        return nullptr;
    }
    std::unique_ptr<CMenu>& sub = m_impl->subMenus[position];
    MenuHandle& handle = m_impl->subHandles[position];
    handle.widget = item->menu();
    if (!sub) {
        sub = std::make_unique<CMenu>(&handle);
    }
    return sub.get();
}

bool CMenu::SetDefaultItem(unsigned id) {
    auto* popup = qobject_cast<QMenu*>(m_impl->Widget());
    if (popup == nullptr) {
        return false;
    }
    for (QAction* item : popup->actions()) {
        if (item->menu() == nullptr && !item->isSeparator() && ActionCommandId(item) == id) {
            popup->setDefaultAction(item);
            return true;
        }
    }
    return false;
}

unsigned CMenu::GetDefaultItem() const {
    auto* popup = qobject_cast<QMenu*>(m_impl->Widget());
    if (popup == nullptr || popup->defaultAction() == nullptr) {
        return kPopupItemId;
    }
    return ActionCommandId(popup->defaultAction());
}

void CMenu::UpdateItems(CCmdTarget& route) {
    for (QAction* item : ItemsOf(m_impl->Widget())) {
        if (item->isSeparator() || item->menu() != nullptr || ActionCommandId(item) == 0) {
            continue;
        }
        CCmdUI state(ActionCommandId(item));
        state.DoUpdate(route);
        item->setEnabled(state.IsEnabled());
        // Only a checked item is checkable, so unchecked ones show no empty box, as on Windows;
        // this also overwrites whatever Qt toggled on its own when the item was last chosen.
        item->setCheckable(state.IsChecked());
        item->setChecked(state.IsChecked());
        item->setToolTip(QString::fromStdString(state.ToolTip()));
        item->setStatusTip(QString::fromStdString(state.ToolTip()));
    }
}

bool CMenu::TrackPopupMenu(std::uint32_t flags, int x, int y, CFrameWnd* owner) {
    auto* popup = qobject_cast<QMenu*>(m_impl->Widget());
    if (popup == nullptr || owner == nullptr || owner->GetFrameWidget() == nullptr) {
        return false;
    }
    QPointer<FrameWidget> ownerWidget(owner->GetFrameWidget());
    auto connections = ConnectMenuUpdates(popup, ownerWidget, [ownerWidget](QMenu* shown) {
        if (ownerWidget && ownerWidget->Frame() != nullptr) {
            MenuHandle handle{shown};
            CMenu wrapper(&handle);
            ownerWidget->Frame()->OnInitMenuPopup(wrapper);
        }
    });
    QSize size = popup->sizeHint();
    QPoint at(x, y);
    if (flags & TPM_CENTERALIGN) at.rx() -= size.width() / 2;
    if (flags & TPM_BOTTOMALIGN) at.ry() -= size.height();
    QAction* chosen = popup->exec(at);
    for (const auto& connection : connections) {
        QObject::disconnect(connection);
    }
    // As on Windows, the choice reaches the owner as an ordinary posted command.
    if (chosen != nullptr && ActionCommandId(chosen) != 0 && ownerWidget &&
        ownerWidget->Frame() != nullptr) {
        ownerWidget->Frame()->PostCommand(ActionCommandId(chosen));
    }
    return true;
}

MenuHandle* CMenu::GetHandle() const { return m_impl->handle; }
