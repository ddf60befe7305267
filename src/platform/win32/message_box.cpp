// Windows' own message box, owned by the main window; Ctrl+C in it copies its whole text.

#include "platform/win32/windows_api.h"

#include "platform/frame_wnd.h"
#include "platform/message_box.h"
#include "platform/win32/frame_widget.h"
#include "platform/win32/text.h"
#include "platform/win_app.h"

int AfxMessageBox(const std::string& text, unsigned type, const char* caption) {
    CWinApp* app = AfxGetApp();
    HWND owner = nullptr;
    if (app != nullptr && app->m_pMainWnd != nullptr) {
        if (FrameWidget* widget = app->m_pMainWnd->GetFrameWidget()) owner = widget->Handle();
    }
    std::string title = caption != nullptr ? caption : "";
    if (caption == nullptr) title = app != nullptr && !app->m_appName.empty() ? app->m_appName : "Ferrox";
    const unsigned icon = type & 0xF0;
    const UINT style = MB_OK | (icon == MB_ICONERROR || icon == MB_ICONWARNING || icon == MB_ICONINFORMATION ? icon : 0);
    const int answer = MessageBoxW(owner, Utf16(text).c_str(), Utf16(title).c_str(), style);
    return answer != 0 ? IDOK : 0;
}
