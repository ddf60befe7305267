// Thread message queues. Every thread record carries its queue from creation on.

#include "platform/qt/thread_registry.h"

BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    ThreadRef record = FindLiveThread(threadId);
    if (record == nullptr) return FALSE;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(record->lock);
    if (!record->alive) return FALSE;
    record->queue.push_back(MSG{nullptr, message, wParam, lParam, 0});
    return TRUE;
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (msg == nullptr || hwnd != nullptr) return FALSE;
    ThreadRef record = CurrentThreadRecord();
    const bool acceptAll = filterMin == 0 && filterMax == 0;
    SuspendDeferral deferral;
    std::lock_guard<std::mutex> guard(record->lock);
    for (auto entry = record->queue.begin(); entry != record->queue.end(); ++entry) {
        if (!acceptAll && (entry->message < filterMin || entry->message > filterMax)) continue;
        *msg = *entry;
        if ((removeFlags & PM_REMOVE) != 0) record->queue.erase(entry);
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LONG DispatchMessage(const MSG*) { return 0; }
