// The framework's frame window: a top-level window with a menu bar over a client area. Window
// messages arrive as the virtual On... handlers; commands go through the frame's command table,
// then the application object's.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/cmd_target.h"
#include "platform/menu.h"
#include "platform/paint_dc.h"
#include "platform/window_defs.h"

class FrameWidget;

enum class StandardCursor { Arrow, Hand };

class CFrameWnd : public CCmdTarget {
public:
    CFrameWnd();
    ~CFrameWnd() override;
    CFrameWnd(const CFrameWnd&) = delete;
    CFrameWnd& operator=(const CFrameWnd&) = delete;

    // Creates the window from resource id: menu id, icon id and title string id. Runs
    // PreCreateWindow and OnCreate; false (and no window) when either fails.
    bool LoadFrame(unsigned resourceId, std::uint32_t style);
    // OnDestroy, then the window goes, then PostNcDestroy (which deletes a frame made with new).
    void DestroyWindow();
    bool IsWindow() const;

    void ShowWindow(int showCommand);
    void UpdateWindow();
    void InvalidateRect(bool erase);
    void SetForegroundWindow();
    bool IsWindowVisible() const;
    bool IsIconic() const;
    bool IsZoomed() const;

    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;

    // The client area is the part below the menu bar.
    void GetClientRect(CRect* rect) const;
    void ClientToScreen(CPoint* point) const;
    // Client rectangle to the rectangle MoveWindow and the size limits take. The window manager
    // draws the border outside it, so here it is the client rectangle itself.
    void CalcWindowRect(CRect* rect) const;
    void MoveWindow(int x, int y, int width, int height, bool repaint);

    std::uint32_t GetStyle() const;
    std::uint32_t GetExStyle() const;
    void SetExStyle(std::uint32_t exStyle);

    // The icon the window was loaded with (null when its resource is missing).
    HICON GetIcon() const;
    // The menu bar (null before LoadFrame).
    CMenu* GetMenu();

    void SetTimer(unsigned id, unsigned milliseconds);
    void KillTimer(unsigned id);

    // Cursor over the client area.
    void SetCursor(StandardCursor cursor);
    // Asks for one OnMouseHover (TME_HOVER) and/or one OnMouseLeave (TME_LEAVE).
    void TrackMouseEvent(std::uint32_t flags, std::uint32_t hoverMilliseconds);

    // WM_COMMAND: sent runs it now, posted runs it from the message loop.
    void SendCommand(unsigned id);
    void PostCommand(unsigned id);

    // The frame's table first, then the application object's.
    bool OnCmdMsg(unsigned id, CommandPhase phase, CCmdUI* item) override;

    // Message handlers.
    virtual bool PreCreateWindow(CREATESTRUCT& cs);
    virtual int OnCreate();  // 0 to go on, -1 to fail the creation
    virtual void OnDestroy();
    virtual void OnClose();
    virtual void PostNcDestroy();
    virtual void OnSize(int clientWidth, int clientHeight);
    virtual void OnTimer(unsigned id);
    virtual void OnGetMinMaxInfo(MINMAXINFO* info);
    virtual void OnPaint(CDC& dc);
    virtual bool OnEraseBkgnd(CDC& dc);  // true when it painted the background itself
    virtual void OnMouseMove(CPoint point);
    virtual void OnLButtonDown(CPoint point);
    virtual void OnMouseHover(CPoint point);
    virtual void OnMouseLeave();
    virtual void OnInitMenuPopup(CMenu& popup);
    // Messages from WM_USER up, e.g. tray icon callbacks; the result goes back to the sender.
    virtual std::intptr_t OnUserMessage(unsigned message, std::uintptr_t wParam,
                                        std::intptr_t lParam);
    // Delivers a WM_USER message from the message loop.
    void PostUserMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    FrameWidget* GetFrameWidget() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The mouse pointer in screen coordinates.
bool GetCursorPos(CPoint* point);
