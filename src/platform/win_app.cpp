#include "platform/win_app.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include <QApplication>
#include <QSocketNotifier>

#include "platform/display_check.h"
#include "platform/frame_wnd.h"
#include "platform/resources.h"
#include "platform/termination_signals.h"
#include "platform/termination_signals_internal.h"
#include "platform/window_defs.h"

namespace {
CWinApp* g_app = nullptr;
// Whether Run's message loop is running: Qt remembers a quit request made with no loop running
// and would end every later nested loop (menus) with it.
bool g_messageLoopRunning = false;

const CommandMapEntry kFrameworkCommands[] = {
    {ID_APP_EXIT, [](CCmdTarget& app, unsigned) { static_cast<CWinApp&>(app).OnAppExit(); },
     nullptr},
};

const char* ProgramName(int argc, char** argv) {
    if (argc < 1 || argv == nullptr || argv[0] == nullptr) {
        return "ferrox";
    }
    const char* slash = std::strrchr(argv[0], '/');
    return slash != nullptr ? slash + 1 : argv[0];
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

int CWinApp::InitInstance() { return QApplication::instance() != nullptr ? 1 : 0; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
    if (m_pMainWnd == nullptr || QApplication::instance() == nullptr) {
        return 0;
    }
    // Caught termination signals end the program as its Exit command does, from the loop.
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (TerminationSignalDescriptor() >= 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(TerminationSignalDescriptor(), QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, [this] {
            if (const int signal = ReadTerminationSignal(); signal != 0) OnTerminationSignal(signal);
        });
    }
    g_messageLoopRunning = true;
    int result = QApplication::exec();
    g_messageLoopRunning = false;
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
    return CCmdTarget::OnCmdMsg(id, phase, item) ||
           DispatchCommandMap(kFrameworkCommands, *this, id, phase, item);
}

CWinApp* AfxGetApp() { return g_app; }

void AfxPostQuitMessage(int exitCode) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        // Queued like WM_QUIT: the loop ends when control returns to it.
        QMetaObject::invokeMethod(
            app,
            [exitCode] {
                if (g_messageLoopRunning) {
                    QCoreApplication::exit(exitCode);
                }
            },
            Qt::QueuedConnection);
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
    // From here on a signal is kept for the loop, also one that comes during start-up.
    CatchTerminationSignals();
    QApplication toolkit(argc, argv);
    // The program ends when its main window is destroyed, not when windows are hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    if (!app->m_desktopEntry.empty()) QGuiApplication::setDesktopFileName(QString::fromStdString(app->m_desktopEntry));
    if (!app->InitInstance()) {
        app->ExitInstance();
        AfxSetResourceTable(nullptr);
        return failure.status;
    }
    app->Run();
    int exitCode = app->ExitInstance();
    AfxSetResourceTable(nullptr);
    return exitCode;
}
