// Appends through a handle opened for FILE_APPEND_DATA only (each write goes to the end of the
// file as one piece, which Windows never interleaves with another process's), and replacements
// by write, FlushFileBuffers and MoveFileEx over the old file. Paths are UTF-8, given to the "W"
// functions.

#include "platform/win32/windows_api.h"

#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/win32/text.h"

namespace {

std::string Reason(const std::string& what, const std::string& path, Win32DWORD code = GetLastError()) {
    return what + " " + path + ": " + std::system_category().message(static_cast<int>(code));
}

bool WriteAll(HANDLE file, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        // WriteFile takes at most 4 GiB at a time; a document of Ferrox is far smaller.
        const Win32DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<Win32DWORD>(left);
        Win32DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr)) return false;
        data += written;
        left -= written;
    }
    return true;
}

std::filesystem::path PathOf(const std::string& utf8) { return std::filesystem::path(Utf16(utf8)); }

}  // namespace

std::string UserStateDirectory() {
    // Where Windows programs keep per-user state that does not roam with the profile.
    const Win32DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
    if (length == 0) return {};
    std::wstring directory(length, L'\0');
    const Win32DWORD copied = GetEnvironmentVariableW(L"LOCALAPPDATA", directory.data(), length);
    if (copied == 0 || copied >= length) return {};
    directory.resize(copied);
    // The rules match the Linux build's: a relative value is ignored.
    if (!std::filesystem::path(directory).is_absolute()) return {};
    return Utf8(directory);
}

bool MakeDirectories(const std::string& directory, std::string* error) {
    std::error_code code;
    std::filesystem::create_directories(PathOf(directory), code);
    if (!code && std::filesystem::is_directory(PathOf(directory), code)) return true;
    if (error != nullptr) *error = "cannot create the directory " + directory + (code ? ": " + code.message() : "");
    return false;
}

bool AppendToFile(const std::string& file, const std::string& text, std::string* error) {
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end of the file. (Read
    // access only because LockFileEx asks for it.)
    HANDLE handle = CreateFileW(Utf16(file).c_str(), GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error != nullptr) *error = Reason("cannot open", file);
        return false;
    }
    // Appends from several handles at once could still meet at one offset where the file system
    // does not serialise them (Wine does not): every writer takes the same lock first. It is one
    // byte far beyond any data, so readers of the log never meet it.
    OVERLAPPED lockByte{};
    lockByte.Offset = 0xFFFFFFFF;
    lockByte.OffsetHigh = 0x7FFFFFFF;
    const bool locked = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockByte) != 0;
    const bool written = WriteAll(handle, text);
    if (locked) UnlockFileEx(handle, 0, 1, 0, &lockByte);
    if (!written && error != nullptr) *error = Reason("cannot write to", file);
    CloseHandle(handle);
    return written;
}

bool ReplaceFile(const std::string& path, const std::string& content, std::string* error) {
    const std::string temporary = path + ".partial-" + std::to_string(GetCurrentProcessId());
    const std::wstring wideTemporary = Utf16(temporary);
    HANDLE handle = CreateFileW(wideTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error != nullptr) *error = Reason("cannot create", temporary);
        return false;
    }
    bool done = WriteAll(handle, content) && FlushFileBuffers(handle);
    if (!done && error != nullptr) *error = Reason("cannot write", temporary);
    CloseHandle(handle);
    // MOVEFILE_WRITE_THROUGH: returns once the rename itself is on the disk.
    if (done && !MoveFileExW(wideTemporary.c_str(), Utf16(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        done = false;
        if (error != nullptr) *error = Reason("cannot replace", path);
    }
    if (!done) DeleteFileW(wideTemporary.c_str());
    return done;
}

bool CanWriteFile(const std::string& path, std::string* error) {
    if (path.empty()) {
        if (error != nullptr) *error = "no file name given";
        return false;
    }
    const std::filesystem::path target = PathOf(path);
    std::error_code code;
    if (std::filesystem::is_directory(target, code)) {
        if (error != nullptr) *error = path + " is a directory";
        return false;
    }
    // The file is replaced by a rename in its directory: that directory must take new files. Windows
    // has no access() that answers this, so a file is made there and removed at once.
    const std::filesystem::path parent = target.parent_path();
    const std::filesystem::path directory = parent.empty() ? std::filesystem::path(L".") : parent;
    const std::wstring probe = (directory / (L".ferrox-probe-" + std::to_wstring(GetCurrentProcessId()))).wstring();
    HANDLE handle = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error != nullptr) *error = Reason("cannot write in the directory", Utf8(directory.wstring()));
        return false;
    }
    CloseHandle(handle);
    return true;
}
