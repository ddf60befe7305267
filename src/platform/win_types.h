#pragma once
// The Win32 basic types and constants that Ferrox's platform layer speaks. Plain C++, so that the
// load workers and the shell read the same on Linux as a native Windows backend would.

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using BOOL = int;
using UINT = unsigned int;
using LONG = std::int32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LPVOID = void*;
using HANDLE = void*;

struct HWND__;
using HWND = HWND__*;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};

// 100-nanosecond units, as Win32's thread times.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// Waits and time-outs.
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000u;
constexpr DWORD WAIT_TIMEOUT = 0x00000102u;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Thread creation.
constexpr DWORD CREATE_SUSPENDED = 0x00000004u;

// Thread messages (window messages live in window_defs.h).
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Process priority classes.
constexpr DWORD IDLE_PRIORITY_CLASS = 0x00000040u;
constexpr DWORD BELOW_NORMAL_PRIORITY_CLASS = 0x00004000u;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020u;
constexpr DWORD ABOVE_NORMAL_PRIORITY_CLASS = 0x00008000u;
constexpr DWORD HIGH_PRIORITY_CLASS = 0x00000080u;
constexpr DWORD REALTIME_PRIORITY_CLASS = 0x00000100u;

// Thread priorities, relative to the process class.
constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;
