// Platform error codes: errno values on Linux, kept per thread like the system's last-error value.
#pragma once

#include <string>

namespace platform {

// The overlapped request was accepted and completes later (the Win32 ERROR_IO_PENDING).
inline constexpr int kErrorIoPending = 997;

// The calling thread's last error code, as the last failing platform call left it.
int GetLastError();
void SetLastError(int code);

// The system's text for an error code, in the user's locale (LC_MESSAGES), e.g. "No such device".
// Codes the system has no text for get a German fallback ("Unbekannter Fehler 12345").
std::string ErrorText(int code);

}  // namespace platform
