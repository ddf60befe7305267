#include "platform/win32/windows_api.h"

#include <cstdio>

#include "platform/display_check.h"
#include "platform/frame_wnd.h"
#include "platform/resources.h"
#include "platform/termination_signals.h"
#include "platform/termination_signals_internal.h"
#include "platform/win32/frame_widget.h"
#include "platform/win32/termination_window.h"
#include "platform/win_app.h"
#include "platform/window_defs.h"

namespace {
CWinApp* g_app = nullptr;
// Whether Run's message loop is running: a quit posted with no loop running would stay in the
// queue and end the next modal loop (a popup menu's) instead.
bool g_messageLoopRunning = false;

const CommandMapEntry kFrameworkCommands[] = {
    {ID_APP_EXIT, [](CCmdTarget& app, unsigned) { static_cast<CWinApp&>(app).OnAppExit(); }, nullptr},
};

const char* ProgramName(int argc, char** argv) {
    if (argc < 1 || argv == nullptr || argv[0] == nullptr) {
        return "ferrox";
    }
    const char* name = argv[0];
    for (const char* p = argv[0]; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    return name;
}
}  // namespace

CWinApp::CWinApp(const char* appName) : m_appName(appName != nullptr ? appName : "") {
    if (g_app == nullptr) {
        g_app = this;
    }
}

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

int CWinApp::InitInstance() { return 1; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
    if (m_pMainWnd == nullptr) {
        return 0;
    }
    // Caught termination signals end the program as its Exit command does, from the loop.
    FrameWidget* mainWidget = m_pMainWnd->GetFrameWidget();
    WatchTerminationSignals(mainWidget != nullptr ? mainWidget->Handle() : nullptr);
    g_messageLoopRunning = true;
    Win32MSG message{};
    int result = 0;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            result = static_cast<int>(message.wParam);
            break;
        }
        if (got == -1) {
            break;
        }
        ::TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    g_messageLoopRunning = false;
    WatchTerminationSignals(nullptr);
    return result;
}

void CWinApp::OnTerminationSignal(int) {
    // Posted, so that a signal taken inside a menu's or a box's own loop closes the window from
    // the main loop, as a chosen Exit does.
    if (m_pMainWnd != nullptr) m_pMainWnd->PostCommand(ID_APP_EXIT);
}

void CWinApp::OnAppExit() {
    if (m_pMainWnd != nullptr) {
        m_pMainWnd->OnClose();
    }
}

bool CWinApp::OnCmdMsg(unsigned id, CommandPhase phase, CCmdUI* item) {
    return CCmdTarget::OnCmdMsg(id, phase, item) || DispatchCommandMap(kFrameworkCommands, *this, id, phase, item);
}

CWinApp* AfxGetApp() { return g_app; }

void AfxPostQuitMessage(int exitCode) {
    // WM_QUIT: the loop ends once control returns to it.
    if (g_messageLoopRunning) {
        PostQuitMessage(exitCode);
    }
}

int AfxWinMain(int argc, char** argv, const ResourceTable& resources, const WinMainFailure& failure) {
    const char* program = ProgramName(argc, argv);
    std::string reason;
    if (!DisplayAvailable(&reason)) {
        std::fprintf(stderr, "%s: %s%s%s\n", program, reason.c_str(), failure.noDisplayHint != nullptr ? "; " : "",
                     failure.noDisplayHint != nullptr ? failure.noDisplayHint : "");
        return failure.status;
    }
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        std::fprintf(stderr, "%s: no application object\n", program);
        return failure.status;
    }
    AfxSetResourceTable(&resources);
    // From here on a signal is kept for the loop, also one that comes during start-up. (The
    // desktop entry of m_desktopEntry is a Linux desktop's notion: Windows finds the icon in the
    // program file.)
    CatchTerminationSignals();
    // The shell (ShellExecute) wants a single-threaded apartment on the thread that calls it.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int exitCode = failure.status;
    if (app->InitInstance()) {
        app->Run();
        exitCode = app->ExitInstance();
    } else {
        app->ExitInstance();
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    AfxSetResourceTable(nullptr);
    return exitCode;
}
