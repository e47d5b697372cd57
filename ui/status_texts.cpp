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

std::string ChannelStateText(const ChannelState& state) {
    if (!state.open)
        return "Kanal geschlossen";
    // Rates in kbit/s with as many decimals as they need: 500, 83.333, 33.3.
    char rate[32];
    std::snprintf(rate, sizeof rate, "%u", state.baudrate / 1000);
    std::string text = rate;
    if (const std::uint32_t rest = state.baudrate % 1000; rest != 0) {
        std::snprintf(rate, sizeof rate, ".%03u", rest);
        std::string decimals = rate;
        while (decimals.back() == '0')
            decimals.pop_back();
        text += decimals;
    }
    text += " kbit/s  ";
    text += state.pelican ? "PeliCAN " : "Basic CAN ";
    text += state.pelican && state.extended ? "29 Bit  " : "11 Bit  ";
    if (state.replies == 0)
        text += "Antworten aus";
    else if (!state.delivering)
        text += "Antworten ruhen";
    else
        text += std::to_string(state.replies) + (state.replies == 1 ? " Antwort" : " Antworten");
    return text;
}
