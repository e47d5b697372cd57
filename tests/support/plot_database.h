// A small database the plot tests share: Mux 0x100 (M selects A at 0 and B at 1; C is always
// there) and Gang 0x200 with a value table.
#pragma once

namespace testdb {
inline constexpr const char* kMuxAndGang =
    "BO_ 256 Mux: 3 X\n"
    " SG_ M M : 0|8@1+ (1,0) [0|0] \"\" X\n"
    " SG_ A m0 : 8|8@1+ (0.5,0) [0|0] \"V\" X\n"
    " SG_ B m1 : 8|8@1- (1,-1) [0|0] \"A\" X\n"
    " SG_ C : 16|8@1+ (1,0) [0|0] \"\" X\n"
    "BO_ 512 Gang: 1 X\n"
    " SG_ G : 0|8@1+ (1,0) [0|0] \"\" X\n"
    "VAL_ 512 G 1 \"Eins\" 2 \"Zwei\" ;\n";
}  // namespace testdb
