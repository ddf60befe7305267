#pragma once
// Ferrox's command line: the options, their values checked, and what the run and the window
// start with. One parse serves the window and the headless run.

#include <string>
#include <vector>

#include "run/run_settings.h"

struct CommandLine {
    RunSettings run;           // Automatic and Normal unless options say otherwise
    bool headless = false;     // no window, no display: status lines on stdout
    bool json = false;         // status lines as JSON objects (headless only)
    bool animated = true;
    bool minimized = false;    // start in the tray (window only)
    bool closeAtEnd = false;   // close the window when --duration ends (window only)
    std::string reportPath;    // empty: no report; "-": stdout
    std::string plan;          // --plan: quick, standard, thorough or a plan file; empty: none
    std::string metricsPath;   // empty: no metrics file (Prometheus text format, rewritten every 5 s)
    bool resetSettings = false;       // forget the settings the window keeps between runs
    std::vector<std::string> given;   // the options on the command line, by name ("threads")
};

struct ParseOutcome {
    bool proceed = false;  // false: nothing to run; print output (stdout) and message (stderr), exit with status
    int status = 0;
    std::string output;
    std::string message;
};

// argv[0] is the program; automaticThreads is what "auto" stands for (for the limit on counts).
ParseOutcome ParseFerroxCommandLine(int argc, char** argv, unsigned automaticThreads, CommandLine* line);


