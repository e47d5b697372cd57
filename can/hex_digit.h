// The value of one hexadecimal digit, in either case, for every reader of hex text (byte lists,
// trace files, number fields).
//
//   c      HexDigitValue(c)
//   '0'    0
//   '9'    9
//   'a'    10
//   'F'    15
//   'g'    -1
//   ' '    -1
#pragma once

namespace can {

constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace can
