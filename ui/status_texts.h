// The texts of the status bar panes. Free of wx so that they can be checked without a display.
#pragma once

#include <cstdint>
#include <string>

// The template texts that size the panes.
inline constexpr const char* kFilterPaneTemplate = "00000000 : 00000000";
inline constexpr const char* kBusLoadPaneTemplate = "100.00 %";
inline constexpr const char* kNumLockPaneText = "NUM";
inline constexpr const char* kIdlePrompt = "Drücken Sie F1, um Hilfe zu erhalten.";

// "%08lx : %08lx", mask first, as the filter dialogs show the two values.
std::string FilterPaneText(std::uint32_t mask, std::uint32_t code);

// "%0.2lf %%" of the bus load in percent. Always with a decimal point: the GUI toolkit switches
// the process to the user's locale, where printf would write "12,50 %".
std::string BusLoadPaneText(double percent);

// The open channel as the status bar names it beside the panes above: bit rate, mode and
// identifier format, and the automatic replies (how many entries answer; none answer while
// "Daten anzeigen" is off, since replies follow the log's delivery).
//
//   open  rate     mode     format  replies  delivering  text
//   no    ...                                            "Kanal geschlossen"
//   yes   500000   Basic    std     0        yes         "500 kbit/s  Basic CAN 11 Bit  Antworten
//   aus" yes   20000    PeliCAN  ext     2        yes         "20 kbit/s  PeliCAN 29 Bit  2
//   Antworten" yes   83333    PeliCAN  std     1        no          "83.333 kbit/s  PeliCAN 11 Bit
//   Antworten ruhen"
struct ChannelState {
    bool open = false;
    std::uint32_t baudrate = 0;
    bool pelican = false;
    bool extended = false;
    int replies = 0;
    bool delivering = true;
};
std::string ChannelStateText(const ChannelState& state);

// The names of the filter and bus-load panes, as their tool tips give them.
inline constexpr const char* kHwFilterPaneTip = "Hardwarefilter (Maske : Code)";
inline constexpr const char* kSoftFilterPaneTip = "Softwarefilter (Maske : Code)";
inline constexpr const char* kBusLoadPaneTip = "Buslast, vom Treiber geschätzt";
