#include "settings/private_profile.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "settings/atomic_file.h"
#include "settings/profile_file.h"

namespace {

using settings::ProfileDocument;

std::string_view DefaultText(const char* defaultValue) {
    std::string_view text = defaultValue != nullptr ? defaultValue : "";
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

// A NUL byte inside the file ends the text, as it would for every C caller anyway, so that the
// result always equals the length of what the buffer holds.
std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

unsigned CopyText(std::string_view text, char* buffer, unsigned size) {
    text = UpToNul(text);
    const std::size_t count = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<unsigned>(count);
}

// Names one after the other, each terminated, and one terminator more at the end. A name that
// would leave fewer than two places after it is cut so that two terminators still fit.
unsigned CopyList(const std::vector<std::string_view>& names, char* buffer, unsigned size) {
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::size_t used = 0;
    for (std::string_view name : names) {
        name = UpToNul(name);
        const std::size_t room = size - used;
        if (name.size() + 3 > room) {
            std::memcpy(buffer + used, name.data(), room - 2);
            buffer[size - 2] = '\0';
            buffer[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(buffer + used, name.data(), name.size());
        used += name.size();
        buffer[used++] = '\0';
    }
    buffer[used] = '\0';
    return static_cast<unsigned>(used);
}

}  // namespace

unsigned GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                               const char* file) {
    const auto fallback = static_cast<unsigned>(defaultValue);
    if (section == nullptr || key == nullptr) {
        return fallback;
    }
    const ProfileDocument document = settings::LoadProfile(file);
    const auto value = document.Find(section, key);
    if (!value || value->empty()) {
        return fallback;
    }
    return settings::ParseProfileInt(*value);
}

unsigned GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                  char* buffer, unsigned size, const char* file) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    const std::string_view fallback = DefaultText(defaultValue);
    const auto path = settings::ResolveProfilePath(file);
    auto text = path ? settings::ReadFileText(*path) : std::nullopt;
    if (!text) {
        return CopyText(fallback, buffer, size);
    }
    const ProfileDocument document(std::move(*text));
    if (section == nullptr) {
        return CopyList(document.SectionNames(), buffer, size);
    }
    if (key == nullptr) {
        const auto names = document.KeyNames(section);
        return names.empty() ? CopyText(fallback, buffer, size) : CopyList(names, buffer, size);
    }
    if (*key == '\0') {
        return CopyText(fallback, buffer, size);
    }
    const auto value = document.Find(section, key);
    return CopyText(value ? *value : fallback, buffer, size);
}

int WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                               const char* file) {
    if (section == nullptr) {
        return 0;
    }
    const bool written = settings::UpdateProfile(file, [&](ProfileDocument& document) {
        if (key == nullptr) {
            return document.EraseSection(section);
        }
        if (value == nullptr) {
            return document.EraseKey(section, key);
        }
        return document.Set(section, key, value);
    });
    return written ? 1 : 0;
}
