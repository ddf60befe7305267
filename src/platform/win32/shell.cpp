// Tray icons with Shell_NotifyIcon, kept here as well so that they come back when the shell
// restarts (or first starts), and opening addresses with ShellExecute.

#include "platform/win32/windows_api.h"

#include <cstring>
#include <map>
#include <utility>

#include "platform/frame_wnd.h"
#include "platform/shell.h"
#include "platform/win32/frame_widget.h"
#include "platform/win32/icon_object.h"
#include "platform/win32/notify_icons.h"
#include "platform/win32/text.h"

namespace {
using IconKey = std::pair<const CFrameWnd*, unsigned>;

struct TrayIcon {
    HWND window = nullptr;
    unsigned callbackMessage = 0;
    bool hasCallback = false;
    HICON icon = nullptr;
    std::string tip;
    std::string lastBalloon;  // "title\ntext"
};

// A notification to show once, with the next message to the shell.
struct Balloon {
    std::wstring title;
    std::wstring text;
    Win32DWORD icon = NIIF_NONE;
};

// The record's text field up to its zero byte, never past the field.
template <std::size_t size>
std::string FieldText(const char (&field)[size]) {
    return std::string(field, strnlen(field, size));
}

// Icons of windows that are gone are forgotten first (the shell drops them by itself).
std::map<IconKey, TrayIcon>& TrayIcons() {
    static std::map<IconKey, TrayIcon> icons;
    std::erase_if(icons, [](const auto& entry) { return !IsWindow(entry.second.window); });
    return icons;
}

void ApplyFields(TrayIcon& icon, const NOTIFYICONDATA& data, Balloon* balloon) {
    if (data.uFlags & NIF_MESSAGE) {
        icon.hasCallback = true;
        icon.callbackMessage = data.uCallbackMessage;
    }
    if ((data.uFlags & NIF_ICON) && data.hIcon != nullptr) {
        icon.icon = data.hIcon;
    }
    if (data.uFlags & NIF_TIP) {
        // The tip need not be terminated inside the record: never read past it.
        icon.tip = FieldText(data.szTip);
    }
    if ((data.uFlags & NIF_INFO) && data.szInfo[0] != '\0') {
        const std::string title = FieldText(data.szInfoTitle), text = FieldText(data.szInfo);
        icon.lastBalloon = title + "\n" + text;
        balloon->title = Utf16(title);
        balloon->text = Utf16(text);
        // The public values are Windows' own; anything else shows no icon.
        const std::uint32_t kind = data.dwInfoFlags & 0xF;
        balloon->icon = kind <= NIIF_ERROR ? kind : NIIF_NONE;
    }
}

// Everything the shell is told about an icon, every time: it may have forgotten it.
bool TellShell(Win32DWORD message, unsigned id, const TrayIcon& icon, const Balloon* balloon = nullptr) {
    Win32NOTIFYICONDATA data{};
    data.cbSize = sizeof data;
    data.hWnd = icon.window;
    data.uID = id;
    if (message != NIM_DELETE) {
        data.uFlags = NIF_TIP;
        const std::wstring tip = Utf16(icon.tip);
        wcsncpy(data.szTip, tip.c_str(), std::size(data.szTip) - 1);
        if (icon.hasCallback) {
            data.uFlags |= NIF_MESSAGE;
            data.uCallbackMessage = icon.callbackMessage;
        }
        if (icon.icon != nullptr) {
            data.uFlags |= NIF_ICON;
            data.hIcon = icon.icon->small;
        }
        if (balloon != nullptr && !balloon->text.empty()) {
            data.uFlags |= NIF_INFO;
            wcsncpy(data.szInfo, balloon->text.c_str(), std::size(data.szInfo) - 1);
            wcsncpy(data.szInfoTitle, balloon->title.c_str(), std::size(data.szInfoTitle) - 1);
            data.dwInfoFlags = balloon->icon;
        }
    }
    return Shell_NotifyIconW(message, &data) != 0;
}
}  // namespace

unsigned TaskbarCreatedMessage() {
    static const unsigned message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

void RestoreNotifyIcons(const CFrameWnd* window) {
    for (const auto& [key, icon] : TrayIcons()) {
        if (key.first == window) TellShell(NIM_ADD, key.second, icon);
    }
}

bool Shell_NotifyIcon(std::uint32_t message, const NOTIFYICONDATA* data) {
    if (data == nullptr || data->cbSize != sizeof(NOTIFYICONDATA) || data->hWnd == nullptr) {
        return false;
    }
    IconKey key{data->hWnd, data->uID};
    auto found = TrayIcons().find(key);
    switch (message) {
    case NIM_ADD: {
        FrameWidget* owner = data->hWnd->GetFrameWidget();
        if (owner == nullptr || found != TrayIcons().end()) {
            return false;
        }
        TrayIcon& icon = TrayIcons()[key];
        icon.window = owner->Handle();
        Balloon balloon;
        ApplyFields(icon, *data, &balloon);
        // Without a shell the icon waits here for TaskbarCreated: not an error, but reported.
        return TellShell(NIM_ADD, data->uID, icon, &balloon);
    }
    case NIM_MODIFY: {
        if (found == TrayIcons().end()) {
            return false;
        }
        Balloon balloon;
        ApplyFields(found->second, *data, &balloon);
        TellShell(NIM_MODIFY, data->uID, found->second, &balloon);
        return true;
    }
    case NIM_DELETE:
        if (found == TrayIcons().end()) {
            return false;
        }
        TellShell(NIM_DELETE, data->uID, found->second);
        TrayIcons().erase(found);
        return true;
    default:
        return false;
    }
}

bool NotifyIconExists(const CFrameWnd* window, unsigned id) { return TrayIcons().contains(IconKey{window, id}); }

std::string NotifyIconTip(const CFrameWnd* window, unsigned id) {
    auto found = TrayIcons().find(IconKey{window, id});
    return found != TrayIcons().end() ? found->second.tip : std::string();
}

std::string NotifyIconLastBalloon(const CFrameWnd* window, unsigned id) {
    auto found = TrayIcons().find(IconKey{window, id});
    return found != TrayIcons().end() ? found->second.lastBalloon : std::string();
}

HICON NotifyIconImage(const CFrameWnd* window, unsigned id) {
    auto found = TrayIcons().find(IconKey{window, id});
    return found != TrayIcons().end() ? found->second.icon : nullptr;
}

bool ShellExecute(CFrameWnd* owner, const char* verb, const char* file, const char* parameters,
                  const char* directory, int showCommand) {
    if (file == nullptr || (verb != nullptr && std::strcmp(verb, "open") != 0)) {
        return false;
    }
    FrameWidget* widget = owner != nullptr ? owner->GetFrameWidget() : nullptr;
    const std::wstring wideFile = Utf16(file);
    const std::wstring wideParameters = parameters != nullptr ? Utf16(parameters) : std::wstring();
    const std::wstring wideDirectory = directory != nullptr ? Utf16(directory) : std::wstring();
    // Success is a value above 32 (the function predates error codes).
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(widget != nullptr ? widget->Handle() : nullptr, L"open", wideFile.c_str(),
                      parameters != nullptr ? wideParameters.c_str() : nullptr,
                      directory != nullptr ? wideDirectory.c_str() : nullptr, showCommand));
    return result > 32;
}
