// Windows only: the program's UTF-8 text (paths among it) as the system's wide characters and
// back, so that the wide calls reach every name a user can give a file.
#pragma once

#include <string>

namespace platform {

std::wstring WideText(const std::string& text);
std::string Utf8Text(const std::wstring& text);

}  // namespace platform
