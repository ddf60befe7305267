#pragma once
// Work that a hardware fault may interrupt without ending the program: an invalid memory access,
// a bus error, an illegal instruction or an arithmetic trap raised by the work itself ends that
// work and is reported to its caller (Linux: SIGSEGV, SIGBUS, SIGILL, SIGFPE, handled on an
// alternate stack; Windows: the matching exceptions, through a vectored exception handler). The
// work's frames are abandoned where the fault hit, so it must hold nothing that needs releasing (no
// lock, no allocation, no call into the platform layer).
//
// A fault anywhere else is a real crash: one line goes to stderr and to the file named by
// SetCrashNoteFile, and the process then ends as it would have without Ferrox.

#include <cstdint>

struct HardwareFault {
    int code = 0;                // the signal number, or the Windows exception code
    std::uintptr_t address = 0;  // the address a memory fault touched (0 when not one)
    const char* name = "";       // "invalid memory access (SIGSEGV)", "illegal instruction (SIGILL)", ...
};

// Runs work(context) on the calling thread. True when it returned; false, with *fault filled, when
// a hardware fault of its own ended it. The x87 and SSE control state are put back as they were.
bool RunGuarded(void (*work)(void* context), void* context, HardwareFault* fault);

// The file that also gets the line of a real crash (appended, never through a symbolic link); an
// empty path stops that. The crash handlers are in place from the first call of either function.
void SetCrashNoteFile(const char* path);
