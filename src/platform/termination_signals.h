#pragma once
// Ending the program from outside: SIGINT (Ctrl+C in its terminal), SIGTERM (kill, logout) and
// SIGHUP (its terminal closed); on Windows Ctrl+C, Ctrl+Break and closing the console. Once caught
// they no longer end the process on the spot: each is kept, in order, for the program to act on,
// so that it can stop its workers and finish its report first. The window's message loop acts on
// them by itself (as its Exit command); a program without a window waits for them.

#include "platform/win_types.h"

// Catches the three signals from now on (again and again: a second one is kept too). SIGPIPE is
// ignored from then on: writing to a closed pipe fails with an error instead of ending the process.
void CatchTerminationSignals();
// Waits up to milliseconds for a caught signal: its number, or 0 when none came.
int WaitForTerminationSignal(DWORD milliseconds);
// "SIGINT", "SIGTERM", "SIGHUP"; "signal N" for others.
const char* TerminationSignalName(int signal);
