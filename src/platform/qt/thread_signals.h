#pragma once
// Internal to the platform layer: suspend and resume by signals. A suspended thread stops inside
// the suspend signal's handler and sleeps there until its suspend count is back to 0.

#include <csignal>

struct ThreadRecord;

void InstallThreadSignalHandlers();
// The record the signal handlers of the calling thread act on (null: none).
void AttachSignalRecord(ThreadRecord* record);

void BlockThreadSignals(sigset_t* saved = nullptr);
void UnblockThreadSignals();
void RestoreSignalMask(const sigset_t* saved);

// Sleeps while the record's suspend count is above 0 (no acknowledgement).
void WaitWhileSuspended(ThreadRecord* record);

int SuspendSignalNumber();
int ResumeSignalNumber();
