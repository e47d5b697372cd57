// The process's environment in tests, on Linux and Windows alike: setting and removing variables
// (Windows has no setenv; there an empty value removes the variable), and the process id that
// names a test's scratch files.
#pragma once

#include <cstdlib>
#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

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

inline long ProcessId() {
#if defined(_WIN32)
    return _getpid();
#else
    return static_cast<long>(::getpid());
#endif
}

}  // namespace testsupport
