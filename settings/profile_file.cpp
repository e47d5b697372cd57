#include "settings/profile_file.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "settings/atomic_file.h"

namespace settings {
namespace {

const char* NonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

std::optional<std::string> HomeFolder() {
    if (const char* home = NonEmptyVariable("HOME")) {
        return std::string(home);
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

std::mutex& EditMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

std::optional<std::string> ResolveProfilePath(const char* name) {
    if (name == nullptr || *name == '\0') {
        return std::nullopt;
    }
    if (std::strchr(name, '/') != nullptr) {
        return std::string(name);
    }
    if (const char* file = NonEmptyVariable("VESK_INI")) {
        return std::string(file);
    }
    if (const char* config = NonEmptyVariable("XDG_CONFIG_HOME"); config && *config == '/') {
        return std::string(config) + "/vesk/" + name;
    }
    if (auto home = HomeFolder()) {
        return *home + "/.config/vesk/" + name;
    }
    return std::nullopt;
}

ProfileDocument LoadProfile(const char* name) {
    const auto path = ResolveProfilePath(name);
    if (!path) {
        return {};
    }
    auto text = ReadFileText(*path);
    return text ? ProfileDocument(std::move(*text)) : ProfileDocument();
}

bool UpdateProfile(const char* name, const std::function<bool(ProfileDocument&)>& edit) {
    const auto path = ResolveProfilePath(name);
    if (!path) {
        return false;
    }
    std::lock_guard lock(EditMutex());
    int error = 0;
    auto text = ReadFileText(*path, &error);
    if (!text && error != ENOENT) {
        return false;
    }
    ProfileDocument document(text ? std::move(*text) : std::string());
    if (!edit(document)) {
        return true;
    }
    return ReplaceFileAtomically(*path, document.Text());
}

}  // namespace settings
