#include "platform/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {
namespace {

FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return FileKind::kRegular;
    if (S_ISDIR(mode))
        return FileKind::kFolder;
    if (S_ISFIFO(mode))
        return FileKind::kPipe;
    if (S_ISSOCK(mode))
        return FileKind::kSocket;
    return FileKind::kDevice;
}

}  // namespace

DataFile DataFile::OpenForReading(const std::string& path) {
    DataFile file;
    // O_NONBLOCK: a FIFO would otherwise hold the open until some writer came along.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        file.error_ = errno;
        if (fd >= 0)
            ::close(fd);
        return file;
    }
    file.handle_ = fd;
    file.kind_ = KindOf(status.st_mode);
    file.size_ = static_cast<std::uint64_t>(status.st_size);
    return file;
}

DataFile DataFile::CreateForWriting(const std::string& path) {
    DataFile file;
    // O_NONBLOCK so that a FIFO without a reader fails the open (ENXIO) instead of holding it;
    // devices such as /dev/null open as before. Writes block again once the file is open.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        file.error_ = errno;
        return file;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.handle_ = fd;
    return file;
}

DataFile::DataFile(DataFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)),
      error_(other.error_),
      kind_(other.kind_),
      size_(other.size_) {}

DataFile& DataFile::operator=(DataFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, -1);
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
    return handle_ >= 0;
}

std::int64_t DataFile::Read(void* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(handle_), buffer, size);
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            error_ = errno;
            return -1;
        }
    }
}

std::int64_t DataFile::Write(const void* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::write(static_cast<int>(handle_), data, size);
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            error_ = errno;
            return -1;
        }
    }
}

bool DataFile::Truncate(std::uint64_t size) {
    if (::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool DataFile::Close() {
    if (handle_ < 0)
        return true;
    if (::close(static_cast<int>(std::exchange(handle_, -1))) != 0 && errno != EINTR) {
        error_ = errno;
        return false;
    }
    return true;
}

}  // namespace platform
