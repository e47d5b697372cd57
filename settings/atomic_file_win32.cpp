#include "settings/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <utility>

#include "platform/wide_text.h"
#include "platform/windows_headers.h"

namespace settings {
namespace {

using platform::WideText;

class FileHandle {
  public:
    explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        if (handle_ == INVALID_HANDLE_VALUE) {
            return true;
        }
        return ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0;
    }

  private:
    HANDLE handle_;
};

// The errno value callers compare with, for the system's reasons a file cannot be read.
int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        default:
            return EIO;
    }
}

std::size_t LastSeparator(const std::wstring& path) {
    return path.find_last_of(L"/\\");
}

std::wstring ParentFolder(const std::wstring& path) {
    const std::size_t slash = LastSeparator(path);
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

std::wstring BaseName(const std::wstring& path) {
    const std::size_t slash = LastSeparator(path);
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeFolders(const std::wstring& folder) {
    if (folder.empty() || IsFolder(folder)) {
        return true;
    }
    if (::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    const std::wstring parent = ParentFolder(folder);
    if (parent != folder && parent != L"." && !MakeFolders(parent)) {
        return false;
    }
    return ::CreateDirectoryW(folder.c_str(), nullptr) != 0 ||
           ::GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring TemporaryName(const std::wstring& folder, const std::wstring& base) {
    static std::atomic<unsigned> counter{0};
    return folder + L"\\." + base + L"." + std::to_wstring(::GetCurrentProcessId()) + L"." +
           std::to_wstring(counter.fetch_add(1)) + L".tmp";
}

bool WriteAll(HANDLE file, std::string_view data) {
    while (!data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        DWORD written = 0;
        if (::WriteFile(file, data.data(), chunk, &written, nullptr) == 0) {
            return false;
        }
        data.remove_prefix(written);
    }
    return true;
}

// The new contents in a file of their own, flushed to the disk before anyone sees the name.
std::wstring WriteTemporary(const std::wstring& folder, const std::wstring& base,
                            std::string_view contents) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = TemporaryName(folder, base);
        FileHandle file(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (::GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            return {};
        }
        if (!WriteAll(file.Get(), contents) || ::FlushFileBuffers(file.Get()) == 0 ||
            !file.Close()) {
            file.Close();
            ::DeleteFileW(name.c_str());
            return {};
        }
        return name;
    }
    return {};
}

// A symbolic link is replaced through: the file it names gets the new contents.
std::wstring FollowLink(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return path;
    }
    FileHandle file(::CreateFileW(path.c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        return path;
    }
    wchar_t final_path[MAX_PATH * 4];
    const DWORD length = ::GetFinalPathNameByHandleW(file.Get(), final_path, MAX_PATH * 4, 0);
    return length > 0 && length < MAX_PATH * 4 ? std::wstring(final_path, length) : path;
}

}  // namespace

std::optional<std::string> ReadFileText(const std::string& path, int* error) {
    auto fail = [error](int code) -> std::optional<std::string> {
        if (error != nullptr) {
            *error = code;
        }
        return std::nullopt;
    };
    const std::wstring wide = WideText(path);
    if (wide.empty()) {
        return fail(ENOENT);
    }
    if (IsFolder(wide)) {
        return fail(EISDIR);
    }
    FileHandle file(::CreateFileW(wide.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return fail(ErrnoOf(::GetLastError()));
    }
    // Only a file on a disk: a pipe or a device at the path could hang the program.
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        return fail(EINVAL);
    }
    std::string text;
    char chunk[16384];
    for (;;) {
        DWORD got = 0;
        if (::ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) == 0) {
            return fail(ErrnoOf(::GetLastError()));
        }
        if (got == 0) {
            return text;
        }
        text.append(chunk, got);
    }
}

bool ReplaceFileAtomically(const std::string& path, std::string_view contents) {
    if (path.empty()) {
        return false;
    }
    const std::wstring target = FollowLink(WideText(path));
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return false;
        }
        // Replacing needs only the folder's permission; the file's own must be asked for.
        FileHandle probe(::CreateFileW(target.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe || ::GetFileType(probe.Get()) != FILE_TYPE_DISK) {
            return false;
        }
    } else {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            return false;
        }
    }
    const std::wstring folder = ParentFolder(target);
    const std::wstring base = BaseName(target);
    if (base.empty() || !MakeFolders(folder)) {
        return false;
    }
    const std::wstring temporary = WriteTemporary(folder, base, contents);
    if (temporary.empty()) {
        return false;
    }
    if (::MoveFileExW(temporary.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace settings
