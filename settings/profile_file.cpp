#include "settings/profile_file.h"

#include <cerrno>
#include <mutex>

#include "settings/atomic_file.h"
#include "settings/settings_folder.h"

namespace settings {
namespace {

std::mutex& EditMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

std::optional<std::string> ResolveProfilePath(const char* name) {
    if (name == nullptr || *name == '\0') {
        return std::nullopt;
    }
    if (NamesFolder(name)) {
        return std::string(name);
    }
    if (auto file = EnvironmentValue("VESK_INI")) {
        return file;
    }
    if (auto folder = SettingsFolder()) {
        return *folder + kFolderSeparator + name;
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
