#include "platform/data_file.h"

#include <algorithm>
#include <utility>

#include "platform/wide_text.h"
#include "platform/windows_headers.h"

namespace platform {
namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

bool IsValid(std::intptr_t handle) {
    return AsHandle(handle) != INVALID_HANDLE_VALUE;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

DataFile DataFile::OpenForReading(const std::string& path) {
    DataFile file;
    const std::wstring wide = WideText(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        // A folder opens only with backup semantics; it is reported as what it is.
        HANDLE folder = ::CreateFileW(wide.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (folder == INVALID_HANDLE_VALUE) {
            file.error_ = static_cast<int>(::GetLastError());
            return file;
        }
        file.handle_ = reinterpret_cast<std::intptr_t>(folder);
        file.kind_ = FileKind::kFolder;
        return file;
    }
    HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        file.error_ = static_cast<int>(::GetLastError());
        return file;
    }
    file.handle_ = reinterpret_cast<std::intptr_t>(handle);
    switch (::GetFileType(handle)) {
        case FILE_TYPE_DISK: {
            LARGE_INTEGER size{};
            if (::GetFileSizeEx(handle, &size) != 0)
                file.size_ = static_cast<std::uint64_t>(size.QuadPart);
            file.kind_ = FileKind::kRegular;
            break;
        }
        case FILE_TYPE_PIPE:
            file.kind_ = FileKind::kPipe;
            break;
        default:
            file.kind_ = FileKind::kDevice;
            break;
    }
    return file;
}

DataFile DataFile::CreateForWriting(const std::string& path) {
    DataFile file;
    // Readers may look at a recording while it grows; nobody else writes to it.
    HANDLE handle =
        ::CreateFileW(WideText(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        file.error_ = static_cast<int>(::GetLastError());
        return file;
    }
    file.handle_ = reinterpret_cast<std::intptr_t>(handle);
    return file;
}

DataFile::DataFile(DataFile&& other) noexcept
    : handle_(std::exchange(other.handle_, reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE))),
      error_(other.error_),
      kind_(other.kind_),
      size_(other.size_) {}

DataFile& DataFile::operator=(DataFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ =
            std::exchange(other.handle_, reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE));
        error_ = other.error_;
        kind_ = other.kind_;
        size_ = other.size_;
    }
    return *this;
}

DataFile::~DataFile() {
    Close();
}

bool DataFile::IsOpen() const {
    return IsValid(handle_);
}

std::int64_t DataFile::Read(void* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (::ReadFile(AsHandle(handle_), buffer, chunk, &got, nullptr) == 0) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF)
            return 0;
        error_ = static_cast<int>(code);
        return -1;
    }
    return got;
}

std::int64_t DataFile::Write(const void* data, std::size_t size) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (::WriteFile(AsHandle(handle_), data, chunk, &written, nullptr) == 0) {
        error_ = static_cast<int>(::GetLastError());
        return -1;
    }
    return written;
}

bool DataFile::Truncate(std::uint64_t size) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(size);
    if (::SetFilePointerEx(AsHandle(handle_), position, nullptr, FILE_BEGIN) == 0 ||
        ::SetEndOfFile(AsHandle(handle_)) == 0) {
        error_ = static_cast<int>(::GetLastError());
        return false;
    }
    return true;
}

bool DataFile::Close() {
    if (!IsValid(handle_))
        return true;
    HANDLE handle = AsHandle(handle_);
    handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
    if (::CloseHandle(handle) == 0) {
        error_ = static_cast<int>(::GetLastError());
        return false;
    }
    return true;
}

}  // namespace platform
