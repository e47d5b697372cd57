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
