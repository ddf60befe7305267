#include "load/injected_faults.h"

#include <cstdint>

void MakeInvalidMemoryAccess() {
    std::uint64_t value = 0;
    asm volatile("movq 0x8, %0" : "=r"(value) : : "memory");
}

void SpinForever(const std::atomic<bool>* release) {
    for (;;) {
        // The pause is the loop's side effect: the compiler may not assume the loop ends.
        asm volatile("pause" ::: "memory");
        if (release != nullptr && release->load(std::memory_order_relaxed)) return;
    }
}
