#include "platform/win32/windows_api.h"

#include "platform/common/app_start.h"
#include "platform/common/termination_signals_internal.h"
#include "platform/frame_wnd.h"
#include "platform/win32/frame_widget.h"
#include "platform/win32/termination_window.h"
#include "platform/win_app.h"
#include "platform/window_defs.h"

namespace {
// Whether Run's message loop is running: a quit posted with no loop running would stay in the
// queue and end the next modal loop (a popup menu's) instead.
bool g_messageLoopRunning = false;
}  // namespace

int CWinApp::InitInstance() { return 1; }

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

void AfxPostQuitMessage(int exitCode) {
    // WM_QUIT: the loop ends once control returns to it.
    if (g_messageLoopRunning) {
        PostQuitMessage(exitCode);
    }
}

int AfxWinMain(int argc, char** argv, const ResourceTable& resources, const WinMainFailure& failure) {
    // (The desktop entry of m_desktopEntry is a Linux desktop's notion: Windows finds the icon in
    // the program file.)
    CWinApp* app = BeginWinMain(argc, argv, resources, failure);
    if (app == nullptr) {
        return failure.status;
    }
    // The shell (ShellExecute) wants a single-threaded apartment on the thread that calls it.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const int exitCode = RunApplication(*app, failure);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    AfxSetResourceTable(nullptr);
    return exitCode;
}
