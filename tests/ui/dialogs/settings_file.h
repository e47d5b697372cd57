// The settings file that VESK_INI names for this test binary: cleared before a test, read back
// after a command.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "settings/profile_document.h"

namespace dialogtest {

inline std::filesystem::path SettingsPath() {
    const char* path = std::getenv("VESK_INI");
    return path ? path : "";
}

inline bool SettingsFileExists() {
    return std::filesystem::exists(SettingsPath());
}

inline void RemoveSettingsFile() {
    std::error_code ignored;
    std::filesystem::remove(SettingsPath(), ignored);
    std::filesystem::create_directories(SettingsPath().parent_path(), ignored);
}

inline std::string SettingsText() {
    std::ifstream in(SettingsPath(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteSettingsText(const std::string& text) {
    std::ofstream(SettingsPath(), std::ios::binary) << text;
}

// The key's value as the file holds it; nothing when absent.
inline std::optional<std::string> SettingsValue(const char* section, const char* key) {
    settings::ProfileDocument doc(SettingsText());
    auto value = doc.Find(section, key);
    if (!value)
        return std::nullopt;
    return std::string(*value);
}

}  // namespace dialogtest
