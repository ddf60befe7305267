// A window-subsystem program gets standard handles only when its starter redirected them; the
// others are null. Those are pointed at the starter's console, when it has one.

#include "platform/win32/windows_api.h"

#include <cstdio>

#include "platform/console.h"

namespace {
bool Redirected(Win32DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}
}  // namespace

void AttachParentConsole() {
    const bool outRedirected = Redirected(STD_OUTPUT_HANDLE);
    const bool errRedirected = Redirected(STD_ERROR_HANDLE);
    if (outRedirected && errRedirected) return;
    // Started from Explorer (no console): nothing to print to, and that is fine.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!outRedirected && std::freopen("CONOUT$", "w", stdout) != nullptr) std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (!errRedirected && std::freopen("CONOUT$", "w", stderr) != nullptr) std::setvbuf(stderr, nullptr, _IONBF, 0);
}
