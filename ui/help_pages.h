// The pages of the program's help (ui/resources/help), built into the program so that the help is
// there wherever the binary is: the help project (vesk.hhp), its contents (vesk.hhc) and the
// German HTML pages.
#pragma once

#include <span>

struct HelpPage {
    const char* name;  // file name inside the help book, e.g. "index.htm"
    const char* text;  // UTF-8
};

std::span<const HelpPage> HelpPages();
