// A fresh folder per test, with the settings file pointed into it, and whole-file helpers.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "tests/support/environment.h"

namespace settings_test {

// Restores an environment variable when the test ends.
class SavedVariable {
  public:
    explicit SavedVariable(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) {
            value_ = value;
        }
    }
    ~SavedVariable() {
        if (value_) {
            testsupport::SetVariable(name_, value_->c_str());
        } else {
            testsupport::UnsetVariable(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> value_;
};

// A new, empty folder under base with a name no other test has.
inline std::filesystem::path MakeUniqueFolder(const std::filesystem::path& base) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path folder = base / ("t." + std::to_string(random() % 100000000));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error))
            return folder;
    }
    return {};
}

class ScratchFolder {
  public:
    ScratchFolder() {
        // Inside the folder CTest gives the suite, so that nothing lands outside the build tree.
        std::filesystem::path base = std::filesystem::temp_directory_path();
        if (const char* ini = std::getenv("VESK_INI")) {
            base = std::filesystem::path(ini).parent_path();
        }
        std::filesystem::create_directories(base);
        path_ = MakeUniqueFolder(base);
        if (path_.empty()) {
            ADD_FAILURE() << "no scratch folder in " << base;
        }
        testsupport::SetVariable("VESK_INI", File().c_str());
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }

    const std::filesystem::path& Path() const { return path_; }
    // The settings file every bare-name call reaches.
    std::string File() const { return (path_ / "Vesk.ini").string(); }

  private:
    SavedVariable savedIni_{"VESK_INI"};
    std::filesystem::path path_;
};

// The text as a new settings file has it: lines end as the system's text files do ("\r\n" on
// Windows). A file that exists keeps its own line ends.
inline std::string NewFileText(std::string text) {
#if defined(_WIN32)
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2))
        text.replace(at, 1, "\r\n");
#endif
    return text;
}

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteAll(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace settings_test
