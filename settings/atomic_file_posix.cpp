#include "settings/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace settings {
namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Close(); }

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    // Reports the failure of close() itself: on some file systems that is where a failed
    // write of the data first shows.
    bool Close() {
        if (fd_ < 0) {
            return true;
        }
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0 || errno == EINTR;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool MakeFolders(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode);
    }
    if (errno != ENOENT) {
        return false;
    }
    const std::string parent = ParentFolder(folder);
    if (parent != folder && !MakeFolders(parent)) {
        return false;
    }
    return ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string TemporaryName(const std::string& folder, const std::string& base) {
    static std::atomic<unsigned> counter{0};
    return folder + "/." + base + "." + std::to_string(::getpid()) + "." +
           std::to_string(counter.fetch_add(1)) + ".tmp";
}

// Gives the written file the old file's permissions (and, where allowed, its owner), since
// the rename replaces the old file's inode with the new one.
void CopyPermissions(int fd, const struct stat* old) {
    if (old == nullptr) {
        return;
    }
    if (::fchown(fd, old->st_uid, old->st_gid) != 0) {
        // Only the superuser may hand a file to someone else; the file stays the writer's.
    }
    ::fchmod(fd, old->st_mode & 07777);
}

bool WriteAndSync(int fd, std::string_view contents, const struct stat* old) {
    if (!WriteAll(fd, contents)) {
        return false;
    }
    CopyPermissions(fd, old);
    return ::fsync(fd) == 0;
}

// Writes the contents to a new, still nameless file and only then gives it a temporary name,
// so a writer killed while writing leaves nothing behind. Empty when the file system does not
// offer unnamed files; the caller then takes the named route.
std::string WriteUnnamedThenLink(const std::string& folder, const std::string& base,
                                 std::string_view contents, const struct stat* old) {
#ifdef O_TMPFILE
    FileDescriptor fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (!fd || !WriteAndSync(fd.Get(), contents, old)) {
        return {};
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd.Get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(folder, base);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            if (!fd.Close()) {
                ::unlink(name.c_str());
                return {};
            }
            return name;
        }
        if (errno != EEXIST) {
            break;
        }
    }
#else
    (void)folder;
    (void)base;
    (void)contents;
    (void)old;
#endif
    return {};
}

std::string WriteNamed(const std::string& folder, const std::string& base,
                       std::string_view contents, const struct stat* old) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(folder, base);
        FileDescriptor fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd) {
            if (errno == EEXIST) {
                continue;
            }
            return {};
        }
        if (!WriteAndSync(fd.Get(), contents, old) || !fd.Close()) {
            ::unlink(name.c_str());
            return {};
        }
        return name;
    }
    return {};
}

void SyncFolder(const std::string& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) {
        ::fsync(fd.Get());
    }
}

}  // namespace

std::optional<std::string> ReadFileText(const std::string& path, int* error) {
    auto fail = [error](int code) -> std::optional<std::string> {
        if (error != nullptr) {
            *error = code;
        }
        return std::nullopt;
    };
    // O_NONBLOCK so that a FIFO at the path cannot hang the program.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        return fail(errno);
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        return fail(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[16384];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno);
        }
        if (got == 0) {
            return text;
        }
        text.append(chunk, static_cast<std::size_t>(got));
    }
}

bool ReplaceFileAtomically(const std::string& path, std::string_view contents) {
    if (path.empty()) {
        return false;
    }
    std::string target = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }

    const struct stat* old = nullptr;
    if (::stat(target.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            return false;
        }
        // The rename needs only the folder's permission; the file's own must be asked for.
        FileDescriptor probe(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        if (!probe) {
            return false;
        }
        old = &info;
    } else if (errno != ENOENT) {
        return false;
    }

    const std::string folder = ParentFolder(target);
    const std::string base = BaseName(target);
    if (base.empty() || !MakeFolders(folder)) {
        return false;
    }
    std::string temporary = WriteUnnamedThenLink(folder, base, contents, old);
    if (temporary.empty()) {
        temporary = WriteNamed(folder, base, contents, old);
    }
    if (temporary.empty()) {
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

}  // namespace settings
