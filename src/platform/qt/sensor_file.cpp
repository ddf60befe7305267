// Sensor files opened by O_PATH first: the file is looked at (type, where it really is) before
// anything opens it for reading, and then the very file looked at is opened, through /proc.

#include "platform/sensor_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// A descriptor open for reading on the regular file at path inside resolvedTree, or -1.
int OpenInside(const std::string& path, const std::string& resolvedTree) {
    if (resolvedTree.empty()) return -1;
    // O_PATH opens nothing for I/O: a FIFO or device is not "opened", and O_NOFOLLOW keeps a link
    // in the last part of the name from being followed.
    const Descriptor located(open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (located.Get() < 0) return -1;
    struct stat status{};
    if (fstat(located.Get(), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    // Where the file really is, every link on the way resolved: it must be inside the tree.
    const std::string handle = "/proc/self/fd/" + std::to_string(located.Get());
    char real[PATH_MAX + 1];
    const ssize_t length = readlink(handle.c_str(), real, PATH_MAX);
    if (length <= 0) return -1;
    const std::string_view where(real, static_cast<std::size_t>(length));
    if (where.size() <= resolvedTree.size() || where.substr(0, resolvedTree.size()) != resolvedTree ||
        (resolvedTree != "/" && where[resolvedTree.size()] != '/'))
        return -1;
    // The same file, now for reading; O_NONBLOCK so that nothing there waits on being opened.
    return open(handle.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

}  // namespace

std::string ResolveSensorTree(const std::string& tree) {
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(tree.c_str(), nullptr), &std::free);
    if (real == nullptr) return {};
    struct stat status{};
    if (stat(real.get(), &status) != 0 || !S_ISDIR(status.st_mode)) return {};
    return real.get();
}

std::optional<std::string> ReadSensorFile(const std::string& path, const std::string& resolvedTree, std::size_t capacity) {
    const Descriptor file(OpenInside(path, resolvedTree));
    if (file.Get() < 0) return std::nullopt;
    std::string content(capacity, '\0');
    std::size_t got = 0;
    while (got < capacity) {
        const ssize_t n = read(file.Get(), content.data() + got, capacity - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;  // EAGAIN included: nothing there now
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    content.resize(got);
    return content;
}

bool CanOpenSensorFile(const std::string& path, const std::string& resolvedTree) {
    const Descriptor file(OpenInside(path, resolvedTree));
    return file.Get() >= 0;
}
