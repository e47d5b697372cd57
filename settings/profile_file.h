// Where a profile file lives, and reading and editing it as a whole.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "settings/profile_document.h"

namespace settings {

// The path a profile file name stands for. A name with a folder part is a path as it stands. A
// bare name ("Vesk.ini") is the file that the environment variable VESK_INI names, when it is
// set, or else the name in the settings folder (settings/settings_folder.h). nullopt for a null
// or empty name, or when the system names no settings folder.
std::optional<std::string> ResolveProfilePath(const char* name);

// The file's document; an empty one when the file is absent or cannot be read.
ProfileDocument LoadProfile(const char* name);

// Reads the file, lets `edit` change the document (it returns whether it changed anything) and
// writes the result back atomically. Edits of all files are serialised within the process so that
// no edit is lost to another made at the same time. An absent file counts as empty; a file that
// exists but cannot be read is never overwritten. True when the edit was made or had nothing to
// change.
bool UpdateProfile(const char* name, const std::function<bool(ProfileDocument&)>& edit);

}  // namespace settings
