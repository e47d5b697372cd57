#include "trace/trace_format.h"

#include <cctype>

namespace trace {
namespace {

bool EndsWithNoCase(const std::string& text, const char* suffix) {
    std::string::size_type n = 0;
    while (suffix[n] != '\0')
        ++n;
    if (text.size() <= n)
        return false;
    for (std::string::size_type i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[text.size() - n + i]);
        if (std::tolower(c) != suffix[i])
            return false;
    }
    // A bare ".log" is a hidden file without a name, not a trace the operator named.
    const char before = text[text.size() - n - 1];
    return before != '/';
}

}  // namespace

std::optional<TraceFormat> FormatForPath(const std::string& path, std::string& error) {
    if (EndsWithNoCase(path, ".log"))
        return TraceFormat::kCandumpLog;
    if (EndsWithNoCase(path, ".asc"))
        return TraceFormat::kAsc;
    error = "Die Aufzeichnung „" + path +
            "“ hat keinen bekannten Dateityp. Möglich sind candump-Protokolle (*.log) und "
            "ASC-Protokolle (*.asc).";
    return std::nullopt;
}

}  // namespace trace
