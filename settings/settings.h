// The program's settings in the settings file "Vesk.ini": its sections, keys, defaults and formats,
// and the load and save sequences that the view and the dialogs call.
//
// Every number is stored as signed decimal text of its 32-bit value ("%ld"), so 0xFFFFFFFF is
// written "-1" and 0x80000000 "-2147483648". Texts are stored as they are and read back whole.
// A load reads the file once; keys that are absent or unreadable take their defaults, and nothing
// loaded is validated. Each save rewrites the keys it owns, in a fixed order, in one atomic
// replacement of the file; its result tells whether that succeeded, and the program may ignore it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

inline constexpr const char* kSettingsFile = "Vesk.ini";

// [Options]: the hardware and the software acceptance filter, and the bus bit rate.
struct OptionsSettings {
    std::uint32_t acceptanceCode = 0xFFFFFFFF;
    std::uint32_t acceptanceMask = 0xFFFFFFFF;
    std::uint32_t softAcceptanceCode = 0;
    std::uint32_t softAcceptanceMask = 0;
    std::int32_t baudrate = 20000;
};

OptionsSettings LoadOptions();
bool SaveBaudrate(std::int32_t baudrate);                         // "Baudrate"
bool SaveAcceptance(std::uint32_t code, std::uint32_t mask);      // "AcceptanceCode", "...Mask"
bool SaveSoftAcceptance(std::uint32_t code, std::uint32_t mask);  // "SoftAcceptanceCode", "...Mask"

// One automatic reply, stored under its index ("0" to "3") in [AutoTriggerIDs], [AutoIds],
// [AutoTriggerData] and [AutoData].
struct ReplySettings {
    std::uint32_t triggerId = 0;
    std::string triggerData;
    std::uint32_t replyId = 0;
    std::string replyData;
};

std::array<ReplySettings, 4> LoadReplies();
bool SaveReplies(const std::array<ReplySettings, 4>& replies);

// [Data]: the transmit dialog. id[i] and msg[i] are "Id<i+1>" and "Msg<i+1>"; index 4 is the
// endless row, whose interval is "Wait5"; chk[i] is the check box "Chk<i+1>" of rows 1 to 4.
struct SendSettings {
    std::array<std::string, 5> id;
    std::array<std::string, 5> msg;
    std::int32_t wait = 50;
    std::array<int, 4> chk{};
};

SendSettings LoadSendSettings();
// All 15 keys: "Id1", "Msg1" ... "Id5", "Msg5", "Wait5", "Chk1" ... "Chk4" ("1" or "0").
bool SaveSendSettings(const SendSettings& send);

// [LogColumns]: the widths, in pixels, that the operator dragged the log's eight columns to,
// "Width0" to "Width7". A width that is absent, zero, negative or above kMaxColumnWidth reads
// as 0: the column keeps its start-up width.
inline constexpr int kLogColumns = 8;
inline constexpr int kMaxColumnWidth = 10000;
std::array<int, kLogColumns> LoadColumnWidths();
bool SaveColumnWidths(const std::array<int, kLogColumns>& widths);

// The same for another list's columns in a section of its own ([OverviewColumns] for the
// overview by identifier): `widths.size()` keys "Width0" on, read or written.
inline constexpr const char* kLogColumnsSection = "LogColumns";
inline constexpr const char* kOverviewColumnsSection = "OverviewColumns";
void LoadColumnWidths(const char* section, std::span<int> widths);
bool SaveColumnWidths(const char* section, std::span<const int> widths);

// [Datenbanken]: the CAN databases loaded when the program last changed them, "Anzahl" and
// "Datei1" to "DateiN", in the order they were loaded.
inline constexpr const char* kDatabasesSection = "Datenbanken";
std::vector<std::string> LoadDatabaseFiles();
bool SaveDatabaseFiles(const std::vector<std::string>& files);

// [Signalwerte]: the values last sent of each database message, under the message's name, as
// "SIGNAL=VALUE ..." (dbc/signal_assignments.h); empty when none were kept.
inline constexpr const char* kSignalValuesSection = "Signalwerte";
std::string LoadSignalValues(std::string_view message);
bool SaveSignalValues(std::string_view message, std::string_view values);

// [Signalverlauf]: "Punkte", the most points a plot keeps in all (the plot window's "Punkte
// höchstens"); `fallback` when it was never set, and from one to 200 million as the window
// offers.
inline constexpr const char* kPlotSection = "Signalverlauf";
std::uint64_t LoadPlotPointBudget(std::uint64_t fallback);
bool SavePlotPointBudget(std::uint64_t points);

}  // namespace settings
