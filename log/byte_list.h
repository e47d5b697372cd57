// Byte lists: data bytes typed as text, "11 22 33", used by the automatic replies and the
// transmit dialog.
//
// ParseByteList reads blank-separated hexadecimal tokens of at most two characters and stores one
// byte per token, at most `limit` of them, and returns how many it stored. Only the blank (0x20)
// separates tokens; a longer token is cut into pairs from its left and a trailing odd character
// makes a byte of its own. A token's value is the hexadecimal digits at its start (either case);
// a token that does not start with a hexadecimal digit still yields a byte, and that byte is 0.
// Parsing stops as soon as `limit` bytes are stored. A limit below 1, a null text or a null
// output stores nothing and returns 0.
//
//   text                      count  bytes
//   ""  or  "   "             0
//   "11 22 33"                3      11 22 33
//   "112233"                  3      11 22 33
//   "1 2 3"                   3      01 02 03
//   "   a  b "                2      0a 0b
//   "123"                     2      12 03
//   "1 23 456"                4      01 23 45 06
//   "FF ff"                   2      ff ff
//   "0 1 2 3 4 5 6 7 8 9 a"   10     00 01 02 03 04 05 06 07 08 09   (limit 10)
//   "11,22"                   3      11 00 02   (",2" has no digit at its start)
//   "1g zz"                   2      01 00
//   "\t5"                     1      00         (a tab is an ordinary character)
#pragma once

// Every caller in the program passes 10, the bytes one transmit request can carry.
inline constexpr int kByteListLimit = 10;

int ParseByteList(unsigned char* out, int limit, const char* text);
