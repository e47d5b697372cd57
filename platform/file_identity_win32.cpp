#include "platform/file_identity.h"

#include "platform/wide_text.h"
#include "platform/windows_headers.h"

namespace platform {
namespace {

// The volume and the file index name a file on Windows as device and inode do on Linux. The wide
// call, as the path is UTF-8 and may hold letters beyond the ANSI code page.
bool Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file = ::CreateFileW(WideText(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = ::GetFileInformationByHandle(file, &info) != 0;
    ::CloseHandle(file);
    return ok;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    if (!Identify(a, ia) || !Identify(b, ib))
        return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace platform
