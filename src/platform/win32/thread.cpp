// Thread creation, the thread objects and the table of thread records, over Win32 threads.

#include "platform/win32/windows_api.h"

#include <string>

#include "platform/common/thread_table.h"
#include "platform/priority.h"
#include "platform/win32/kernel_calls.h"
#include "platform/win32/text.h"
#include "platform/win32/thread_registry.h"

namespace {

// Big enough for the load kernels' 256 KiB work areas (reserved; committed as used).
constexpr SIZE_T kDefaultStackBytes = 4u << 20;

using Registry = ThreadTable<ThreadRecord, SuspendDeferral>;

// Never destroyed: threads may still end while the process shuts down.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

// A started thread's own record (a plain pointer: nothing to destroy at thread exit).
thread_local ThreadRecord* t_record = nullptr;

// The record of id when its flag (an open handle, a live thread) is set.
ThreadRef FindRecord(DWORD id, bool ThreadRecord::*flag) { return TheRegistry().Find(id, flag); }

void ForgetIfUnused(const ThreadRef& record) { TheRegistry().ForgetIfUnused(record); }

// Runs on the ending thread once its procedure has returned.
void EndThread(const ThreadRef& record) {
    CWinThread* selfDeleting = nullptr;
    {
        SuspendDeferral deferral;
        std::lock_guard<std::mutex> guard(record->lock);
        record->alive = false;
        if (record->object != nullptr && record->object->m_bAutoDelete) selfDeleting = record->object;
    }
    ForgetIfUnused(record);
    delete selfDeleting;  // closes the handle
}

struct StartBlock {
    ThreadRef record;
    AFX_THREADPROC proc;
    LPVOID param;
    HANDLE queueReady;  // set by the thread once its message queue exists
    HANDLE startGate;   // set by the creator once the thread may run its procedure
};

Win32DWORD WINAPI ThreadStart(LPVOID argument) {
    std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(argument));
    ThreadRef record = start->record;
    t_record = record.get();
    // Windows gives a thread its message queue on its first window-manager call; this one makes
    // it now, before anyone may post to the thread (the method PostThreadMessage documents).
    Win32MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    SetEvent(start->queueReady);
    WaitForNativeObject(start->startGate, kNativeInfinite);
    CloseHandle(start->queueReady);
    CloseHandle(start->startGate);
    const AFX_THREADPROC proc = start->proc;
    const LPVOID param = start->param;
    start.reset();
    proc(param);
    EndThread(record);
    t_record = nullptr;
    return 0;
}

}  // namespace

ThreadRecord::~ThreadRecord() {
    if (native != nullptr) CloseHandle(native);
    if (parked != nullptr) CloseHandle(parked);
    if (released != nullptr) CloseHandle(released);
}

ThreadRef FindThreadByHandle(HANDLE handle) {
    if (reinterpret_cast<std::uintptr_t>(handle) == kCurrentThreadHandle) {
        return t_record != nullptr ? FindRecord(t_record->id, &ThreadRecord::alive) : nullptr;
    }
    const DWORD id = IdFromHandle(handle);
    return id != 0 ? FindRecord(id, &ThreadRecord::handleOpen) : nullptr;
}

ThreadTarget FindThreadTarget(HANDLE handle) {
    ThreadRef record = FindThreadByHandle(handle);
    if (record != nullptr) return ThreadTarget{record, record->native};
    if (reinterpret_cast<std::uintptr_t>(handle) == kCurrentThreadHandle) {
        return ThreadTarget{nullptr, kernel::CurrentThread()};
    }
    return ThreadTarget{};
}

ThreadRef FindLiveThread(DWORD id) { return FindRecord(id, &ThreadRecord::alive); }

ThreadRecord* CurrentThreadRecordOrNull() { return t_record; }

SuspendDeferral::SuspendDeferral() : m_record(t_record) {
    if (m_record != nullptr) m_record->platformDepth.fetch_add(1);
}

SuspendDeferral::~SuspendDeferral() {
    if (m_record == nullptr) return;
    if (m_record->platformDepth.fetch_sub(1) == 1 && m_record->stopWanted.exchange(false)) {
        // Out of the platform layer, every lock of it let go (the guards of a platform call end
        // before its deferral), and a suspender waiting: it stops the thread here.
        SetEvent(m_record->parked);
        WaitForNativeObject(m_record->released, kNativeInfinite);
    }
}

