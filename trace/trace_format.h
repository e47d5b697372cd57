// The trace file formats and how a file's name chooses one.
#pragma once

#include <optional>
#include <string>

namespace trace {

enum class TraceFormat {
    kCandumpLog,  // ".log": candump's log, one "(SECONDS.MICROSECONDS) IFNAME FRAME DIR" per event
    kAsc,         // ".asc": the ASC text trace
};

// The format a path's extension names (".log", ".asc", in any case), or nullopt and a German
// error text for any other name.
std::optional<TraceFormat> FormatForPath(const std::string& path, std::string& error);

}  // namespace trace
