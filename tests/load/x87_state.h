#pragma once
// Reads the x87 tag word of the calling thread: 0xFFFF when the register stack is empty.

#include <cstdint>

struct X87Environment {
    std::uint32_t control;
    std::uint32_t status;
    std::uint32_t tag;
    std::uint32_t rest[4];
};

// FNSTENV masks the exceptions after storing: FLDENV puts the environment back as it was.
inline std::uint16_t ReadX87TagWord() {
    X87Environment environment;
    asm volatile("fnstenv %0\n\tfldenv %0" : "=m"(environment) : : "memory");
    return static_cast<std::uint16_t>(environment.tag);
}

// The same read with one value pushed, to show the read sees a non-empty stack.
inline std::uint16_t ReadX87TagWordWithOneEntry() {
    X87Environment environment;
    asm volatile("fld1\n\tfnstenv %0\n\tfldenv %0\n\tfstp %%st(0)" : "=m"(environment) : : "st", "memory");
    return static_cast<std::uint16_t>(environment.tag);
}
