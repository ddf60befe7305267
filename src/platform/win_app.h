// The framework's application object and its start-up: there is one CWinApp, created before
// AfxWinMain runs; AfxWinMain starts the toolkit, runs InitInstance, the message loop and
// ExitInstance.
#pragma once

#include <span>
#include <string>

#include "platform/cmd_target.h"

class CFrameWnd;
struct ResourceTable;

class CWinApp : public CCmdTarget {
public:
    // Registers this object as the application (AfxGetApp); appName null: none.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Nonzero to run the message loop; 0 ends the program.
    virtual int InitInstance();
    // Runs after the message loop; its result is the program's exit code.
    virtual int ExitInstance();
    // The message loop; returns when the main window has been destroyed.
    int Run();

    // The framework's exit command (ID_APP_EXIT): closes the main window.
    void OnAppExit();
    // A caught SIGINT, SIGTERM or SIGHUP while the loop runs: by default the Exit command.
    virtual void OnTerminationSignal(int signal);

    // The application's own table, then the framework's commands.
    bool OnCmdMsg(unsigned id, CommandPhase phase, CCmdUI* item) override;

    CFrameWnd* m_pMainWnd = nullptr;
    std::string m_appName;
    // The installed desktop entry's id (without ".desktop"), so the desktop finds the program's
    // icon and name for its windows; empty: none.
    std::string m_desktopEntry;
};

CWinApp* AfxGetApp();

// Ends Run's message loop with exitCode once control returns to it (nothing when it is not running).
void AfxPostQuitMessage(int exitCode);

// The program's entry: checks that a display is there (else one line on stderr and status 1),
// catches the termination signals (see termination_signals.h), starts the toolkit, then
// InitInstance, Run and ExitInstance of the one CWinApp.
// What AfxWinMain returns when the program cannot start, and what it adds to the no-display message.
struct WinMainFailure {
    int status = 1;
    const char* noDisplayHint = nullptr;
};
int AfxWinMain(int argc, char** argv, const ResourceTable& resources, const WinMainFailure& failure = {});
