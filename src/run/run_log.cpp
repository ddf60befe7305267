#include "run/run_log.h"

#include <ctime>
#include <filesystem>

#include "platform/files.h"
#include "run/safe_text.h"

std::string RunLog::DefaultPath() {
    const std::string state = UserStateDirectory();
    return state.empty() ? std::string() : state + "/ferrox/ferrox.log";
}

RunLog::RunLog(std::string path) : m_path(std::move(path)) {}

bool RunLog::Write(const std::string& line) {
    if (!m_problem.empty()) return false;  // reported once; nothing more is tried
    if (m_path.empty()) {
        m_problem = "no log: neither XDG_STATE_HOME nor HOME gives a state directory";
        return false;
    }
    if (!m_directoryMade) {
        const std::string directory = std::filesystem::path(m_path).parent_path().string();
        if (!directory.empty() && !MakePrivateDirectory(directory, &m_problem)) return false;
        m_directoryMade = true;
    }
    const std::time_t now = std::time(nullptr);
    char stamp[32] = "0000-00-00 00:00:00";
    if (const std::tm* local = std::localtime(&now)) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", local);
    // One line whatever the caller put in it: outside text cannot start lines of its own.
    return AppendToFile(m_path, std::string(stamp) + " " + EscapeControls(line) + "\n", &m_problem);
}

std::string RunLog::TakeNewProblem() {
    if (m_problem.empty() || m_problemTaken) return {};
    m_problemTaken = true;
    return m_problem;
}
