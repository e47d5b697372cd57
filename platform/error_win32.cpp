#include "platform/error.h"

#include <cstdio>

#include "platform/windows_headers.h"

namespace platform {

static_assert(kErrorNotFound == ERROR_FILE_NOT_FOUND && kErrorIo == ERROR_GEN_FAILURE &&
                  kErrorInvalidHandle == ERROR_INVALID_HANDLE && kErrorTryAgain == ERROR_RETRY &&
                  kErrorBusy == ERROR_BUSY && kErrorInvalidParameter == ERROR_INVALID_PARAMETER &&
                  kErrorNoBuffers == ERROR_NO_SYSTEM_RESOURCES &&
                  kErrorIoPending == ERROR_IO_PENDING,
              "the named codes are the system's error codes");

namespace {
// Our own copy: the runtime's locks and allocations may change the system's value between a
// failing call and the caller's look at it. Win32 failures are copied in where they happen.
thread_local int t_lastError = 0;
}  // namespace

int GetLastError() {
    return t_lastError;
}

void SetLastError(int code) {
    t_lastError = code;
}

std::string ErrorText(int code) {
    // Language 0: the user's language, falling back through the system's as FormatMessage does.
    wchar_t* wide = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&wide), 0, nullptr);
    std::string text;
    if (length > 0 && wide != nullptr) {
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr,
                                                0, nullptr, nullptr);
        text.resize(static_cast<std::size_t>(bytes > 0 ? bytes : 0));
        if (bytes > 0)
            ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), text.data(), bytes,
                                  nullptr, nullptr);
    }
    if (wide != nullptr)
        ::LocalFree(wide);
    // The system's texts end in a line break, which a message box line does not want.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty()) {
        char german[64];
        std::snprintf(german, sizeof german, "Unbekannter Fehler %d", code);
        return german;
    }
    return text;
}

}  // namespace platform
