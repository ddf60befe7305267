#include "platform/shell.h"

#include <cstring>
#include <map>
#include <utility>

#include <QCursor>
#include <QDesktopServices>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QToolTip>
#include <QUrl>

#include "platform/frame_widget.h"
#include "platform/frame_wnd.h"
#include "platform/icon_object.h"

namespace {
using IconKey = std::pair<const CFrameWnd*, unsigned>;

std::map<IconKey, QPointer<QSystemTrayIcon>>& TrayIcons() {
    static std::map<IconKey, QPointer<QSystemTrayIcon>> icons;
    return icons;
}

std::intptr_t MouseMessageOf(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger: return WM_LBUTTONDOWN;
    case QSystemTrayIcon::Context: return WM_RBUTTONDOWN;
    case QSystemTrayIcon::DoubleClick: return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::MiddleClick: return WM_MBUTTONDOWN;
    default: return WM_NULL;
    }
}

QString TipOf(const NOTIFYICONDATA& data) {
    // The tip need not be terminated inside the record: never read past it.
    return QString::fromUtf8(data.szTip, static_cast<qsizetype>(strnlen(data.szTip, sizeof data.szTip)));
}

void ApplyFields(QSystemTrayIcon* tray, const NOTIFYICONDATA& data) {
    if ((data.uFlags & NIF_ICON) && data.hIcon != nullptr) {
        tray->setIcon(data.hIcon->icon);
    }
    if (data.uFlags & NIF_TIP) {
        QString tip = TipOf(data);
        tray->setToolTip(tip);
        // setToolTip does not reach a tip already on screen: show it again where it is.
        if (QToolTip::isVisible() && tray->geometry().contains(QCursor::pos())) {
            QToolTip::showText(QCursor::pos(), tip);
        }
    }
}
}  // namespace

bool Shell_NotifyIcon(std::uint32_t message, const NOTIFYICONDATA* data) {
    if (data == nullptr || data->cbSize != sizeof(NOTIFYICONDATA) || data->hWnd == nullptr) {
        return false;
    }
    IconKey key{data->hWnd, data->uID};
    auto found = TrayIcons().find(key);
    switch (message) {
    case NIM_ADD: {
        FrameWidget* owner = data->hWnd->GetFrameWidget();
        if (owner == nullptr || (found != TrayIcons().end() && found->second)) {
            return false;
        }
        auto* tray = new QSystemTrayIcon(owner);
        if (data->uFlags & NIF_MESSAGE) {
            QPointer<FrameWidget> window(owner);
            unsigned id = data->uID;
            unsigned callback = data->uCallbackMessage;
            QObject::connect(tray, &QSystemTrayIcon::activated, owner,
                             [window, id, callback](QSystemTrayIcon::ActivationReason reason) {
                                 if (window && window->Frame() != nullptr) {
                                     window->Frame()->PostUserMessage(callback, id,
                                                                      MouseMessageOf(reason));
                                 }
                             });
        }
        ApplyFields(tray, *data);
        tray->show();
        TrayIcons()[key] = tray;
        return QSystemTrayIcon::isSystemTrayAvailable();
    }
    case NIM_MODIFY:
        if (found == TrayIcons().end() || !found->second) {
            return false;
        }
        ApplyFields(found->second, *data);
        return true;
    case NIM_DELETE:
        if (found == TrayIcons().end()) {
            return false;
        }
        if (found->second) {
            found->second->hide();
            // Possibly inside the icon's own activation signal.
            found->second->deleteLater();
        }
        TrayIcons().erase(found);
        return true;
    default:
        return false;
    }
}

bool NotifyIconExists(const CFrameWnd* window, unsigned id) {
    auto found = TrayIcons().find(IconKey{window, id});
    return found != TrayIcons().end() && found->second;
}

std::string NotifyIconTip(const CFrameWnd* window, unsigned id) {
    auto found = TrayIcons().find(IconKey{window, id});
    if (found == TrayIcons().end() || !found->second) {
        return {};
    }
    return found->second->toolTip().toStdString();
}

bool ShellExecute(CFrameWnd*, const char* verb, const char* file, const char*, const char*, int) {
    if (file == nullptr || (verb != nullptr && std::strcmp(verb, "open") != 0)) {
        return false;
    }
    QUrl url = QUrl::fromUserInput(QString::fromUtf8(file));
    return url.isValid() && QDesktopServices::openUrl(url);
}
