#include "settings/settings_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace settings {
namespace {

std::optional<std::string> HomeFolder() {
    if (auto home = EnvironmentValue("HOME")) {
        return home;
    }
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && *found->pw_dir != '\0') {
        return std::string(found->pw_dir);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<std::string> SettingsFolder() {
    if (auto config = EnvironmentValue("XDG_CONFIG_HOME"); config && config->front() == '/') {
        return *config + "/vesk";
    }
    if (auto home = HomeFolder()) {
        return *home + "/.config/vesk";
    }
    return std::nullopt;
}

bool NamesFolder(const std::string& name) {
    return name.find('/') != std::string::npos;
}

}  // namespace settings
