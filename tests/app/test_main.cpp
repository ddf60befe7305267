// The application shell's tests: a QApplication on the offscreen platform, with its own runtime
// directory, and Ferrox's resources installed.
#include <cstring>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/resources.h"

namespace {
QtMessageHandler g_defaultHandler = nullptr;

// Lines the offscreen platform prints for things it cannot do (no window manager hints, no
// tray); they say nothing about Ferrox.
void FilterOffscreenNoise(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    static const char* const kHarmless[] = {
        "This plugin does not support propagateSizeHints()",
        "This plugin does not support raise()",
        "This plugin does not support grabbing the keyboard",
        "QSystemTrayIcon::setVisible: No Icon set",
        "Unable to detect a web browser",
        "No such signal QPlatformNativeInterface::systemTrayWindowChanged",
    };
    QByteArray utf8 = text.toUtf8();
    for (const char* harmless : kHarmless) {
        if (std::strstr(utf8.constData(), harmless) != nullptr) {
            return;
        }
    }
    if (g_defaultHandler != nullptr) {
        g_defaultHandler(type, context, text);
    }
}
}  // namespace

int main(int argc, char** argv) {
    // Headless by design, also when CTest lists the tests at build time.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtimeDir;
    if (runtimeDir.isValid()) {
        QFile::setPermissions(runtimeDir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    }
    // The run log goes to a directory of the tests' own, never into the user's.
    QTemporaryDir stateDir;
    if (stateDir.isValid()) qputenv("XDG_STATE_HOME", stateDir.path().toLocal8Bit());
    // Nor do kept settings: the tests that keep them give their own place, this is a guard.
    QTemporaryDir configDir;
    if (configDir.isValid()) qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    g_defaultHandler = qInstallMessageHandler(FilterOffscreenNoise);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    AfxSetResourceTable(&FerroxResources());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
