// The desktop shell: notification-area (tray) icons and opening documents and addresses.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window_defs.h"

class CFrameWnd;

inline constexpr std::uint32_t NIM_ADD = 0;
inline constexpr std::uint32_t NIM_MODIFY = 1;
inline constexpr std::uint32_t NIM_DELETE = 2;
inline constexpr std::uint32_t NIF_MESSAGE = 0x1;
inline constexpr std::uint32_t NIF_ICON = 0x2;
inline constexpr std::uint32_t NIF_TIP = 0x4;
inline constexpr std::uint32_t NIF_INFO = 0x10;
inline constexpr std::uint32_t NIIF_INFO = 0x1;
inline constexpr std::uint32_t NIIF_WARNING = 0x2;
inline constexpr std::uint32_t NIIF_ERROR = 0x3;

struct NOTIFYICONDATA {
    std::uint32_t cbSize = sizeof(NOTIFYICONDATA);
    CFrameWnd* hWnd = nullptr;
    unsigned uID = 0;
    std::uint32_t uFlags = 0;
    unsigned uCallbackMessage = 0;  // posted to hWnd: wParam uID, lParam the mouse message
    HICON hIcon = nullptr;
    char szTip[128] = {};           // always ends with a zero byte when the shell reads it
    // With NIF_INFO: a notification (balloon) shown once, with its title and NIIF_ icon.
    char szInfo[256] = {};
    char szInfoTitle[64] = {};
    std::uint32_t dwInfoFlags = 0;
};

// Adds, changes or removes the icon (hWnd, uID). Adding succeeds also while the desktop has no
// notification area (the icon appears once one starts) but then returns false.
bool Shell_NotifyIcon(std::uint32_t message, const NOTIFYICONDATA* data);

// For checks: whether icon (window, id) exists and the tip it shows.
bool NotifyIconExists(const CFrameWnd* window, unsigned id);
std::string NotifyIconTip(const CFrameWnd* window, unsigned id);
// The title and text of the last notification the icon showed ("title\ntext"), empty for none.
std::string NotifyIconLastBalloon(const CFrameWnd* window, unsigned id);
// The icon the tray shows now.
HICON NotifyIconImage(const CFrameWnd* window, unsigned id);

// Opens file (a web address for "open") with the desktop's handler; true when it was handed on.
bool ShellExecute(CFrameWnd* owner, const char* verb, const char* file, const char* parameters,
                  const char* directory, int showCommand);
