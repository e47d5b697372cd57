// The text of an INI-style profile file, read and edited with private-profile semantics.
//
// The document is the file's bytes and nothing else: lookups scan the text, and an edit splices
// exactly one line in or out, so every line an edit does not touch stays byte for byte as it was
// (comments, blank lines, unknown keys, odd spacing, binary garbage, the other line endings).
//
// Reading rules: a line whose first non-blank character is '[' and that holds a ']' opens a
// section named by the text up to the last ']'; any other non-blank line is a key line, its name
// the text before the first '=' and its value the text after it. Names and values are read
// without the blanks around them, names are compared without regard to ASCII case, and only the
// first section and the first key of a name count. Key lines before the first section belong to
// no section. A line without '=' names a key that has no value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

class ProfileDocument {
  public:
    ProfileDocument() = default;
    explicit ProfileDocument(std::string text);

    // The key's value without the blanks around it and without matching single or double quotes
    // around it; nullopt when the section or the key is absent or the key line has no '='.
    // Valid until the next edit.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

    // Every section name in file order, duplicates included.
    std::vector<std::string_view> SectionNames() const;
    // The names of the first section's keys that have a value, comments (';') and empty names
    // left out.
    std::vector<std::string_view> KeyNames(std::string_view section) const;

    // Sets the key, replacing its line in place, adding it after the last non-blank line of its
    // section, or adding the section at the end of the text. Names are trimmed, the value loses
    // its leading blanks, and all three are cut at a line break so that no write can inject
    // lines. Returns whether the text changed.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes the first key of that name from the first section of that name.
    bool EraseKey(std::string_view section, std::string_view key);
    // Removes every section of that name with its lines, keeping the blank lines that separate
    // it from the next section.
    bool EraseSection(std::string_view section);

    const std::string& Text() const { return text_; }
    // The line ending this document gives to lines it adds: the one its first line ending has,
    // or the platform's own for a text without one.
    std::string_view Newline() const;

  private:
    struct Section {
        std::size_t begin;       // the header line
        std::size_t bodyBegin;   // the line after the header
        std::size_t contentEnd;  // after the last non-blank line (or the header)
        std::size_t end;         // the next header or the end of the text
    };

    std::optional<Section> FindSection(std::string_view name) const;

    std::string text_;
};

// A profile integer: optional blanks, an optional sign, decimal digits up to the first other
// character, taken modulo 2^32; "-1" is 0xFFFFFFFF and a text without digits is 0.
std::uint32_t ParseProfileInt(std::string_view value);

}  // namespace settings
