// The two text encodings DBC files come in: UTF-8, and the Windows code page 1252 that most
// database editors write. A file is taken as UTF-8 only when all of it is valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace dbc {

// Without a leading UTF-8 byte order mark, when there is one.
std::string_view StripUtf8Bom(std::string_view bytes) noexcept;

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or code points past
// U+10FFFF.
bool IsUtf8(std::string_view bytes) noexcept;

// Every byte as its code page 1252 character in UTF-8; the five bytes 1252 leaves undefined
// (81, 8D, 8F, 90, 9D) become the C1 controls of the same number, as Windows converts them.
std::string Cp1252ToUtf8(std::string_view bytes);

}  // namespace dbc
