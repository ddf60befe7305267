// Window, menu, tool tip and shell values of the application framework layer. The numbers are
// the Win32 ones, so a native backend can pass them straight through.
#pragma once

#include <cstdint>

// Window messages that reach Ferrox's code as numbers (tray callbacks carry the mouse message).
inline constexpr unsigned WM_NULL = 0x0000;
inline constexpr unsigned WM_COMMAND = 0x0111;
inline constexpr unsigned WM_MOUSEMOVE = 0x0200;
inline constexpr unsigned WM_LBUTTONDOWN = 0x0201;
inline constexpr unsigned WM_LBUTTONUP = 0x0202;
inline constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
inline constexpr unsigned WM_RBUTTONDOWN = 0x0204;
inline constexpr unsigned WM_RBUTTONUP = 0x0205;
inline constexpr unsigned WM_MBUTTONDOWN = 0x0207;
inline constexpr unsigned WM_USER = 0x0400;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;

// Window styles.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000u;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000u;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000u;
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000u;
inline constexpr std::uint32_t FWS_ADDTOTITLE = 0x00008000u;
inline constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080u;
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000u;

// Mouse tracking.
inline constexpr std::uint32_t TME_HOVER = 0x1;
inline constexpr std::uint32_t TME_LEAVE = 0x2;
inline constexpr std::uint32_t HOVER_DEFAULT = 0xFFFFFFFFu;

// Popup menus and menu item states.
inline constexpr std::uint32_t TPM_CENTERALIGN = 0x0004;
inline constexpr std::uint32_t TPM_BOTTOMALIGN = 0x0020;
inline constexpr std::uint32_t TPM_RIGHTBUTTON = 0x0002;
inline constexpr std::uint32_t MF_GRAYED = 0x0001;
inline constexpr std::uint32_t MF_CHECKED = 0x0008;
inline constexpr std::uint32_t MF_POPUP = 0x0010;
inline constexpr std::uint32_t MF_SEPARATOR = 0x0800;
inline constexpr std::uint32_t MF_DEFAULT = 0x1000;

// Tool tips.
inline constexpr std::uint32_t TTS_ALWAYSTIP = 0x01;
inline constexpr std::uint32_t TTF_TRACK = 0x0020;
inline constexpr std::uint32_t TTF_ABSOLUTE = 0x0080;
inline constexpr std::uint32_t TTF_TRANSPARENT = 0x0100;
inline constexpr std::uint32_t TTDT_INITIAL = 3;

// The framework's own commands.
inline constexpr unsigned ID_APP_EXIT = 57665;

struct CPoint {
    int x = 0;
    int y = 0;
};

struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// Size limits a frame gives for tracking (resizing) its window.
struct MINMAXINFO {
    CPoint ptMinTrackSize;
    CPoint ptMaxTrackSize;
};

// Window creation parameters a frame may change before its window exists.
struct CREATESTRUCT {
    std::uint32_t style = 0;
    std::uint32_t dwExStyle = 0;
};

// An icon loaded from the resources; lives until the program ends.
using HICON = struct IconObject*;
