// The program's arguments after its name, in UTF-8 as the rest of the program has its text.
#pragma once

#include <string>
#include <vector>

namespace platform {

// On Linux the arguments are the bytes the program was given: `given`, as it is. On Windows
// main's argv holds the ANSI code page's text, which loses every letter beyond it ("Messung_Ω.log"
// comes as "Messung_?.log"), so the arguments are read from the system's wide command line
// instead and `given` only says how many the caller expects; should the two counts differ (a
// caller that passes arguments of its own), `given` is kept.
std::vector<std::string> ProgramArguments(std::vector<std::string> given);

}  // namespace platform
