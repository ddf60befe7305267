#pragma once
// Setting and clearing an environment variable in a test, the way both C libraries allow
// (Windows' has no setenv).

#include <cstdlib>
#include <string>

inline void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetVariable(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");  // an empty value removes it
#else
    unsetenv(name);
#endif
}
