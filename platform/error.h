// Platform error codes, kept per thread like the system's last-error value: errno values on
// Linux, the system's error codes (GetLastError) on Windows. Layers above platform/ compare the
// named codes below, never errno constants, so a code means the same on both.
#pragma once

#include <string>

namespace platform {

#if defined(_WIN32)
inline constexpr int kErrorNotFound = 2;           // ERROR_FILE_NOT_FOUND
inline constexpr int kErrorInvalidHandle = 6;      // ERROR_INVALID_HANDLE
inline constexpr int kErrorIo = 31;                // ERROR_GEN_FAILURE
inline constexpr int kErrorInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
inline constexpr int kErrorBusy = 170;             // ERROR_BUSY
inline constexpr int kErrorTryAgain = 1237;        // ERROR_RETRY
inline constexpr int kErrorNoBuffers = 1450;       // ERROR_NO_SYSTEM_RESOURCES
#else
inline constexpr int kErrorNotFound = 2;           // ENOENT
inline constexpr int kErrorIo = 5;                 // EIO
inline constexpr int kErrorInvalidHandle = 9;      // EBADF
inline constexpr int kErrorTryAgain = 11;          // EAGAIN
inline constexpr int kErrorBusy = 16;              // EBUSY
inline constexpr int kErrorInvalidParameter = 22;  // EINVAL
inline constexpr int kErrorNoBuffers = 105;        // ENOBUFS
#endif

// The overlapped request was accepted and completes later (ERROR_IO_PENDING).
inline constexpr int kErrorIoPending = 997;

// The calling thread's last error code, as the last failing platform call left it.
int GetLastError();
void SetLastError(int code);

// The system's text for an error code in the user's language, e.g. "No such device" (Linux:
// strerror for LC_MESSAGES; Windows: FormatMessage for the user's language). Codes the system
// has no text for get a German fallback ("Unbekannter Fehler 12345").
std::string ErrorText(int code);

}  // namespace platform
