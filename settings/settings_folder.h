// Where the user's settings live, and what the environment says about it; the system's way.
#pragma once

#include <optional>
#include <string>

namespace settings {

// An environment variable's value as UTF-8; nullopt when it is unset or empty.
std::optional<std::string> EnvironmentValue(const char* name);

// The program's settings folder: $XDG_CONFIG_HOME/vesk, or ~/.config/vesk when that variable is
// unset or not an absolute path (Linux); %APPDATA%\vesk (Windows). nullopt when the system
// names no such folder.
std::optional<std::string> SettingsFolder();

// True when the name carries a folder part, so that it is a path as it stands.
bool NamesFolder(const std::string& name);

// The folder separator that paths made here use.
inline constexpr char kFolderSeparator =
#if defined(_WIN32)
    '\\';
#else
    '/';
#endif

}  // namespace settings
