#include "platform/display_check.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The platform plugin Qt will load first: QT_QPA_PLATFORM up to its options or fallbacks.
std::string RequestedPlatform() {
    std::string platform = Env("QT_QPA_PLATFORM");
    return platform.substr(0, platform.find_first_of(":;"));
}

bool ConnectUnixSocket(const std::string& path, bool abstractName) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::size_t offset = abstractName ? 1 : 0;  // abstract names start with a zero byte
    if (path.size() + offset >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
    bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    close(fd);
    return connected;
}

// Local displays (":N", ":N.S", "unix:N") are checked through the X server's socket; remote
// ones are left to the toolkit.
bool XDisplayAnswers(const std::string& display) {
    std::string_view name(display);
    if (name.starts_with("unix:")) {
        name.remove_prefix(4);
    }
    if (!name.starts_with(":")) {
        return true;
    }
    name.remove_prefix(1);
    std::string number(name.substr(0, name.find('.')));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    std::string path = "/tmp/.X11-unix/X" + number;
    return ConnectUnixSocket(path, false) || ConnectUnixSocket(path, true);
}
}  // namespace

bool DisplayAvailable(std::string* reason) {
    std::string platform = RequestedPlatform();
    std::string display = Env("DISPLAY");
    bool wayland = !Env("WAYLAND_DISPLAY").empty();
    auto fail = [reason](const std::string& why) {
        if (reason != nullptr) {
            *reason = why;
        }
        return false;
    };
    if (!platform.empty() && platform != "xcb" && !platform.starts_with("wayland")) {
        return true;  // offscreen, minimal, vnc ...: no display needed
    }
    if (platform.starts_with("wayland")) {
        return wayland || fail("no Wayland display (WAYLAND_DISPLAY is not set)");
    }
    if (display.empty()) {
        if (platform.empty() && wayland) {
            return true;
        }
        return fail("no display (set DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM=offscreen)");
    }
    return XDisplayAnswers(display) || fail("cannot open display " + display);
}
