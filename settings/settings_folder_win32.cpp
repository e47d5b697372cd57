#include "settings/settings_folder.h"

#include <vector>

#include "platform/wide_text.h"
#include "platform/windows_headers.h"

namespace settings {

std::optional<std::string> EnvironmentValue(const char* name) {
    // The wide environment: the narrow one is in the ANSI code page, which has no room for
    // every letter of a path.
    const std::wstring wideName = platform::WideText(name);
    const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size <= 1) {
        return std::nullopt;
    }
    std::vector<wchar_t> value(size);
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    if (length == 0 || length >= size) {
        return std::nullopt;
    }
    return platform::Utf8Text(std::wstring(value.data(), length));
}

std::optional<std::string> SettingsFolder() {
    if (auto appData = EnvironmentValue("APPDATA")) {
        return *appData + "\\vesk";
    }
    return std::nullopt;
}

bool NamesFolder(const std::string& name) {
    return name.find_first_of("/\\:") != std::string::npos;
}

}  // namespace settings
