#include "platform/end_signal.h"

#include <atomic>

#include "platform/windows_headers.h"

namespace platform {
namespace {

// Set once by the console handler; the program then ends on its own path. Made on the first
// HoldEndRequests and kept for the life of the process, as the handler may run at any time.
std::atomic<HANDLE> g_endRequested{nullptr};

// A closed console, a logoff or a shutdown ends the process as soon as the handler returns, so
// the handler waits while the main thread finishes (the system allows it some seconds).
constexpr DWORD kCloseGraceMs = 10'000;

BOOL WINAPI OnConsoleEvent(DWORD kind) {
    HANDLE event = g_endRequested.load();
    if (event == nullptr)
        return FALSE;
    ::SetEvent(event);
    if (kind == CTRL_CLOSE_EVENT || kind == CTRL_LOGOFF_EVENT || kind == CTRL_SHUTDOWN_EVENT)
        ::Sleep(kCloseGraceMs);
    return TRUE;
}

}  // namespace

void HoldEndRequests() {
    if (g_endRequested.load() != nullptr)
        return;
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE expected = nullptr;
    if (event == nullptr || !g_endRequested.compare_exchange_strong(expected, event)) {
        if (event != nullptr)
            ::CloseHandle(event);
        return;
    }
    ::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

bool WaitForEndRequest(long ms) {
    HANDLE event = g_endRequested.load();
    if (event == nullptr) {
        ::Sleep(static_cast<DWORD>(ms));
        return false;
    }
    return ::WaitForSingleObject(event, static_cast<DWORD>(ms)) == WAIT_OBJECT_0;
}

bool EndSignalPending() {
    HANDLE event = g_endRequested.load();
    return event != nullptr && ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

}  // namespace platform
