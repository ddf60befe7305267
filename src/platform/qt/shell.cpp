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

#include "platform/qt/frame_widget.h"
#include "platform/frame_wnd.h"
#include "platform/qt/icon_object.h"

namespace {
using IconKey = std::pair<const CFrameWnd*, unsigned>;

struct TrayEntry {
    QPointer<QSystemTrayIcon> tray;
    std::string lastBalloon;
    HICON image = nullptr;
};

std::map<IconKey, TrayEntry>& TrayIcons() {
    static std::map<IconKey, TrayEntry> icons;
    return icons;
}

// A fixed-size text field of the record, never read past its end.
QString FieldText(const char* field, std::size_t size) {
    return QString::fromUtf8(field, static_cast<qsizetype>(strnlen(field, size)));
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

QSystemTrayIcon::MessageIcon BalloonIcon(std::uint32_t flags) {
    switch (flags & 0xF) {
    case NIIF_INFO: return QSystemTrayIcon::Information;
    case NIIF_WARNING: return QSystemTrayIcon::Warning;
    case NIIF_ERROR: return QSystemTrayIcon::Critical;
    default: return QSystemTrayIcon::NoIcon;
    }
}

void ApplyFields(TrayEntry& entry, const NOTIFYICONDATA& data) {
    QSystemTrayIcon* tray = entry.tray;
    if ((data.uFlags & NIF_ICON) && data.hIcon != nullptr) {
        tray->setIcon(data.hIcon->icon);
        entry.image = data.hIcon;
    }
    if ((data.uFlags & NIF_INFO) && data.szInfo[0] != '\0') {
        const QString title = FieldText(data.szInfoTitle, sizeof data.szInfoTitle);
        const QString text = FieldText(data.szInfo, sizeof data.szInfo);
        tray->showMessage(title, text, BalloonIcon(data.dwInfoFlags));
        entry.lastBalloon = (title + "\n" + text).toStdString();
    }
    if (data.uFlags & NIF_TIP) {
        QString tip = FieldText(data.szTip, sizeof data.szTip);
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
        if (owner == nullptr || (found != TrayIcons().end() && found->second.tray)) {
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
        TrayEntry& entry = TrayIcons()[key];
        entry = TrayEntry{tray, {}, nullptr};
        ApplyFields(entry, *data);
        tray->show();
        return QSystemTrayIcon::isSystemTrayAvailable();
    }
    case NIM_MODIFY:
        if (found == TrayIcons().end() || !found->second.tray) {
            return false;
        }
        ApplyFields(found->second, *data);
        return true;
    case NIM_DELETE:
        if (found == TrayIcons().end()) {
            return false;
        }
        if (QSystemTrayIcon* tray = found->second.tray) {
            tray->hide();
            // Possibly inside the icon's own activation signal.
            tray->deleteLater();
        }
        TrayIcons().erase(found);
        return true;
    default:
        return false;
    }
}

namespace {
const TrayEntry* FindLiveIcon(const CFrameWnd* window, unsigned id) {
    auto found = TrayIcons().find(IconKey{window, id});
    return found != TrayIcons().end() && found->second.tray ? &found->second : nullptr;
}
}  // namespace

bool NotifyIconExists(const CFrameWnd* window, unsigned id) { return FindLiveIcon(window, id) != nullptr; }

std::string NotifyIconTip(const CFrameWnd* window, unsigned id) {
    const TrayEntry* entry = FindLiveIcon(window, id);
    return entry != nullptr ? entry->tray->toolTip().toStdString() : std::string();
}

std::string NotifyIconLastBalloon(const CFrameWnd* window, unsigned id) {
    const TrayEntry* entry = FindLiveIcon(window, id);
    return entry != nullptr ? entry->lastBalloon : std::string();
}

HICON NotifyIconImage(const CFrameWnd* window, unsigned id) {
    const TrayEntry* entry = FindLiveIcon(window, id);
    return entry != nullptr ? entry->image : nullptr;
}

bool ShellExecute(CFrameWnd*, const char* verb, const char* file, const char*, const char*, int) {
    if (file == nullptr || (verb != nullptr && std::strcmp(verb, "open") != 0)) {
        return false;
    }
    QUrl url = QUrl::fromUserInput(QString::fromUtf8(file));
    return url.isValid() && QDesktopServices::openUrl(url);
}
