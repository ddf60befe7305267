// Appends with O_APPEND (each line one write, which the kernel never interleaves with another's),
// and replacements by write, fsync and rename.

#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

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

bool AppendToFile(const std::string& file, const std::string& text, std::string* error) {
    const int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error != nullptr) *error = Reason("cannot open", file);
        return false;
    }
    const bool written = WriteAll(fd, text);
    if (!written && error != nullptr) *error = Reason("cannot write to", file);
    close(fd);
    return written;
}

bool ReplaceFile(const std::string& path, const std::string& content, std::string* error) {
    const std::string temporary = path + ".partial-" + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error != nullptr) *error = Reason("cannot create", temporary);
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
    if (!done) unlink(temporary.c_str());
    return done;
}

bool CanWriteFile(const std::string& path, std::string* error) {
    if (path.empty()) {
        if (error != nullptr) *error = "no file name given";
        return false;
    }
    struct stat existing{};
    if (stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        if (error != nullptr) *error = path + " is a directory";
        return false;
    }
    // The file is replaced by a rename in its directory: that directory must take new files.
    const std::string directory = DirectoryOf(path);
    if (access(directory.c_str(), W_OK | X_OK) != 0) {
        if (error != nullptr) *error = Reason("cannot write in the directory", directory);
        return false;
    }
    return true;
}
