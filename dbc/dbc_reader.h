// Reads DBC files: the sections in any order, text in UTF-8 (with or without byte order mark) or
// else code page 1252, numbers with a point whatever the user's locale.
//
// A database is taken whole or not at all: a line that cannot be read, a signal that does not fit
// its message or a multiplexer that cannot be told apart refuses the file with one German error
// naming file and line. What vesk has no use for (environment variables, signal types, unknown
// sections, attributes without definition, references to unknown messages) is skipped with a
// warning in the same form.
//
//   file content                                  result
//   BO_ 2566914047 Pgn: 8 X                        message 0x18FFFFFF, extended
//   BO_ 256 A: 8 X  +  BO_ 2147483904 B: 8 X       two messages, 0x100 standard and extended
//   SG_ S : 7|12@0+ (0.01,0) [0|0] "" X            Motorola, MSB bit 7; factor 0.01 in any locale
//   SG_ S : 60|8@1+ (1,0) [0|0] "" X in BO_ ..: 8  error: "Signal \"S\" passt nicht in die 8
//                                                  Bytes der Botschaft ..."
//   FOO_ 1 2 3;                                    warning: unknown section skipped
//   BO_ 3221225472 ...                             skipped without a word: files keep signals
//                                                  that belong to no message under such a number
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbc/database.h"

namespace dbc {

struct ReadResult {
    std::optional<Database> database;   // empty when the file was refused
    std::string error;                  // "motor.dbc, Zeile 12: ..." when refused, else empty
    std::vector<std::string> warnings;  // the same form, one per thing skipped
};

// Reads the file at path; messages name it without its folder.
ReadResult ReadDbc(const std::string& path);

// Reads a file's bytes already in memory; fileName is what messages call it.
ReadResult ParseDbc(std::string_view bytes, std::string_view fileName);

}  // namespace dbc
