// Tray icons (inside the Win32 backend only): the shell forgets every icon when it restarts and
// says so with the registered "TaskbarCreated" message; the frame's window procedure then asks
// for its icons back (shell.cpp keeps them).
#pragma once

class CFrameWnd;

unsigned TaskbarCreatedMessage();
void RestoreNotifyIcons(const CFrameWnd* window);
