// Prints what ReadTrace finds in a file, one entry a line, for trace_reader_interop.py:
// "F TIME_US ID EXT RTR DLC DATA TX" for a frame (DATA "-" when empty), "E TIME_US KIND" for a
// bus event. Exit status 1 and the error text when the file cannot be read.
#include <cstdio>
#include <string>

#include "trace/trace_reader.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    std::string error;
    const auto file = trace::ReadTrace(argv[1], error);
    if (!file) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    static const char* const kKinds[] = {"Frame",   "BusError",    "Overrun", "Warning",
                                         "Passive", "Arbitration", "BusOff",  "Active"};
    for (const trace::TraceFrame& e : file->entries) {
        const long long us = static_cast<long long>(e.timeNs / 1000);
        if (e.kind != trace::TraceFrame::Kind::kFrame) {
            std::printf("E %lld %s\n", us, kKinds[static_cast<int>(e.kind)]);
            continue;
        }
        std::printf("F %lld %X %d %d %d ", us, e.id, e.extended ? 1 : 0, e.remote ? 1 : 0, e.dlc);
        if (e.length == 0)
            std::fputs("-", stdout);
        for (int i = 0; i < e.length; ++i)
            std::printf("%02X", e.data[i]);
        std::printf(" %d\n", e.transmitted ? 1 : 0);
    }
    return 0;
}
