// Caught termination signals and the window that acts on them (inside the Win32 backend only).
// The message loop's main window is told of each signal by a registered message, which reaches it
// also while a menu or a message box runs its own loop.
#pragma once

#include "platform/win32/windows_api.h"

// The registered message posted to the watching window for every signal kept.
unsigned TerminationSignalMessage();
// The window told from now on (null: none); told at once when signals are already waiting.
void WatchTerminationSignals(HWND window);
// Keeps signal as if a console event had brought it (the console handler, and tests).
void KeepTerminationSignal(int signal);
