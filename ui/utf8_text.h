// German texts reach wx as UTF-8, explicitly.
//
// A narrow literal handed to wxString is converted with the current locale's encoding, which turns
// "ö" into nothing in the C locale. Every text of this program goes through U8 instead.
#pragma once

#include <string>
#include <string_view>

#include <wx/string.h>

inline wxString U8(std::string_view text) {
    return wxString::FromUTF8(text.data(), text.size());
}

// Text from the system (error texts in the user's locale): UTF-8 where it is valid, otherwise the
// locale's own encoding, so that no message ever arrives empty.
inline wxString SystemText(const std::string& text) {
    wxString s = wxString::FromUTF8(text.data(), text.size());
    if (s.empty() && !text.empty())
        s = wxString(text.c_str(), wxConvLibc);
    if (s.empty() && !text.empty())
        s = wxString::From8BitData(text.data(), text.size());
    return s;
}
