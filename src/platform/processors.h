#pragma once
// The logical processors this process may run on, where each sits (core and package), and
// keeping a thread on one of them.

#include <vector>

#include "platform/win_types.h"

struct ProcessorPlace {
    int processor = -1;  // the operating system's logical processor number
    int core = -1;       // physical core within its package; -1 when the topology does not say
    int package = -1;    // physical package; -1 when the topology does not say
};

// The processors this process was allowed to run on when first asked (its affinity, a
// container's cpuset), offline ones left out, in ascending order; never empty (at worst the
// processor the caller runs on, or processor 0).
const std::vector<ProcessorPlace>& AllowedProcessors();

// The logical processor the calling thread is running on at this moment; -1 when unknown.
int CurrentProcessor();

// Keeps the calling thread on processor from now on; FALSE (and the thread where it was) when the
// system refuses (offline, not in the allowed set).
BOOL PinCurrentThread(int processor);
// Lets the calling thread run on every allowed processor again.
BOOL UnpinCurrentThread();
