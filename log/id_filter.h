// Which identifiers the log and the overview show: a list of identifiers and ranges, written as
// candump writes identifiers, so that the frame format is part of the text.
//
//   text                 shows
//   ""                   everything (no filter)
//   "123"                the 11-bit frames with identifier 0x123
//   "00000123"           the 29-bit frames with identifier 0x123 (more than 3 digits: 29 bit)
//   "100-1ff, 7e8"       11-bit 0x100 to 0x1ff, and 0x7e8
//   "18fef100-18fef1ff"  29-bit, that range
//   "100 7e8"            blanks separate as commas do
//
// Bus events have no identifier: a filter never hides them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class IdFilter {
  public:
    struct Range {
        std::uint32_t first;
        std::uint32_t last;
        bool extended;
        bool operator==(const Range&) const = default;
    };

    // Reads `text`; on a mistake returns false and puts a German sentence naming it into
    // `problem`, and the filter stays as it was.
    bool Parse(std::string_view text, std::string& problem);

    bool Active() const { return !m_ranges.empty(); }
    bool Matches(std::uint32_t id, bool extended) const;
    const std::vector<Range>& Ranges() const { return m_ranges; }

  private:
    std::vector<Range> m_ranges;
};
