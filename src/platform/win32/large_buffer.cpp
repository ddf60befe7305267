// The memory load's buffer on Windows: large pages where the user holds the "Lock pages in memory"
// right (they are never paged out), otherwise ordinary pages locked with VirtualLock after the
// working set is made large enough to hold them.

#include "platform/win32/windows_api.h"

#include "platform/large_buffer.h"
#include "platform/win32/kernel_calls.h"

namespace {

// Turns on SeLockMemoryPrivilege in the process's token when the user holds it.
bool EnableLockMemoryPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(kernel::CurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool enabled = LookupPrivilegeValueW(nullptr, L"SeLockMemoryPrivilege", &privileges.Privileges[0].Luid) &&
                   AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                   GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return enabled;
}

std::string LastErrorText() {
    wchar_t* text = nullptr;
    const Win32DWORD error = GetLastError();
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result;
    for (const wchar_t* c = text; c != nullptr && *c != 0; ++c)
        if (*c != L'\r' && *c != L'\n') result += *c < 128 ? static_cast<char>(*c) : '?';
    if (text != nullptr) LocalFree(text);
    while (!result.empty() && (result.back() == ' ' || result.back() == '.')) result.pop_back();
    return result.empty() ? "error " + std::to_string(error) : result;
}

}  // namespace

bool AllocateLargeBuffer(std::size_t bytes, LargeBuffer* buffer, std::string* error) {
    *buffer = LargeBuffer{};
    if (bytes == 0) {
        if (error != nullptr) *error = "no size";
        return false;
    }
    const SIZE_T largePage = GetLargePageMinimum();
    void* base = nullptr;
    if (largePage > 0 && bytes % largePage == 0 && EnableLockMemoryPrivilege()) {
        base = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES, PAGE_READWRITE);
        if (base != nullptr) {
            buffer->hugePages = true;
            buffer->locked = true;  // large pages are never paged out
        }
    }
    if (base == nullptr) {
        // 2 MiB alignment as on Linux: reserve a little more and commit the aligned part.
        const std::size_t alignment = 2u << 20;
        void* reserved = VirtualAlloc(nullptr, bytes + alignment, MEM_RESERVE, PAGE_NOACCESS);
        if (reserved == nullptr) {
            if (error != nullptr) *error = LastErrorText();
            return false;
        }
        const auto aligned = (reinterpret_cast<std::uintptr_t>(reserved) + alignment - 1) & ~(alignment - 1);
        base = VirtualAlloc(reinterpret_cast<void*>(aligned), bytes, MEM_COMMIT, PAGE_READWRITE);
        if (base == nullptr) {
            if (error != nullptr) *error = LastErrorText();
            VirtualFree(reserved, 0, MEM_RELEASE);
            return false;
        }
        buffer->mapping = reserved;
        SIZE_T least = 0, most = 0;
        void* process = kernel::CurrentProcess();
        if (GetProcessWorkingSetSize(process, &least, &most) &&
            SetProcessWorkingSetSize(process, least + bytes, most + bytes) && VirtualLock(base, bytes)) {
            buffer->locked = true;
        } else {
            buffer->lockProblem = LastErrorText();
        }
    } else {
        buffer->mapping = base;
    }
    buffer->base = static_cast<unsigned char*>(base);
    buffer->bytes = bytes;
    return true;
}

void FreeLargeBuffer(LargeBuffer* buffer) {
    if (buffer->mapping != nullptr) VirtualFree(buffer->mapping, 0, MEM_RELEASE);
    *buffer = LargeBuffer{};
}

void ReleaseBufferRange(const LargeBuffer& buffer, std::size_t offset, std::size_t bytes) {
    // Large pages cannot be decommitted in parts: they stay until the buffer is freed.
    if (buffer.base == nullptr || offset >= buffer.bytes || buffer.hugePages) return;
    if (bytes > buffer.bytes - offset) bytes = buffer.bytes - offset;
    if (buffer.locked) VirtualUnlock(buffer.base + offset, bytes);
    VirtualFree(buffer.base + offset, bytes, MEM_DECOMMIT);
}

// Windows tells no program the physical address of its pages.
std::uint64_t PhysicalAddressOf(const void*) { return 0; }
