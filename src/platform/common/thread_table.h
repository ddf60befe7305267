#pragma once
// Internal to the platform layer: the process-wide table of thread records both backends keep,
// keyed by thread id, and the values of their handles. Record is the backend's ThreadRecord (an
// id, a lock, and the alive and handleOpen flags under it); Deferral its SuspendDeferral, held
// with the table's lock so that no thread is stopped while it holds it.

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/thread.h"

inline constexpr std::uintptr_t kCurrentProcessHandle = static_cast<std::uintptr_t>(-1);
inline constexpr std::uintptr_t kCurrentThreadHandle = static_cast<std::uintptr_t>(-2);

// A thread handle's value is its thread id; 0 for a value no id has.
inline DWORD IdFromHandle(HANDLE handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    return value <= 0xFFFFFFFFu ? static_cast<DWORD>(value) : 0;
}

inline HANDLE HandleFromId(DWORD id) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(id)); }

template <typename Record, typename Deferral>
struct ThreadTable {
    using Ref = std::shared_ptr<Record>;

    std::mutex lock;
    std::unordered_map<DWORD, Ref> threads;

    // The record of id when its flag (an open handle, a live thread) is set; read under its lock.
    Ref Find(DWORD id, bool Record::*flag) {
        Deferral deferral;
        std::lock_guard<std::mutex> guard(lock);
        const auto found = threads.find(id);
        if (found == threads.end()) return nullptr;
        std::lock_guard<std::mutex> recordGuard(found->second->lock);
        return (*found->second).*flag ? found->second : nullptr;
    }

    // Drops the table's reference once neither a live thread nor an open handle needs it.
    void ForgetIfUnused(const Ref& record) {
        Deferral deferral;
        std::lock_guard<std::mutex> tableGuard(lock);
        std::lock_guard<std::mutex> recordGuard(record->lock);
        if (!record->alive && !record->handleOpen) threads.erase(record->id);
    }

    // The handle of thread object `object` closes: its record forgets the object, and goes once
    // the thread has ended as well. Nothing for a handle that names no thread of this object's.
    void CloseHandleOf(HANDLE handle, const CWinThread* object) {
        const DWORD id = IdFromHandle(handle);
        Ref record = id != 0 ? Find(id, &Record::handleOpen) : nullptr;
        if (record == nullptr) return;
        {
            Deferral deferral;
            std::lock_guard<std::mutex> guard(record->lock);
            if (record->object != object) return;
            record->handleOpen = false;
            record->object = nullptr;
        }
        ForgetIfUnused(record);
    }
};
