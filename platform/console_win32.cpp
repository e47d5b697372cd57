#include "platform/console.h"

#include <cstdio>

#include "platform/windows_headers.h"

namespace platform {
namespace {

bool LeadsSomewhere(DWORD which) {
    HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void UseCallersConsole() {
    const bool out = LeadsSomewhere(STD_OUTPUT_HANDLE);
    const bool err = LeadsSomewhere(STD_ERROR_HANDLE);
    if ((out && err) || ::AttachConsole(ATTACH_PARENT_PROCESS) == 0)
        return;
    if (!out)
        (void)std::freopen("CONOUT$", "w", stdout);
    if (!err)
        (void)std::freopen("CONOUT$", "w", stderr);
}

}  // namespace platform
