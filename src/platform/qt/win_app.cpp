#include "platform/win_app.h"

#include <memory>

#include <QApplication>
#include <QSocketNotifier>

#include "platform/common/app_start.h"
#include "platform/common/termination_signals_internal.h"
#include "platform/frame_wnd.h"

namespace {
// Whether Run's message loop is running: Qt remembers a quit request made with no loop running
// and would end every later nested loop (menus) with it.
bool g_messageLoopRunning = false;
}  // namespace

int CWinApp::InitInstance() { return QApplication::instance() != nullptr ? 1 : 0; }

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
    CWinApp* app = BeginWinMain(argc, argv, resources, failure);
    if (app == nullptr) {
        return failure.status;
    }
    QApplication toolkit(argc, argv);
    // The program ends when its main window is destroyed, not when windows are hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    if (!app->m_desktopEntry.empty()) QGuiApplication::setDesktopFileName(QString::fromStdString(app->m_desktopEntry));
    const int exitCode = RunApplication(*app, failure);
    AfxSetResourceTable(nullptr);
    return exitCode;
}
