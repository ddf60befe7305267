// The memory load's buffer on Linux: an anonymous mapping aligned to 2 MiB, transparent huge pages
// asked for with madvise, locked with mlock2(MLOCK_ONFAULT) (pages are locked as they are first
// touched, so the lock costs nothing up front), frame numbers from /proc/self/pagemap.

#include "platform/large_buffer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

constexpr std::size_t kHugePage = 2u << 20;

// Whether transparent huge pages are on for regions that ask for them ("[always]" or "[madvise]").
bool HugePagesOffered() {
    std::ifstream file("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    std::getline(file, line);
    return line.find("[always]") != std::string::npos || line.find("[madvise]") != std::string::npos;
}

std::string MiB(unsigned long long bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

bool AllocateLargeBuffer(std::size_t bytes, LargeBuffer* buffer, std::string* error) {
    *buffer = LargeBuffer{};
    if (bytes == 0) {
        if (error != nullptr) *error = "no size";
        return false;
    }
    const std::size_t mappingBytes = bytes + kHugePage;
    void* mapping = mmap(nullptr, mappingBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapping == MAP_FAILED) {
        if (error != nullptr) *error = std::strerror(errno);
        return false;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t aligned = (address + kHugePage - 1) & ~(kHugePage - 1);
    buffer->mapping = mapping;
    buffer->mappingBytes = mappingBytes;
    buffer->base = reinterpret_cast<unsigned char*>(aligned);
    buffer->bytes = bytes;
    buffer->hugePages = bytes >= kHugePage && HugePagesOffered() && madvise(buffer->base, bytes, MADV_HUGEPAGE) == 0;
    if (mlock2(buffer->base, bytes, MLOCK_ONFAULT) == 0) {
        buffer->locked = true;
    } else {
        const int failure = errno;
        rlimit limit{};
        getrlimit(RLIMIT_MEMLOCK, &limit);
        buffer->lockProblem = std::string(std::strerror(failure));
        if (failure == ENOMEM || failure == EPERM) {
            buffer->lockProblem += limit.rlim_cur == RLIM_INFINITY
                                       ? std::string()
                                       : " (RLIMIT_MEMLOCK allows " + MiB(limit.rlim_cur) + "; raise it with ulimit -l or run as root)";
        }
    }
    return true;
}

void FreeLargeBuffer(LargeBuffer* buffer) {
    if (buffer->mapping != nullptr) munmap(buffer->mapping, buffer->mappingBytes);
    *buffer = LargeBuffer{};
}

void ReleaseBufferRange(const LargeBuffer& buffer, std::size_t offset, std::size_t bytes) {
    if (buffer.base == nullptr || offset >= buffer.bytes) return;
    if (bytes > buffer.bytes - offset) bytes = buffer.bytes - offset;
    if (buffer.locked) munlock(buffer.base + offset, bytes);
    madvise(buffer.base + offset, bytes, MADV_DONTNEED);
}

std::uint64_t PhysicalAddressOf(const void* address) {
    const long page = sysconf(_SC_PAGESIZE);
    if (page <= 0) return 0;
    const int file = open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
    if (file < 0) return 0;
    const auto virtualAddress = reinterpret_cast<std::uintptr_t>(address);
    std::uint64_t entry = 0;
    const off_t at = static_cast<off_t>(virtualAddress / static_cast<std::uintptr_t>(page) * sizeof entry);
    const bool read = pread(file, &entry, sizeof entry, at) == static_cast<ssize_t>(sizeof entry);
    close(file);
    // Bit 63: present; bits 0-54: the frame number, shown as 0 to processes without CAP_SYS_ADMIN.
    const std::uint64_t frame = entry & ((1ull << 55) - 1);
    if (!read || (entry >> 63) == 0 || frame == 0) return 0;
    return frame * static_cast<std::uint64_t>(page) + virtualAddress % static_cast<std::uintptr_t>(page);
}
