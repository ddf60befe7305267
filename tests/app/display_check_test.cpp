// Whether Ferrox finds a display before it starts the toolkit.
#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/display_check.h"

namespace {
// Sets (or, with nullopt, removes) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};
}  // namespace

TEST(DisplayCheck, NeedsADisplayOnlyForWindowingPlatforms) {
    const struct {
        std::optional<std::string> platform, display, wayland;
        bool available;
    } cases[] = {
        {"offscreen", std::nullopt, std::nullopt, true},
        {"minimal:foo=1", std::nullopt, std::nullopt, true},
        {std::nullopt, std::nullopt, std::nullopt, false},
        {"", "", "", false},
        {"xcb", std::nullopt, "wayland-0", false},
        {"xcb", ":bad", std::nullopt, false},
        {"xcb", ":4711", std::nullopt, false},  // no such server
        {std::nullopt, "otherhost:0", std::nullopt, true},  // remote: left to the toolkit
        {"wayland", std::nullopt, std::nullopt, false},
        {"wayland;xcb", std::nullopt, "wayland-0", true},
        {std::nullopt, std::nullopt, "wayland-0", true},
    };
    for (const auto& c : cases) {
        ScopedEnv platform("QT_QPA_PLATFORM", c.platform);
        ScopedEnv display("DISPLAY", c.display);
        ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
        std::string reason;
        EXPECT_EQ(DisplayAvailable(&reason), c.available)
            << c.platform.value_or("(unset)") << " " << c.display.value_or("(unset)") << " "
            << c.wayland.value_or("(unset)");
        EXPECT_EQ(reason.empty(), c.available);
        EXPECT_EQ(reason.find('\n'), std::string::npos);
    }
}
