#include "ui/status_texts.h"

#include <charconv>
#include <cstdio>

std::string FilterPaneText(std::uint32_t mask, std::uint32_t code) {
    char text[32];
    std::snprintf(text, sizeof text, "%08lx : %08lx", static_cast<unsigned long>(mask),
                  static_cast<unsigned long>(code));
    return text;
}

std::string BusLoadPaneText(double percent) {
    char text[64];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text - 3, percent, std::chars_format::fixed, 2);
    if (ec != std::errc{})
        return "--- %";  // only a value beyond any real load gets here
    std::string result(text, end);
    result += " %";
    return result;
}
