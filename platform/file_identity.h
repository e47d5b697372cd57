// Whether two paths name the same file, however they are spelled (links, relative paths).
#pragma once

#include <string>

namespace platform {

// True when both paths exist and are one file (same device and file number); false when either
// does not exist or cannot be looked at.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace platform
