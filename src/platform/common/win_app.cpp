// The application object's bookkeeping and commands, and the start of AfxWinMain, the same for
// both backends; the message loop is the backend's.

#include "platform/win_app.h"

#include <cstdio>
#include <string>

#include "platform/common/app_start.h"
#include "platform/display_check.h"
#include "platform/frame_wnd.h"
#include "platform/termination_signals.h"
#include "platform/window_defs.h"

namespace {
CWinApp* g_app = nullptr;

const CommandMapEntry kFrameworkCommands[] = {
    {ID_APP_EXIT, [](CCmdTarget& app, unsigned) { static_cast<CWinApp&>(app).OnAppExit(); }, nullptr},
};

const char* ProgramName(int argc, char** argv) {
    if (argc < 1 || argv == nullptr || argv[0] == nullptr) {
        return "ferrox";
    }
    const char* name = argv[0];
    for (const char* p = argv[0]; *p != '\0'; ++p) {
#ifdef _WIN32
        if (*p == '\\') name = p + 1;
#endif
        if (*p == '/') name = p + 1;
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

int CWinApp::ExitInstance() { return 0; }

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

CWinApp* BeginWinMain(int argc, char** argv, const ResourceTable& resources, const WinMainFailure& failure) {
    const char* program = ProgramName(argc, argv);
    std::string reason;
    if (!DisplayAvailable(&reason)) {
        std::fprintf(stderr, "%s: %s%s%s\n", program, reason.c_str(), failure.noDisplayHint != nullptr ? "; " : "",
                     failure.noDisplayHint != nullptr ? failure.noDisplayHint : "");
        return nullptr;
    }
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        std::fprintf(stderr, "%s: no application object\n", program);
        return nullptr;
    }
    AfxSetResourceTable(&resources);
    // From here on a signal is kept for the loop, also one that comes during start-up.
    CatchTerminationSignals();
    return app;
}

int RunApplication(CWinApp& app, const WinMainFailure& failure) {
    int exitCode = failure.status;
    if (app.InitInstance()) {
        app.Run();
        exitCode = app.ExitInstance();
    } else {
        app.ExitInstance();
    }
    return exitCode;
}
