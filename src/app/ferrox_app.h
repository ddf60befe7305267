// The application object: the user's two settings (thread count, priority), the commands that
// change them, their check marks in both menus, and the home page.
#pragma once

#include <span>

#include "app/frame_clock.h"
#include "load/load_workers.h"
#include "platform/system_info.h"
#include "platform/win_app.h"

class CFerroxFrame;

class CFerroxApp : public CWinApp, public LoadWorkers {
public:
    CFerroxApp();
    ~CFerroxApp() override;

    int InitInstance() override;
    int ExitInstance() override;

    virtual void OnSettingsCommand(unsigned id);
    virtual void OnUpdateSettingsCommand(CCmdUI& item);

    // Restarts the workers with the count of m_threadCommand (0 for an unknown id).
    void ApplyThreadCommand();
    // Stores the priority pair of m_priorityCommand (Normal for an unknown id); running workers
    // pick it up at their next pass.
    void ApplyPriorityCommand();
    // Opens the home page with every worker held still meanwhile.
    void OpenHomePage();

    unsigned m_priorityCommand = 0;
    unsigned m_threadCommand = 0;
    SYSTEM_INFO m_systemInfo{};
    CFerroxFrame* m_frame = nullptr;

    // The clocks the main frame will be created with.
    FrameClock m_frameClock;

protected:
    std::span<const CommandMapEntry> GetCommandMap() const override;
};

// The worker count a thread-count command asks for: the processor count for Automatic,
// 0 for an id that is not a thread-count command.
unsigned ThreadCountForCommand(unsigned id, const SYSTEM_INFO& systemInfo);

struct PriorityPair {
    DWORD priorityClass;
    int threadPriority;
};

// The Win32 pair a priority command stands for; Normal for any other id.
PriorityPair PriorityPairForCommand(unsigned id);
