// Hardware faults of guarded work, on Linux: one handler for the four fault signals, run on an
// alternate stack (the fault may be a stack overflow), that jumps back to the guard of the thread
// the fault hit. Everything the handler does is async-signal-safe: a jump, write(2), arithmetic.

#include "platform/fault_guard.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};

struct Guard {
    sigjmp_buf jump;
    HardwareFault fault;
};

// Read by the handler: plain thread-local values only.
thread_local Guard* t_guard = nullptr;

std::atomic<int> g_noteDescriptor{-1};
std::atomic<long> g_utcOffsetSeconds{0};

const char* FaultName(int signal) {
    switch (signal) {
    case SIGSEGV: return "invalid memory access (SIGSEGV)";
    case SIGBUS: return "bus error (SIGBUS)";
    case SIGILL: return "illegal instruction (SIGILL)";
    case SIGFPE: return "arithmetic trap (SIGFPE)";
    default: return "hardware fault";
    }
}

bool IsMemoryFault(int signal) { return signal == SIGSEGV || signal == SIGBUS; }

// The handler's own formatting: appends to a fixed buffer.
struct Line {
    char text[256];
    std::size_t length = 0;
    void Add(const char* part) {
        while (*part != '\0' && length + 1 < sizeof text) text[length++] = *part++;
    }
    void AddNumber(unsigned long long value, int digits, unsigned base = 10) {
        char reversed[24];
        int count = 0;
        do {
            reversed[count++] = "0123456789abcdef"[value % base];
            value /= base;
        } while ((value != 0 || count < digits) && count < 24);
        while (count > 0 && length + 1 < sizeof text) text[length++] = reversed[--count];
    }
};

// The local date and time of now, as the log writes it (the offset from UTC was taken when the
// note file was set: localtime is not safe in a handler).
void AddTimestamp(Line* line) {
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long seconds = static_cast<long long>(now.tv_sec) + g_utcOffsetSeconds.load();
    long long days = seconds / 86400;
    const long long daySeconds = seconds % 86400;
    // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
    days += 719468;
    const long long era = days / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    line->AddNumber(static_cast<unsigned long long>(year), 4);
    line->Add("-");
    line->AddNumber(static_cast<unsigned long long>(month), 2);
    line->Add("-");
    line->AddNumber(static_cast<unsigned long long>(day), 2);
    line->Add(" ");
    line->AddNumber(static_cast<unsigned long long>(daySeconds / 3600), 2);
    line->Add(":");
    line->AddNumber(static_cast<unsigned long long>(daySeconds / 60 % 60), 2);
    line->Add(":");
    line->AddNumber(static_cast<unsigned long long>(daySeconds % 60), 2);
    line->Add(" ");
}

void WriteAll(int descriptor, const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t written = write(descriptor, text, length);
        if (written <= 0) return;
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

void NoteCrash(int signal, const siginfo_t* info) {
    Line line;
    line.Add("crash: ");
    line.Add(FaultName(signal));
    if (IsMemoryFault(signal)) {
        line.Add(" at address 0x");
        line.AddNumber(reinterpret_cast<std::uintptr_t>(info->si_addr), 1, 16);
    }
    line.Add(" outside the load workers' guarded work: Ferrox ends\n");
    const char prefix[] = "ferrox: ";
    WriteAll(STDERR_FILENO, prefix, sizeof prefix - 1);
    WriteAll(STDERR_FILENO, line.text, line.length);
    const int note = g_noteDescriptor.load();
    if (note >= 0) {
        Line stamped;
        AddTimestamp(&stamped);
        for (std::size_t i = 0; i < line.length && stamped.length + 1 < sizeof stamped.text; ++i)
            stamped.text[stamped.length++] = line.text[i];
        WriteAll(note, stamped.text, stamped.length);
    }
}

void OnFault(int signal, siginfo_t* info, void*) {
    Guard* guard = t_guard;
    // si_code > 0: raised by the processor, not sent by kill() or raise().
    if (guard != nullptr && info != nullptr && info->si_code > 0) {
        t_guard = nullptr;
        guard->fault.code = signal;
        guard->fault.address = IsMemoryFault(signal) ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;
        guard->fault.name = FaultName(signal);
        siglongjmp(guard->jump, 1);
    }
    NoteCrash(signal, info);
    // As without Ferrox: the default action, at the same instruction for a fault the processor
    // raised (it faults again), at once for one that was sent.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    if (info == nullptr || info->si_code <= 0) raise(signal);
}

void InstallFaultHandlers() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action = {};
        action.sa_sigaction = OnFault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (int signal : kFaultSignals) sigaction(signal, &action, nullptr);
    });
}

// The calling thread's alternate signal stack, made on its first guarded work and released with
// the thread.
struct AlternateStack {
    void* memory = nullptr;
    std::size_t size = 0;
    bool Ready() {
        if (memory != nullptr) return true;
        const long minimum = sysconf(_SC_SIGSTKSZ);
        size = static_cast<std::size_t>(minimum > 65536 ? minimum : 65536);
        void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return false;
        stack_t stack = {};
        stack.ss_sp = mapped;
        stack.ss_size = size;
        if (sigaltstack(&stack, nullptr) != 0) {
            munmap(mapped, size);
            return false;
        }
        memory = mapped;
        return true;
    }
    ~AlternateStack() {
        if (memory == nullptr) return;
        stack_t disable = {};
        disable.ss_flags = SS_DISABLE;
        sigaltstack(&disable, nullptr);
        munmap(memory, size);
    }
};
thread_local AlternateStack t_alternateStack;

// The x87 control word and the SSE control and status register, kept across a fault: the work may
// have left the x87 stack full or the rounding changed.
struct FloatingPointControl {
    std::uint16_t x87 = 0;
    std::uint32_t sse = 0;
    void Save() { asm volatile("fnstcw %0\n\tstmxcsr %1" : "=m"(x87), "=m"(sse)); }
    void Restore() const { asm volatile("fninit\n\tfldcw %0\n\tldmxcsr %1" : : "m"(x87), "m"(sse)); }
};

}  // namespace

bool RunGuarded(void (*work)(void* context), void* context, HardwareFault* fault) {
    InstallFaultHandlers();
    t_alternateStack.Ready();  // without one a stack overflow is a real crash; any other fault is still caught
    Guard guard;
    FloatingPointControl control;
    control.Save();
    if (sigsetjmp(guard.jump, 1) == 0) {
        t_guard = &guard;
        work(context);
        t_guard = nullptr;
        return true;
    }
    control.Restore();
    if (fault != nullptr) *fault = guard.fault;
    return false;
}

void SetCrashNoteFile(const char* path) {
    InstallFaultHandlers();
    const int descriptor =
        path != nullptr && path[0] != '\0' ? open(path, O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW) : -1;
    const time_t now = time(nullptr);
    tm local = {};
    if (localtime_r(&now, &local) != nullptr) g_utcOffsetSeconds.store(local.tm_gmtoff);
    const int previous = g_noteDescriptor.exchange(descriptor);
    if (previous >= 0) close(previous);
}
