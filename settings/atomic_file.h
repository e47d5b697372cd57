// Whole-file reads, and whole-file writes that never leave a torn file behind.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace settings {

// The file's bytes; nullopt when it cannot be read (a folder, a device, no permission, absent),
// with the errno value in *error when error is given.
std::optional<std::string> ReadFileText(const std::string& path, int* error = nullptr);

// Replaces the file's contents: the new bytes go to a temporary file in the same folder, are
// flushed to the disk and renamed over the old file, so a crash or kill at any moment leaves
// either the old or the new file. Missing folders are created. A file that may not be written
// (or is no regular file) is left alone. On any failure the result is false and the file is as
// it was. A symbolic link is followed, so the link stays a link. Callers serialise writes to one
// file themselves.
bool ReplaceFileAtomically(const std::string& path, std::string_view contents);

}  // namespace settings
