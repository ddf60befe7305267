#pragma once
// Another user on the same machine, for scenarios where someone else shares a folder with a run
// of Ferrox as root: a forked child drops to "nobody" (uid and gid 65534, no supplementary
// groups) and does its part there. Only root can become another user; the callers skip otherwise.

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

inline constexpr uid_t kOtherUser = 65534;
inline constexpr gid_t kOtherGroup = 65534;

// Why another user cannot be had here; empty when it can.
inline std::string OtherUserUnavailable() {
    return geteuid() == 0 ? std::string() : "only root can act as another user (run the tests as root to see this case)";
}

// Runs part as "nobody" in a child process; true when it returned true. The child leaves with
// _exit, so nothing of the test program's state runs twice.
inline bool AsOtherUser(const std::function<bool()>& part) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kOtherGroup) != 0 || setuid(kOtherUser) != 0) _exit(3);
        _exit(part() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Hands path to the other user (a folder of theirs, or a file they own).
inline bool GiveToOtherUser(const std::filesystem::path& path) {
    return chown(path.c_str(), kOtherUser, kOtherGroup) == 0;
}
