#pragma once
// The faults FERROX_INJECT_FAULT can put into a pass that no wrong bit can stand for: a real
// invalid memory access, and a pass that never ends.

#include <atomic>

// Reads from address 8 (never mapped), in assembly so that nothing between the instruction and
// the processor's fault can stop it.
void MakeInvalidMemoryAccess();

// Spins where it is for good. A test may pass a flag that lets it go; Ferrox itself passes none.
void SpinForever(const std::atomic<bool>* release = nullptr);
