// Command identifiers of the menus, accelerators and tool bar.
//
// Commands that wx already knows use wx's stock ids (wxID_NEW, ...). The CAN commands keep the
// order and the low digits of their historic numbers (0x8003 to 0x8010); the high digit moves from
// 8 to 7 because wx refuses identifiers from 0x7fff on.
#pragma once

inline constexpr int ID_CAN_OPEN = 0x7003;
inline constexpr int ID_CAN_CLOSE = 0x7004;
inline constexpr int ID_CAN_BAUDRATE = 0x7005;
inline constexpr int ID_CAN_SEND = 0x7006;
inline constexpr int ID_VIEW_CLEAR_SCREEN = 0x7007;
inline constexpr int ID_CAN_STANDBY = 0x7008;
inline constexpr int ID_CAN_CLEAR_OVERRUN = 0x7009;
inline constexpr int ID_CAN_ABORT_TX = 0x700a;
inline constexpr int ID_CAN_RESET_TIME = 0x700b;
inline constexpr int ID_CAN_SHOW_DATA = 0x700c;
inline constexpr int ID_CAN_HW_FILTER = 0x700d;
inline constexpr int ID_CAN_AUTO_REPLIES = 0x700e;
inline constexpr int ID_CAN_SOFT_FILTER = 0x700f;
inline constexpr int ID_CAN_EXTENDED_DISPLAY = 0x7010;
// "Datenbank-Botschaft senden...": a database message by its signals' values.
inline constexpr int ID_CAN_SEND_DB = 0x7011;

// The menu "Aufzeichnung": recording what reaches the log into a trace file.
inline constexpr int ID_RECORD_START = 0x7020;
inline constexpr int ID_RECORD_STOP = 0x7021;
// ... and sending a trace file onto the bus.
inline constexpr int ID_PLAY_START = 0x7022;
inline constexpr int ID_PLAY_STOP = 0x7023;
// ... and plotting a trace file's signals.
inline constexpr int ID_PLOT_TRACE = 0x7024;

// The menu "Datenbank": CAN databases to decode with.
inline constexpr int ID_DB_LOAD = 0x7030;
inline constexpr int ID_DB_CLEAR = 0x7031;

// Reached only through F6 and Shift+F6; nothing handles them.
inline constexpr int ID_NEXT_PANE = 0x7150;
inline constexpr int ID_PREV_PANE = 0x7151;

inline constexpr int ID_VIEW_TOOLBAR = 0x7800;
inline constexpr int ID_VIEW_STATUS_BAR = 0x7801;
// Switches the view area between the log and the overview by identifier.
inline constexpr int ID_VIEW_OVERVIEW = 0x7802;
// Holds the log and the overview on screen while everything behind them goes on.
inline constexpr int ID_VIEW_HOLD = 0x7810;
// Shows the bar that filters the log and the overview by identifier and finds a text; the next
// find with the bar's text.
inline constexpr int ID_VIEW_FIND = 0x7811;
inline constexpr int ID_VIEW_FIND_NEXT = 0x7812;
// The window "Signalverlauf": the loaded databases' signals over time, live.
inline constexpr int ID_VIEW_PLOT = 0x7813;

// The items of the CAN menu that need an open channel and have no check mark: they share one
// enable rule.
inline constexpr int kChannelOpenCommands[] = {
    ID_CAN_CLOSE,      ID_CAN_BAUDRATE, ID_CAN_HW_FILTER,     ID_CAN_SOFT_FILTER,
    ID_CAN_RESET_TIME, ID_CAN_STANDBY,  ID_CAN_CLEAR_OVERRUN, ID_CAN_ABORT_TX,
};
