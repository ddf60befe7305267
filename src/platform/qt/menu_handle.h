// The Qt side of CMenu (inside the platform layer only).
#pragma once

#include <functional>
#include <span>
#include <vector>

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include "platform/resources.h"

class QMenu;

// A menu bar or a popup: both are a widget whose actions are the items.
struct MenuHandle {
    QPointer<QWidget> widget;
};

// Adds items to a QMenuBar or QMenu; each command action carries its id as data.
void BuildMenuItems(QWidget* menu, std::span<const MenuItemResource> items);

// Calls onShow(popup) whenever a popup of menu (or menu itself) is about to open.
std::vector<QMetaObject::Connection> ConnectMenuUpdates(QWidget* menu, QObject* context,
                                                        const std::function<void(QMenu*)>& onShow);

// The command id an action carries, 0 for none.
unsigned ActionCommandId(const class QAction* action);
