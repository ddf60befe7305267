// Hardware faults of guarded work, on Windows: a vectored exception handler sees the fault first,
// on the faulting thread; for guarded work it moves the thread to a landing function that jumps
// back to the guard (GCC's own setjmp and longjmp: no unwinding through the abandoned frames).
// Every other exception goes on its way: the vectored handler also sees exceptions that system
// code raises and handles itself, so a real crash is noted only by the unhandled-exception filter.
// fault_guard.h declares no Win32 names, so this file reads the Windows headers as they are.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/fault_guard.h"

namespace {

struct Guard {
    void* jump[5];
    HardwareFault fault;
};

thread_local Guard* t_guard = nullptr;    // the guard of the work running now
thread_local Guard* t_landing = nullptr;  // the guard the landing function goes back to

std::atomic<HANDLE> g_noteFile{INVALID_HANDLE_VALUE};

const char* FaultName(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: return "invalid memory access (access violation)";
    case EXCEPTION_IN_PAGE_ERROR: return "bus error (in-page error)";
    case EXCEPTION_DATATYPE_MISALIGNMENT: return "bus error (misaligned data)";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
    case EXCEPTION_PRIV_INSTRUCTION: return "illegal instruction (privileged)";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "arithmetic trap (integer division by zero)";
    case EXCEPTION_INT_OVERFLOW: return "arithmetic trap (integer overflow)";
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_STACK_CHECK: return "arithmetic trap (floating point)";
    default: return nullptr;  // not a hardware fault of the work
    }
}

bool IsMemoryFault(DWORD code) { return code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_IN_PAGE_ERROR; }

void WriteAll(HANDLE file, const char* text) {
    if (file == INVALID_HANDLE_VALUE || file == nullptr) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

void NoteCrash(const char* name, const EXCEPTION_RECORD& record) {
    char line[256];
    if (IsMemoryFault(record.ExceptionCode) && record.NumberParameters >= 2) {
        std::snprintf(line, sizeof line, "crash: %s at address 0x%llx outside the load workers' guarded work: Ferrox ends\n",
                      name, static_cast<unsigned long long>(record.ExceptionInformation[1]));
    } else {
        std::snprintf(line, sizeof line, "crash: %s outside the load workers' guarded work: Ferrox ends\n", name);
    }
    WriteAll(GetStdHandle(STD_ERROR_HANDLE), "ferrox: ");
    WriteAll(GetStdHandle(STD_ERROR_HANDLE), line);
    const HANDLE note = g_noteFile.load();
    if (note == INVALID_HANDLE_VALUE) return;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char stamped[300];
    std::snprintf(stamped, sizeof stamped, "%04u-%02u-%02u %02u:%02u:%02u %s", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, line);
    WriteAll(note, stamped);
}

// Where a faulting guarded thread continues: back to its guard.
[[noreturn]] void LandAfterFault() { __builtin_longjmp(t_landing->jump, 1); }

LONG CALLBACK OnException(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    const char* name = FaultName(record.ExceptionCode);
    Guard* guard = t_guard;
    if (name == nullptr || guard == nullptr) return EXCEPTION_CONTINUE_SEARCH;
    t_guard = nullptr;
    t_landing = guard;
    guard->fault.code = static_cast<int>(record.ExceptionCode);
    guard->fault.address = IsMemoryFault(record.ExceptionCode) && record.NumberParameters >= 2
                               ? static_cast<std::uintptr_t>(record.ExceptionInformation[1])
                               : 0;
    guard->fault.name = name;
    // Below the faulting frame, aligned as at a function's entry.
    CONTEXT& context = *pointers->ContextRecord;
    context.Rsp = ((context.Rsp - 512) & ~static_cast<DWORD64>(15)) - 8;
    context.Rip = reinterpret_cast<DWORD64>(&LandAfterFault);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// A fault nobody handled: the process ends as it would have without Ferrox, after the note.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (const char* name = FaultName(record.ExceptionCode)) NoteCrash(name, record);
    return EXCEPTION_CONTINUE_SEARCH;
}

void InstallFaultHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        AddVectoredExceptionHandler(1, OnException);
        SetUnhandledExceptionFilter(OnUnhandledException);
    });
}

struct FloatingPointControl {
    unsigned short x87 = 0;
    unsigned int sse = 0;
    void Save() { asm volatile("fnstcw %0\n\tstmxcsr %1" : "=m"(x87), "=m"(sse)); }
    void Restore() const { asm volatile("fninit\n\tfldcw %0\n\tldmxcsr %1" : : "m"(x87), "m"(sse)); }
};

}  // namespace

bool RunGuarded(void (*work)(void* context), void* context, HardwareFault* fault) {
    InstallFaultHandler();
    Guard guard{};
    FloatingPointControl control;
    control.Save();
    if (__builtin_setjmp(guard.jump) == 0) {
        t_guard = &guard;
        work(context);
        t_guard = nullptr;
        return true;
    }
    control.Restore();
    if (fault != nullptr) *fault = guard.fault;
    return false;
}

void SetCrashNoteFile(const char* path) {
    InstallFaultHandler();
    HANDLE file = INVALID_HANDLE_VALUE;
    if (path != nullptr && path[0] != '\0') {
        const int wide = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
        if (wide > 0) {
            std::wstring name(static_cast<std::size_t>(wide), L'\0');
            MultiByteToWideChar(CP_UTF8, 0, path, -1, name.data(), wide);
            // Appends only; a reparse point (a link) is opened as itself, which is not a file to write.
            file = CreateFileW(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        }
    }
    const HANDLE previous = g_noteFile.exchange(file);
    if (previous != INVALID_HANDLE_VALUE) CloseHandle(previous);
}
