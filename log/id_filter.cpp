#include "log/id_filter.h"

#include <cctype>

namespace {

constexpr std::uint32_t kMaxStandard = 0x7ff;
constexpr std::uint32_t kMaxExtended = 0x1fffffff;

struct Id {
    std::uint32_t value = 0;
    bool extended = false;
};

// One identifier of 1 to 8 hex digits; false with `problem` set when it is none.
bool ReadId(std::string_view text, Id& id, std::string& problem) {
    const std::string quoted = "\u201e" + std::string(text) + "\u201c";
    if (text.empty() || text.size() > 8) {
        problem = text.empty() ? "Im ID-Filter fehlt eine CAN-ID."
                               : "Die CAN-ID " + quoted + " hat mehr als 8 Ziffern.";
        return false;
    }
    std::uint32_t value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            problem = "Die CAN-ID " + quoted + " ist keine Hexadezimalzahl.";
            return false;
        }
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    id.extended = text.size() > 3;
    id.value = value;
    if (value > (id.extended ? kMaxExtended : kMaxStandard)) {
        problem = "Die CAN-ID " + quoted +
                  (id.extended ? " hat mehr als 29 Bit (höchstens 1fffffff)."
                               : " hat mehr als 11 Bit (höchstens 7ff; 29-Bit-IDs mit 8 Ziffern).");
        return false;
    }
    return true;
}

}  // namespace

bool IdFilter::Parse(std::string_view text, std::string& problem) {
    std::vector<Range> ranges;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == ',' || std::isspace(static_cast<unsigned char>(text[pos]))) {
            ++pos;
            continue;
        }
        std::size_t end = pos;
        while (end < text.size() && text[end] != ',' &&
               !std::isspace(static_cast<unsigned char>(text[end])))
            ++end;
        const std::string_view item = text.substr(pos, end - pos);
        pos = end;
        const std::size_t dash = item.find('-');
        Id first, last;
        if (!ReadId(item.substr(0, dash), first, problem))
            return false;
        last = first;
        if (dash != std::string_view::npos && !ReadId(item.substr(dash + 1), last, problem))
            return false;
        if (first.extended != last.extended) {
            problem = "Der Bereich \u201e" + std::string(item) +
                      "\u201c mischt 11- und 29-Bit-IDs (29 Bit: 8 Ziffern).";
            return false;
        }
        if (last.value < first.value) {
            problem = "Der Bereich \u201e" + std::string(item) + "\u201c endet vor seinem Anfang.";
            return false;
        }
        ranges.push_back({first.value, last.value, first.extended});
    }
    m_ranges = std::move(ranges);
    return true;
}

bool IdFilter::Matches(std::uint32_t id, bool extended) const {
    if (m_ranges.empty())
        return true;
    for (const Range& r : m_ranges) {
        if (r.extended == extended && id >= r.first && id <= r.last)
            return true;
    }
    return false;
}
