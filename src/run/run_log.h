#pragma once
// The run log: one line when a run starts, one per error and note, one with the verdict at the
// end, each with the date and time. Lines are only ever appended, in one write each, so earlier
// runs' lines are never lost and two Ferrox processes never mix their lines. Its folder is made
// 0700 and, like the log, must be the user's own: a link, another user's folder or file, or one
// others may write, is refused. Control characters in a line are escaped, so no text from outside
// can start a line of its own. A log that cannot be written is reported once; the run goes on
// without it.

#include <string>

class RunLog {
public:
    // The log file: $XDG_STATE_HOME/ferrox/ferrox.log (by default ~/.local/state/ferrox/ferrox.log).
    static std::string DefaultPath();

    explicit RunLog(std::string path = DefaultPath());

    // Appends "YYYY-MM-DD HH:MM:SS line" (local time); false when it could not.
    bool Write(const std::string& line);

    const std::string& Path() const { return m_path; }
    // Why the log could not be written (empty while it could); TakeNewProblem returns it once.
    const std::string& Problem() const { return m_problem; }
    std::string TakeNewProblem();

private:
    std::string m_path;
    std::string m_problem;
    bool m_problemTaken = false;
    bool m_directoryMade = false;
};
