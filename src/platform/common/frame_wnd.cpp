// The frame window's command routing and default handlers, the same for both backends.

#include "platform/frame_wnd.h"

#include "platform/menu.h"
#include "platform/win_app.h"

void CFrameWnd::SendCommand(unsigned id) { OnCmdMsg(id, CommandPhase::Execute, nullptr); }

bool CFrameWnd::OnCmdMsg(unsigned id, CommandPhase phase, CCmdUI* item) {
    if (CCmdTarget::OnCmdMsg(id, phase, item)) {
        return true;
    }
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->OnCmdMsg(id, phase, item);
}

bool CFrameWnd::PreCreateWindow(CREATESTRUCT&) { return true; }
int CFrameWnd::OnCreate() { return 0; }

void CFrameWnd::OnDestroy() {
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        AfxPostQuitMessage(0);
    }
}

void CFrameWnd::OnClose() { DestroyWindow(); }

void CFrameWnd::PostNcDestroy() { delete this; }

void CFrameWnd::OnSize(int, int) {}
void CFrameWnd::OnTimer(unsigned) {}
void CFrameWnd::OnGetMinMaxInfo(MINMAXINFO*) {}
void CFrameWnd::OnPaint(CDC&) {}
bool CFrameWnd::OnEraseBkgnd(CDC&) { return false; }
void CFrameWnd::OnMouseMove(CPoint) {}
void CFrameWnd::OnLButtonDown(CPoint) {}
void CFrameWnd::OnMouseHover(CPoint) {}
void CFrameWnd::OnMouseLeave() {}

void CFrameWnd::OnInitMenuPopup(CMenu& popup) { popup.UpdateItems(*this); }

std::intptr_t CFrameWnd::OnUserMessage(unsigned, std::uintptr_t, std::intptr_t) { return 0; }
