// The Windows headers for the Win32 backend (inside src/platform/win32 only). The platform's
// public headers declare many Win32 names themselves (types, constants, a few functions), so the
// Windows headers are read with those names moved aside: the types come in with a Win32 prefix
// (Win32BITMAP, Win32HBITMAP, ...), the constants are taken back out (the public headers give the
// same values), and the handful of kernel functions the public headers redeclare with the same
// parameters are reached through kernel_calls.h instead. Include this first in every backend file
// that calls Win32.
#pragma once

#if defined(_WINDOWS_) || defined(_WINDEF_)
#error "platform/win32/windows_api.h must come before any other Windows header"
#endif

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

// Types the public headers define in their own, plain-C++ way.
#define DWORD Win32DWORD
#define LONG Win32LONG
#define LARGE_INTEGER Win32LARGE_INTEGER
#define FILETIME Win32FILETIME
#define MSG Win32MSG
#define SYSTEM_INFO Win32SYSTEM_INFO
#define BITMAP Win32BITMAP
#define BITMAPINFOHEADER Win32BITMAPINFOHEADER
#define BITMAPINFO Win32BITMAPINFO
#define RGBQUAD Win32RGBQUAD
#define MINMAXINFO Win32MINMAXINFO
#define HBITMAP Win32HBITMAP
#define HICON Win32HICON
#define HINSTANCE Win32HINSTANCE
// MinGW's character-set typedefs paste a W onto the name given: lead the pasted name back.
#define CREATESTRUCT Win32CREATESTRUCT
#define Win32CREATESTRUCTW CREATESTRUCTW
#define NOTIFYICONDATA Win32NOTIFYICONDATA
#define Win32NOTIFYICONDATAW NOTIFYICONDATAW
// Kernel functions thread.h and priority.h declare with the same parameters (kernel_calls.h).
#define GetCurrentThread Win32GetCurrentThread_
#define GetCurrentProcess Win32GetCurrentProcess_
#define GetCurrentThreadId Win32GetCurrentThreadId_
#define SuspendThread Win32SuspendThread_
#define ResumeThread Win32ResumeThread_
#define GetPriorityClass Win32GetPriorityClass_
#define SetThreadPriority Win32SetThreadPriority_
#define GetThreadPriority Win32GetThreadPriority_

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <objbase.h>
#include <commdlg.h>

#undef DWORD
#undef LONG
#undef LARGE_INTEGER
#undef FILETIME
#undef MSG
#undef SYSTEM_INFO
#undef BITMAP
#undef BITMAPINFOHEADER
#undef BITMAPINFO
#undef RGBQUAD
#undef MINMAXINFO
#undef HBITMAP
#undef HICON
#undef HINSTANCE
#undef CREATESTRUCT
#undef Win32CREATESTRUCTW
#undef NOTIFYICONDATA
#undef Win32NOTIFYICONDATAW
#undef GetCurrentThread
#undef GetCurrentProcess
#undef GetCurrentThreadId
#undef SuspendThread
#undef ResumeThread
#undef GetPriorityClass
#undef SetThreadPriority
#undef GetThreadPriority

// Constants the public headers define with the same values.
#undef FALSE
#undef TRUE
#undef INFINITE
#undef WAIT_OBJECT_0
#undef WAIT_TIMEOUT
#undef WAIT_FAILED
#undef CREATE_SUSPENDED
#undef IDLE_PRIORITY_CLASS
#undef BELOW_NORMAL_PRIORITY_CLASS
#undef NORMAL_PRIORITY_CLASS
#undef ABOVE_NORMAL_PRIORITY_CLASS
#undef HIGH_PRIORITY_CLASS
#undef REALTIME_PRIORITY_CLASS
#undef THREAD_PRIORITY_IDLE
#undef THREAD_PRIORITY_LOWEST
#undef THREAD_PRIORITY_BELOW_NORMAL
#undef THREAD_PRIORITY_NORMAL
#undef THREAD_PRIORITY_ABOVE_NORMAL
#undef THREAD_PRIORITY_HIGHEST
#undef THREAD_PRIORITY_TIME_CRITICAL
#undef THREAD_PRIORITY_ERROR_RETURN
#undef WM_NULL
#undef WM_QUIT
#undef WM_COMMAND
#undef WM_MOUSEMOVE
#undef WM_LBUTTONDOWN
#undef WM_LBUTTONUP
#undef WM_LBUTTONDBLCLK
#undef WM_RBUTTONDOWN
#undef WM_RBUTTONUP
#undef WM_MBUTTONDOWN
#undef WM_USER
#undef PM_NOREMOVE
#undef PM_REMOVE
#undef SW_HIDE
#undef SW_SHOWNORMAL
#undef SW_SHOW
#undef SW_MINIMIZE
#undef WS_POPUP
#undef WS_VISIBLE
#undef WS_CAPTION
#undef WS_SYSMENU
#undef WS_THICKFRAME
#undef WS_MINIMIZEBOX
#undef WS_MAXIMIZEBOX
#undef WS_OVERLAPPEDWINDOW
#undef WS_EX_TOOLWINDOW
#undef WS_EX_APPWINDOW
#undef TME_HOVER
#undef TME_LEAVE
#undef HOVER_DEFAULT
#undef TPM_CENTERALIGN
#undef TPM_BOTTOMALIGN
#undef TPM_RIGHTBUTTON
#undef MF_GRAYED
#undef MF_CHECKED
#undef MF_POPUP
#undef MF_SEPARATOR
#undef MF_DEFAULT
#undef TTS_ALWAYSTIP
#undef TTF_TRACK
#undef TTF_ABSOLUTE
#undef TTF_TRANSPARENT
#undef TTDT_INITIAL
#undef NIM_ADD
#undef NIM_MODIFY
#undef NIM_DELETE
#undef NIF_MESSAGE
#undef NIF_ICON
#undef NIF_TIP
#undef NIF_INFO
#undef NIIF_INFO
#undef NIIF_WARNING
#undef NIIF_ERROR
#undef MB_OK
#undef MB_ICONERROR
#undef MB_ICONWARNING
#undef MB_ICONINFORMATION
#undef IDOK
#undef BI_RGB
#undef DIB_RGB_COLORS
#undef BLACKONWHITE
#undef COLORONCOLOR
#undef HALFTONE
#undef SRCCOPY
#undef IMAGE_BITMAP
#undef LR_CREATEDIBSECTION

// Functions and records the public headers name without the A/W suffix.
#undef LoadString
#undef LoadIcon
#undef LoadImage
#undef LoadMenu
#undef GetObject
#undef ShellExecute
#undef Shell_NotifyIcon
#undef TOOLINFO
#undef PostThreadMessage
#undef PeekMessage
#undef DispatchMessage
#undef SetWindowText
#undef GetWindowText
#undef GetMenuString
#undef ReplaceFile

// The platform's own spellings of the constants taken out above.
#include "platform/win_types.h"
#include "platform/window_defs.h"

// WaitForSingleObject and Sleep are declared twice in a backend file (thread.h has its own, for
// Ferrox's thread handles): these two always reach Windows' own, whatever the argument types.
inline Win32DWORD WaitForNativeObject(HANDLE object, Win32DWORD milliseconds) {
    return WaitForSingleObject(object, milliseconds);
}
inline void SleepNative(Win32DWORD milliseconds) { Sleep(milliseconds); }
inline constexpr Win32DWORD kNativeInfinite = 0xFFFFFFFFul;