CWinThread::CWinThread(AFX_THREADPROC proc, LPVOID param) : m_pfnThreadProc(proc), m_pThreadParams(param) {}

CWinThread::~CWinThread() {
    if (m_hThread != nullptr) TheRegistry().CloseHandleOf(m_hThread, this);
}

namespace {

thread_local std::string t_startFailure;

// The system's own words for the last error of the calling thread.
void NoteStartFailure() {
    wchar_t* text = nullptr;
    const Win32DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                                             nullptr, GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    t_startFailure = message.empty() ? "the system refused a new thread" : Utf8(message);
}

}  // namespace

const char* LastThreadStartFailure() { return t_startFailure.c_str(); }

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize, DWORD flags,
                           void* /*security*/) {
    t_startFailure.clear();
    if (proc == nullptr) return nullptr;
    auto record = std::make_shared<ThreadRecord>();
    record->parked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    record->released = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (record->parked == nullptr || record->released == nullptr) return nullptr;  // the record closes them
    int unusedValue = 0;
    record->threadPriority =
        MapPriorityToNice(NORMAL_PRIORITY_CLASS, priority, &unusedValue) ? priority : THREAD_PRIORITY_NORMAL;
    HANDLE queueReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE startGate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (queueReady == nullptr || startGate == nullptr) {
        NoteStartFailure();
        if (queueReady != nullptr) CloseHandle(queueReady);
        if (startGate != nullptr) CloseHandle(startGate);
        return nullptr;
    }
    auto* start = new StartBlock{record, proc, param, queueReady, startGate};
    Win32DWORD id = 0;
    const SIZE_T stackBytes = stackSize == 0 ? kDefaultStackBytes : stackSize;
    HANDLE native = CreateThread(nullptr, stackBytes, ThreadStart, start, STACK_SIZE_PARAM_IS_A_RESERVATION, &id);
    if (native == nullptr) {
        NoteStartFailure();
        delete start;
        CloseHandle(queueReady);
        CloseHandle(startGate);
        return nullptr;
    }
    auto* object = new CWinThread(proc, param);
    record->id = static_cast<DWORD>(id);
    record->native = native;
    record->handleOpen = true;
    record->object = object;
    object->m_hThread = HandleFromId(record->id);
    object->m_nThreadID = record->id;
    {
        Registry& registry = TheRegistry();
        SuspendDeferral deferral;
        std::lock_guard<std::mutex> guard(registry.lock);
        registry.threads[record->id] = record;
    }
    {
        SuspendDeferral deferral;
        std::lock_guard<std::mutex> guard(PriorityLock());
        kernel::SetPriority(native, AppliedThreadPriority(record->threadPriority));
    }
    WaitForNativeObject(queueReady, kNativeInfinite);
    // Created suspended: stopped before the gate opens, so none of the caller's code has run.
    if ((flags & CREATE_SUSPENDED) != 0) kernel::SuspendUntilStopped(native);
    SetEvent(startGate);
    return object;
}

HANDLE GetCurrentThread() { return reinterpret_cast<HANDLE>(kCurrentThreadHandle); }
HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(kCurrentProcessHandle); }
DWORD GetCurrentThreadId() { return static_cast<DWORD>(kernel::CurrentThreadId()); }

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    ThreadRef record = FindThreadByHandle(handle);
    if (record == nullptr) return WAIT_FAILED;
    const Win32DWORD result = WaitForNativeObject(record->native, milliseconds);
    if (result == WAIT_OBJECT_0) return WAIT_OBJECT_0;
    return result == WAIT_TIMEOUT ? WAIT_TIMEOUT : WAIT_FAILED;
}

void Sleep(DWORD milliseconds) { SleepNative(milliseconds); }

void SetCurrentThreadName(const char* name) {
    if (name == nullptr) return;
    // Windows 10 1607 and later; older systems (and some Wine versions) have no thread names.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto setDescription = reinterpret_cast<SetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (setDescription == nullptr) return;
    // The same 15 characters the Linux build keeps, so both show the same names.
    const std::wstring wide = Utf16(std::string(name).substr(0, 15));
    setDescription(kernel::CurrentThread(), wide.c_str());
}
