// The run time as the title and the tray tip show it.
#include <climits>
#include <cmath>
#include <cstdio>

#include "app/ferrox_frame.h"

namespace {
struct RunTime {
    int hours;
    int minutes;
    int seconds;
};

// Whole seconds, truncated toward zero. A clock running backwards or a broken reading shows as
// 0; the hours stop growing after some 68 years.
RunTime SplitRunTime(long double elapsedSeconds) {
    long double whole = std::trunc(elapsedSeconds);
    int total = 0;
    if (whole > 0) {
        total = whole >= static_cast<long double>(INT_MAX) ? INT_MAX : static_cast<int>(whole);
    }
    return RunTime{total / 3600, (total / 60) % 60, total % 60};
}
}  // namespace

std::string FormatTitle(const std::string& name, long double elapsedSeconds, long double clockHz) {
    RunTime time = SplitRunTime(elapsedSeconds);
    char text[256];
    std::snprintf(text, sizeof text, "%s %02d:%02d:%02d at %4.1f MHz", name.c_str(), time.hours,
                  time.minutes, time.seconds, static_cast<double>(clockHz * 0.000001L));
    return text;
}

std::string FormatTrayTip(const std::string& name, long double elapsedSeconds) {
    RunTime time = SplitRunTime(elapsedSeconds);
    char text[256];
    if (time.hours > 0) {
        std::snprintf(text, sizeof text, "%s %d hours %d minutes %d seconds.", name.c_str(),
                      time.hours, time.minutes, time.seconds);
    } else if (time.minutes > 0) {
        std::snprintf(text, sizeof text, "%s %d minutes %d seconds.", name.c_str(), time.minutes,
                      time.seconds);
    } else if (time.seconds > 0) {
        std::snprintf(text, sizeof text, "%s %d seconds.", name.c_str(), time.seconds);
    } else {
        text[0] = '\0';
    }
    return text;
}
