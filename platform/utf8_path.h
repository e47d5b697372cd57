// File names as the program keeps them (UTF-8 text) and as std::filesystem keeps them. A path
// made from a std::string reads that string in the system's narrow code page, which on Windows is
// not UTF-8 and loses every letter beyond it; through char8_t both systems read UTF-8.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

inline std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace platform
