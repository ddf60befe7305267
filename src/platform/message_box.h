#pragma once
// A message box over the application's windows, with selectable text (an address in it can be
// copied). Returns when the user has closed it.

#include <string>

inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;

// type: MB_OK with one MB_ICON value; caption null: the program's name. Returns IDOK; 0 when no
// box can be shown (no toolkit).
int AfxMessageBox(const std::string& text, unsigned type = MB_OK, const char* caption = nullptr);
