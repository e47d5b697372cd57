// A C stream whose output a test reads back as text: an in-memory stream on Linux, a temporary
// file on Windows (which has no open_memstream).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace testsupport {

class CapturedStream {
  public:
    CapturedStream() {
#if defined(_WIN32)
        file_ = std::tmpfile();
#else
        file_ = open_memstream(&text_, &size_);
#endif
    }
    ~CapturedStream() {
        Close();
        std::free(text_);
    }
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;

    std::FILE* Get() const {
        return file_;
    }

    // Everything written so far; the stream is closed after it.
    std::string Text() {
        std::string all;
#if defined(_WIN32)
        if (file_ != nullptr) {
            std::fflush(file_);
            std::rewind(file_);
            char buffer[4096];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
                all.append(buffer, n);
        }
        Close();
#else
        Close();
        if (text_ != nullptr)
            all.assign(text_, size_);
#endif
        return all;
    }

  private:
    void Close() {
        if (file_ != nullptr)
            std::fclose(file_);
        file_ = nullptr;
    }

    std::FILE* file_ = nullptr;
    char* text_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace testsupport
