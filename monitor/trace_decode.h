// Decodes a recorded trace with CAN databases, without a window (vesk --decode): one CSV line
// per decoded signal on `out` (dbc/decoded_csv.h), in the trace's order and with its times.
// Remote frames and bus events have no signals; a frame no database defines gives no line.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// 0 when all went well; 1 and the German reason on `err` when the trace or a database cannot be
// read (nothing is written then). Databases' warnings go to `err` and do not fail the run.
int DecodeTrace(const std::string& tracePath, const std::vector<std::string>& databases,
                std::FILE* out, std::FILE* err);
