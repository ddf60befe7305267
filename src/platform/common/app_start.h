#pragma once
// Internal to the platform layer: the steps of AfxWinMain that both backends take; each backend
// starts its toolkit between them.

#include "platform/resources.h"
#include "platform/win_app.h"

// Checks for a display and the application object, installs the resources and starts catching
// termination signals. Null, with the reason on stderr, when the program cannot start.
CWinApp* BeginWinMain(int argc, char** argv, const ResourceTable& resources, const WinMainFailure& failure);
// InitInstance, Run and ExitInstance; the exit code (failure's status when InitInstance refuses).
int RunApplication(CWinApp& app, const WinMainFailure& failure);
