#pragma once
// The settings a user keeps between runs: a few named text values where the system keeps a
// program's settings. On Linux an INI file that QSettings reads and writes,
// $XDG_CONFIG_HOME/ferrox/ferrox.conf (by default ~/.config/ferrox/ferrox.conf), in a folder of
// the user's own (made with mode 0700, as the log's); on Windows the registry key
// HKEY_CURRENT_USER\Software\Ferrox.
//
// Nothing another user controls is read or written through: a settings folder or file that is a
// symbolic link, belongs to another user or can be written by others is refused (a file with a
// second name, a hard link, as well), and so is anything there but a regular file. QSettings
// writes a new file beside the old one and renames it over it, inside that private folder.

#include <map>
#include <string>

using SettingsValues = std::map<std::string, std::string>;

// Where this user's settings are kept: a file path on Linux, a key under HKEY_CURRENT_USER on
// Windows ("Software\Ferrox"). Empty when there is no place (no home folder).
std::string UserSettingsLocation();

// Every value kept at location into *values: none when nothing is kept there yet. False with the
// reason in *problem when something there cannot be read (refused as above, unreadable, not in
// the format, too large for settings); *values then holds whatever could be read (on Linux
// nothing).
bool ReadSettings(const std::string& location, SettingsValues* values, std::string* problem);

// Keeps exactly values at location (what was there before goes). False with the reason when it
// cannot (the place refused as above, a read-only or full disk, no right to the key).
bool WriteSettings(const std::string& location, const SettingsValues& values, std::string* error);

// Removes whatever is kept at location (nothing there is fine). False with the reason when it cannot.
bool ForgetSettings(const std::string& location, std::string* error);
