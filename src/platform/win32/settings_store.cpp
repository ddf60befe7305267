// Settings in the registry: one string value per setting under a key of HKEY_CURRENT_USER.

#include "platform/win32/windows_api.h"

#include <system_error>
#include <vector>

#include "platform/settings_store.h"
#include "platform/win32/text.h"

namespace {

// Longer than any value of Ferrox's settings: anything longer is not one of them.
constexpr Win32DWORD kLongestValue = 4096;

std::string Reason(const std::string& what, const std::string& key, LSTATUS code) {
    return what + " HKEY_CURRENT_USER\\" + key + ": " + std::system_category().message(static_cast<int>(code));
}

// The names of the values under an open key.
std::vector<std::wstring> ValueNames(HKEY key) {
    std::vector<std::wstring> names;
    for (Win32DWORD index = 0;; ++index) {
        wchar_t name[256];
        Win32DWORD length = 256;
        const LSTATUS result = RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS, or a name too long to be ours
        names.emplace_back(name, length);
    }
    return names;
}

}  // namespace

std::string UserSettingsLocation() { return "Software\\Ferrox"; }

bool ReadSettings(const std::string& location, SettingsValues* values, std::string* problem) {
    values->clear();
    HKEY key = nullptr;
    LSTATUS result = RegOpenKeyExW(HKEY_CURRENT_USER, Utf16(location).c_str(), 0, KEY_READ, &key);
    if (result == ERROR_FILE_NOT_FOUND) return true;
    if (result != ERROR_SUCCESS) {
        if (problem != nullptr) *problem = Reason("cannot open", location, result);
        return false;
    }
    std::string unreadable;
    for (const std::wstring& name : ValueNames(key)) {
        Win32DWORD type = 0, bytes = 0;
        result = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes);
        if (result != ERROR_SUCCESS || type != REG_SZ || bytes > kLongestValue * sizeof(wchar_t)) {
            unreadable += (unreadable.empty() ? "" : ", ") + Utf8(name);
            continue;
        }
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<Win32DWORD>(text.size() * sizeof(wchar_t));
        result = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes);
        if (result != ERROR_SUCCESS || type != REG_SZ) {
            unreadable += (unreadable.empty() ? "" : ", ") + Utf8(name);
            continue;
        }
        text.resize(bytes / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        (*values)[Utf8(name)] = Utf8(text);
    }
    RegCloseKey(key);
    if (unreadable.empty()) return true;
    if (problem != nullptr) *problem = "HKEY_CURRENT_USER\\" + location + ": not text, or too long: " + unreadable;
    return false;
}

bool WriteSettings(const std::string& location, const SettingsValues& values, std::string* error) {
    HKEY key = nullptr;
    LSTATUS result = RegCreateKeyExW(HKEY_CURRENT_USER, Utf16(location).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) {
        if (error != nullptr) *error = Reason("cannot create", location, result);
        return false;
    }
    // Values Ferrox no longer keeps go; then each value is set.
    for (const std::wstring& name : ValueNames(key))
        if (values.find(Utf8(name)) == values.end()) RegDeleteValueW(key, name.c_str());
    for (const auto& [name, value] : values) {
        const std::wstring text = Utf16(value);
        result = RegSetValueExW(key, Utf16(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<Win32DWORD>((text.size() + 1) * sizeof(wchar_t)));
        if (result != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    if (result == ERROR_SUCCESS) return true;
    if (error != nullptr) *error = Reason("cannot write", location, result);
    return false;
}

bool ForgetSettings(const std::string& location, std::string* error) {
    const std::wstring name = Utf16(location);
    LSTATUS result = RegDeleteTreeW(HKEY_CURRENT_USER, name.c_str());
    if (result == ERROR_SUCCESS) result = RegDeleteKeyW(HKEY_CURRENT_USER, name.c_str());
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) return true;
    if (error != nullptr) *error = Reason("cannot remove", location, result);
    return false;
}
