#include "log/byte_list.h"

#include "can/hex_digit.h"

namespace {

// A token holds one or two characters; its value is the run of hex digits it starts with.
unsigned char TokenValue(const char* token, int length) {
    unsigned value = 0;
    for (int i = 0; i < length; ++i) {
        int digit = can::HexDigitValue(token[i]);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<unsigned char>(value & 0xFF);
}

}  // namespace

int ParseByteList(unsigned char* out, int limit, const char* text) {
    if (out == nullptr || text == nullptr || limit < 1)
        return 0;

    char token[2];
    int tokenLength = 0;
    int count = 0;
    for (const char* p = text;; ++p) {
        const char c = *p;
        const bool separator = c == ' ' || c == '\0';
        if (!separator)
            token[tokenLength++] = c;
        if (tokenLength == 2 || (separator && tokenLength == 1)) {
            out[count++] = TokenValue(token, tokenLength);
            tokenLength = 0;
            if (count == limit)
                break;
        }
        if (c == '\0')
            break;
    }
    return count;
}
