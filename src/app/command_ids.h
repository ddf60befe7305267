// Ferrox's command and resource ids, shared by both menus and the handlers.
#pragma once

#include "platform/window_defs.h"

inline constexpr unsigned kMainResourceId = 101;  // menu bar, icon and title string
inline constexpr unsigned kTrayMenuId = 102;
inline constexpr unsigned kErrorIconId = 103;  // the tray icon after an error

inline constexpr unsigned kCmdAnimated = 40007;
inline constexpr unsigned kCmdOneThread = 40009;
inline constexpr unsigned kCmdTwoThreads = 40010;
inline constexpr unsigned kCmdFourThreads = 40011;
inline constexpr unsigned kCmdEightThreads = 40012;
inline constexpr unsigned kCmdMinimize = 40014;
inline constexpr unsigned kCmdAutomaticThreads = 40015;
inline constexpr unsigned kCmdSixteenThreads = 40016;
inline constexpr unsigned kCmdRealtimePriority = 40023;
inline constexpr unsigned kCmdHighPriority = 40024;
inline constexpr unsigned kCmdLowPriority = 40026;
inline constexpr unsigned kCmdNormalPriority = 40027;
inline constexpr unsigned kCmdShow = 40028;
inline constexpr unsigned kCmdAbout = 40029;
inline constexpr unsigned kCmdHomePage = 40030;
inline constexpr unsigned kCmdSharingDatabase = 40035;
inline constexpr unsigned kCmdSharingSettings = 40036;
inline constexpr unsigned kCmdResults = 40040;
inline constexpr unsigned kCmdMonitor = 40041;
inline constexpr unsigned kCmdPinWorkers = 40042;
inline constexpr unsigned kCmdStopOnError = 40043;
inline constexpr unsigned kCmdCycleProcessors = 40044;
inline constexpr unsigned kCmdCycle10Seconds = 40045;
inline constexpr unsigned kCmdCycle1Minute = 40046;
inline constexpr unsigned kCmdCycle5Minutes = 40047;
inline constexpr unsigned kCmdCycle10Minutes = 40048;
inline constexpr unsigned kCmdLoadBuiltin = 40050;
inline constexpr unsigned kCmdLoadAvx2 = 40051;
inline constexpr unsigned kCmdLoadAvx512 = 40052;
inline constexpr unsigned kCmdLoadWidest = 40053;
inline constexpr unsigned kCmdLoadCache = 40054;
inline constexpr unsigned kCmdLoadMemory = 40055;
inline constexpr unsigned kCmdMemory10Percent = 40056;
inline constexpr unsigned kCmdMemory25Percent = 40057;
inline constexpr unsigned kCmdMemory50Percent = 40058;
inline constexpr unsigned kCmdMemory70Percent = 40059;
// Settings, Temperature Limit: the sensors' critical point less 5 °C, fixed limits, none.
inline constexpr unsigned kCmdLimitFromSensors = 40080;
inline constexpr unsigned kCmdLimit80 = 40081;
inline constexpr unsigned kCmdLimit85 = 40082;
inline constexpr unsigned kCmdLimit90 = 40083;
inline constexpr unsigned kCmdLimit95 = 40084;
inline constexpr unsigned kCmdLimitNone = 40085;
// Settings, Run Plan: the built-in test plans.
inline constexpr unsigned kCmdPlanQuick = 40090;
inline constexpr unsigned kCmdPlanStandard = 40091;
inline constexpr unsigned kCmdPlanThorough = 40092;
inline constexpr unsigned kCmdExit = ID_APP_EXIT;
