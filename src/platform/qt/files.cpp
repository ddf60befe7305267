// Appends with O_APPEND (each line one write, which the kernel never interleaves with another's),
// and replacements by write, fsync and rename of a temporary file no one else can have made.

#include "platform/files.h"
#include "platform/common/file_backend.h"
#include "platform/qt/file_privacy.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

std::string Reason(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// Twelve letters and digits from the kernel's random source: a name nobody can guess ahead.
std::string RandomName() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[12] = {};
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    std::string name;
    for (const unsigned char byte : bytes) name += kLetters[byte % (sizeof kLetters - 1)];
    return name;
}

// A new file beside path that this call made itself: O_EXCL so nothing already there (a file or a
// link someone planted) is opened, O_NOFOLLOW on top, a name nobody can guess, and the mode the
// umask leaves of 0666. The descriptor, or -1 with errno set.
int CreateTemporaryBeside(const std::string& path, std::string* temporary) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        *temporary = path + ".partial-" + RandomName();
        const int fd = open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

std::string ExistingTargetProblem(const std::string& path) {
    struct stat existing{};
    if (lstat(path.c_str(), &existing) != 0) return errno == ENOENT ? std::string() : Reason("cannot look at", path);
    if (S_ISREG(existing.st_mode)) return {};
    if (S_ISLNK(existing.st_mode)) return path + " is a symbolic link; give the path of the file itself";
    if (S_ISDIR(existing.st_mode)) return path + " is a directory";
    return path + " is not a regular file (a device, FIFO or socket), which a report would replace";
}

std::string UserStateDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // The XDG rules ignore a relative value.
    if (state != nullptr && state[0] == '/') return state;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state";
    return {};
}

bool MakeDirectories(const std::string& directory, std::string* error) {
    std::error_code code;
    std::filesystem::create_directories(directory, code);
    if (!code && std::filesystem::is_directory(directory, code)) return true;
    if (error != nullptr) *error = "cannot create the directory " + directory + (code ? ": " + code.message() : "");
    return false;
}

bool MakePrivateDirectory(const std::string& directory, std::string* error) {
    const std::filesystem::path parent = std::filesystem::path(directory).parent_path();
    std::error_code ignored;  // a parent that cannot be made shows in mkdir's answer below
    if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
    if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error != nullptr) *error = Reason("cannot create the directory", directory);
        return false;
    }
    struct stat status{};
    std::string problem;
    if (lstat(directory.c_str(), &status) != 0) problem = Reason("cannot look at", directory);
    else if (S_ISLNK(status.st_mode)) problem = directory + " is a symbolic link";
    else if (!S_ISDIR(status.st_mode)) problem = directory + " is not a directory";
    else problem = PrivacyProblem(status, directory);
    if (!problem.empty() && error != nullptr) *error = problem;
    return problem.empty();
}

bool AppendToFile(const std::string& file, const std::string& text, std::string* error) {
    const auto fail = [&](const std::string& reason) {
        if (error != nullptr) *error = reason;
        return false;
    };
    // The folder first, as it is now (not a link, the user's own), then the file inside that very
    // folder: a folder swapped meanwhile changes nothing.
    const std::string directory = DirectoryOf(file);
    const int folder = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return fail(errno == ELOOP ? directory + " is a symbolic link" : Reason("cannot open the directory", directory));
    struct stat status{};
    std::string problem = fstat(folder, &status) == 0 ? PrivacyProblem(status, directory) : Reason("cannot look at", directory);
    if (!problem.empty()) {
        close(folder);
        return fail(problem);
    }
    // O_NONBLOCK: a FIFO there fails at once instead of waiting for a reader.
    const std::string name = std::filesystem::path(file).filename().string();
    const int fd = openat(folder, name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int openError = errno;
    close(folder);
    if (fd < 0) {
        errno = openError;
        if (errno == ELOOP) return fail(file + " is a symbolic link");
        if (errno == ENXIO) return fail(file + " is not a regular file");
        return fail(Reason("cannot open", file));
    }
    if (fstat(fd, &status) != 0) problem = Reason("cannot look at", file);
    else if (!S_ISREG(status.st_mode)) problem = file + " is not a regular file";
    else if (status.st_nlink != 1) problem = file + " has other names (hard links) that may lead elsewhere";
    else problem = PrivacyProblem(status, file);
    const bool written = problem.empty() && WriteAll(fd, text);
    if (problem.empty() && !written) problem = Reason("cannot write to", file);
    close(fd);
    return written || fail(problem);
}

bool ReplaceFile(const std::string& path, const std::string& content, std::string* error) {
    // Only a regular file is replaced: whatever else came to be there meanwhile is left alone.
    if (!TargetMayBeReplaced(path, error)) return false;
    std::string temporary;
    const int fd = CreateTemporaryBeside(path, &temporary);
    if (fd < 0) {
        if (error != nullptr) *error = Reason("cannot create a file in the directory", DirectoryOf(path));
        return false;
    }
    bool done = WriteAll(fd, content) && fsync(fd) == 0;
    if (!done && error != nullptr) *error = Reason("cannot write", temporary);
    if (close(fd) != 0 && done) {
        done = false;
        if (error != nullptr) *error = Reason("cannot write", temporary);
    }
    if (done && rename(temporary.c_str(), path.c_str()) != 0) {
        done = false;
        if (error != nullptr) *error = Reason("cannot replace", path);
    }
    if (!done) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with its directory. Some file systems cannot sync a
    // directory; the file is complete either way, so that is no failure.
    const int directory = open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return true;
}

bool RemoveFile(const std::string& path, std::string* error) {
    if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    if (error != nullptr) *error = Reason("cannot remove", path);
    return false;
}

bool MakeAndRemoveFileBeside(const std::string& path, std::string* error) {
    std::string temporary;
    const int fd = CreateTemporaryBeside(path, &temporary);
    if (fd < 0) {
        if (error != nullptr) *error = Reason("cannot write in the directory", DirectoryOf(path));
        return false;
    }
    close(fd);
    unlink(temporary.c_str());
    return true;
}

bool ReadSmallFile(const std::string& path, std::size_t largest, std::string* content, std::string* error) {
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (error != nullptr) *error = Reason("cannot open", path);
        return false;
    }
    struct stat status {};
    std::string text;
    bool ok = fstat(fd, &status) == 0;
    if (ok && !S_ISREG(status.st_mode)) {
        if (error != nullptr) *error = path + " is not a regular file";
        ok = false;
    } else if (ok && static_cast<unsigned long long>(status.st_size) > largest) {
        if (error != nullptr) *error = path + " is larger than " + std::to_string(largest) + " bytes";
        ok = false;
    }
    char buffer[4096];
    while (ok) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            if (error != nullptr) *error = Reason("cannot read", path);
            ok = false;
        } else if (got == 0) {
            break;
        } else if (text.size() + static_cast<std::size_t>(got) > largest) {
            if (error != nullptr) *error = path + " is larger than " + std::to_string(largest) + " bytes";
            ok = false;
        } else {
            text.append(buffer, static_cast<std::size_t>(got));
        }
    }
    close(fd);
    if (ok && content != nullptr) *content = std::move(text);
    return ok;
}

std::string PrivacyProblem(const struct stat& status, const std::string& path) {
    if (status.st_uid != geteuid()) return path + " belongs to another user (uid " + std::to_string(status.st_uid) + ")";
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
        return path + " can be written by other users (mode " + mode + "; chmod go-w it)";
    }
    return {};
}
