// Setting and removing environment variables in tests, on Linux and Windows alike (Windows has
// no setenv; there an empty value removes the variable).
#pragma once

#include <cstdlib>

namespace testsupport {

inline void SetVariable(const char* name, const char* value) {
#if defined(_WIN32)
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

inline void UnsetVariable(const char* name) {
#if defined(_WIN32)
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

}  // namespace testsupport
