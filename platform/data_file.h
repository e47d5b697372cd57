// A file the program reads or writes as a stream of bytes (recordings, traces to replay). Opens
// never wait: a named pipe without a peer fails or reports itself instead of holding the caller.
// Failures leave the system's code for ErrorText in Error().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// What the path names; only a regular file is a recording.
enum class FileKind { kRegular, kFolder, kPipe, kSocket, kDevice };

class DataFile {
  public:
    // For reading: the kind and size of what is there are known after the open.
    static DataFile OpenForReading(const std::string& path);
    // For writing from the start: created, or emptied when it exists.
    static DataFile CreateForWriting(const std::string& path);

    DataFile(DataFile&& other) noexcept;
    DataFile& operator=(DataFile&& other) noexcept;
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;
    ~DataFile();

    bool IsOpen() const;
    // The code of the last failure (open, read, write, close); 0 while none failed.
    int Error() const { return error_; }
    FileKind Kind() const { return kind_; }
    std::uint64_t Size() const { return size_; }

    // Bytes read, 0 at the end, -1 on failure.
    std::int64_t Read(void* buffer, std::size_t size);
    // Bytes written (fewer than asked only on a full disk), -1 on failure.
    std::int64_t Write(const void* data, std::size_t size);
    // Cuts the file to its first `size` bytes.
    bool Truncate(std::uint64_t size);
    // Closes the file, reporting a failure the system only shows at this point.
    bool Close();

  private:
    DataFile() = default;

    std::intptr_t handle_ = -1;
    int error_ = 0;
    FileKind kind_ = FileKind::kRegular;
    std::uint64_t size_ = 0;
};

// Writes `bytes` as the whole of the file at `path` (created, or emptied first) and closes it;
// false when any step failed, a full disk included.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

}  // namespace platform
