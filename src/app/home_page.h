// Where Ferrox's home page lives: opened from the menu and by a click into the window.
#pragma once

inline constexpr const char* kHomePageAddress = "https://ferrox.dev/";
