// Appends through a handle opened for FILE_APPEND_DATA only (each write goes to the end of the
// file as one piece, which Windows never interleaves with another process's), and replacements
// by write, FlushFileBuffers and MoveFileEx of a file this process made (CREATE_NEW under a name
// nobody can guess) over the old file. Paths are UTF-8, given to the "W" functions.

#include "platform/win32/windows_api.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "platform/common/file_backend.h"
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

std::string DirectoryOf(const std::string& path) {
    const std::filesystem::path parent = PathOf(path).parent_path();
    return parent.empty() ? std::string(".") : Utf8(parent.wstring());
}

// Twelve letters and digits nobody can guess (MinGW's random_device draws on rand_s, the system's
// cryptographic source).
std::wstring RandomName() {
    static constexpr wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::wstring name;
    for (int i = 0; i < 12; ++i) name += kLetters[random() % (sizeof kLetters / sizeof kLetters[0] - 1)];
    return name;
}

// A new file beside path that this call made itself: CREATE_NEW opens nothing that is already
// there, and a reparse point is never followed. INVALID_HANDLE_VALUE with the last error set.
HANDLE CreateTemporaryBeside(const std::string& path, std::wstring* temporary) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        *temporary = Utf16(path) + L".partial-" + RandomName();
        HANDLE handle = CreateFileW(temporary->c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle != INVALID_HANDLE_VALUE || (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS))
            return handle;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

std::string ExistingTargetProblem(const std::string& path) {
    // No access asked: only what the name stands for, without following a link or opening a device.
    HANDLE handle = CreateFileW(Utf16(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const Win32DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? std::string() : Reason("cannot look at", path, code);
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    if (!disk || !known) return path + " is not a regular file (a device or pipe), which a report would replace";
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return path + " is a symbolic link; give the path of the file itself";
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return path + " is a directory";
    return {};
}

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

bool MakePrivateDirectory(const std::string& directory, std::string* error) {
    if (!MakeDirectories(directory, error)) return false;
    const Win32DWORD attributes = GetFileAttributesW(Utf16(directory).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
    if (error != nullptr) *error = attributes == INVALID_FILE_ATTRIBUTES ? Reason("cannot look at", directory) : directory + " is a symbolic link";
    return false;
}

bool AppendToFile(const std::string& file, const std::string& text, std::string* error) {
    const auto fail = [&](const std::string& reason) {
        if (error != nullptr) *error = reason;
        return false;
    };
    // The folder must not be a link to somewhere else (a junction or a symbolic link).
    const std::string directory = DirectoryOf(file);
    const Win32DWORD folder = GetFileAttributesW(Utf16(directory).c_str());
    if (folder == INVALID_FILE_ATTRIBUTES) return fail(Reason("cannot open the directory", directory));
    if (folder & FILE_ATTRIBUTE_REPARSE_POINT) return fail(directory + " is a symbolic link");
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end of the file. (Read
    // access only because LockFileEx asks for it.) A reparse point is opened as itself, not
    // followed, and then refused.
    HANDLE handle = CreateFileW(Utf16(file).c_str(), GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return fail(Reason("cannot open", file));
    BY_HANDLE_FILE_INFORMATION information{};
    std::string problem;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information)) problem = file + " is not a regular file";
    else if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) problem = file + " is a symbolic link";
    else if (information.nNumberOfLinks != 1) problem = file + " has other names (hard links) that may lead elsewhere";
    if (!problem.empty()) {
        CloseHandle(handle);
        return fail(problem);
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
    // Only a regular file is replaced: whatever else came to be there meanwhile is left alone.
    if (!TargetMayBeReplaced(path, error)) return false;
    std::wstring wideTemporary;
    HANDLE handle = CreateTemporaryBeside(path, &wideTemporary);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error != nullptr) *error = Reason("cannot create a file in the directory", DirectoryOf(path));
        return false;
    }
    const std::string temporary = Utf8(wideTemporary);
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

bool RemoveFile(const std::string& path, std::string* error) {
    if (DeleteFileW(Utf16(path).c_str())) return true;
    const Win32DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
    if (error != nullptr) *error = Reason("cannot remove", path, code);
    return false;
}

bool MakeAndRemoveFileBeside(const std::string& path, std::string* error) {
    std::wstring temporary;
    HANDLE handle = CreateTemporaryBeside(path, &temporary);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error != nullptr) *error = Reason("cannot write in the directory", DirectoryOf(path));
        return false;
    }
    CloseHandle(handle);
    DeleteFileW(temporary.c_str());
    return true;
}

bool ReadSmallFile(const std::string& path, std::size_t largest, std::string* content, std::string* error) {
    HANDLE file = CreateFileW(Utf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (error != nullptr) *error = Reason("cannot open", path);
        return false;
    }
    std::string text;
    bool ok = true;
    Win32LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK) {
        if (error != nullptr) *error = path + " is not a regular file";
        ok = false;
    } else if (!GetFileSizeEx(file, &size) || static_cast<unsigned long long>(size.QuadPart) > largest) {
        if (error != nullptr) *error = path + " is larger than " + std::to_string(largest) + " bytes";
        ok = false;
    }
    char buffer[4096];
    while (ok) {
        Win32DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            if (error != nullptr) *error = Reason("cannot read", path);
            ok = false;
        } else if (got == 0) {
            break;
        } else if (text.size() + got > largest) {
            if (error != nullptr) *error = path + " is larger than " + std::to_string(largest) + " bytes";
            ok = false;
        } else {
            text.append(buffer, got);
        }
    }
    CloseHandle(file);
    if (ok && content != nullptr) *content = std::move(text);
    return ok;
}
