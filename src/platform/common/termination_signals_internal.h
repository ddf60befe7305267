#pragma once
// Internal to the platform layer: the window's event loop watches the caught signals' pipe.

// The pipe's read end, -1 before CatchTerminationSignals.
int TerminationSignalDescriptor();
// Takes one caught signal (non-blocking): its number, or 0 when none is waiting.
int ReadTerminationSignal();

// SIGHUP's number, which Windows' C library lacks: a closed console window is taken as it.
inline constexpr int kHangUpSignal = 1;
