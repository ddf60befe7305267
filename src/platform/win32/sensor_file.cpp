// Sensor files on Windows (fake sensor trees in tests and experiments): opened without following
// a reparse point in their own name, refused unless a disk file, and kept inside the tree by the
// final path Windows gives for the open handle.

#include "platform/win32/windows_api.h"

#include "platform/sensor_file.h"
#include "platform/win32/text.h"

namespace {

// The path Windows resolves handle to ("\\?\C:\..."), or empty.
std::wstring FinalPath(HANDLE handle) {
    std::wstring path(1024, L'\0');
    const Win32DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<Win32DWORD>(path.size()),
                                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= path.size()) return {};
    path.resize(length);
    return path;
}

// A handle for reading the regular file at path inside resolvedTree, or INVALID_HANDLE_VALUE.
HANDLE OpenInside(const std::string& path, const std::string& resolvedTree) {
    if (resolvedTree.empty()) return INVALID_HANDLE_VALUE;
    HANDLE handle = CreateFileW(Utf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return handle;
    BY_HANDLE_FILE_INFORMATION information{};
    const std::wstring tree = Utf16(resolvedTree);
    const std::wstring where = FinalPath(handle);
    const bool regular = GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &information) &&
                         (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
    const bool inside = where.size() > tree.size() && where.compare(0, tree.size(), tree) == 0 && where[tree.size()] == L'\\';
    if (regular && inside) return handle;
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

std::string ResolveSensorTree(const std::string& tree) {
    HANDLE handle = CreateFileW(Utf16(tree).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION information{};
    const bool folder = GetFileInformationByHandle(handle, &information) && (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    const std::wstring path = folder ? FinalPath(handle) : std::wstring();
    CloseHandle(handle);
    return Utf8(path);
}

std::optional<std::string> ReadSensorFile(const std::string& path, const std::string& resolvedTree, std::size_t capacity) {
    HANDLE handle = OpenInside(path, resolvedTree);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string content(capacity, '\0');
    std::size_t got = 0;
    bool failed = false;
    while (got < capacity) {
        Win32DWORD read = 0;
        if (!ReadFile(handle, content.data() + got, static_cast<Win32DWORD>(capacity - got), &read, nullptr)) {
            failed = true;
            break;
        }
        if (read == 0) break;
        got += read;
    }
    CloseHandle(handle);
    if (failed) return std::nullopt;
    content.resize(got);
    return content;
}

bool CanOpenSensorFile(const std::string& path, const std::string& resolvedTree) {
    HANDLE handle = OpenInside(path, resolvedTree);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}
