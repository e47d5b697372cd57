#include "settings/profile_document.h"

#include <utility>

namespace settings {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
#ifdef _WIN32
constexpr std::string_view kPlatformNewline = "\r\n";
#else
constexpr std::string_view kPlatformNewline = "\n";
#endif

enum class LineKind { Blank, Section, Key, Bare };

struct Line {
    std::size_t begin = 0;
    std::size_t contentEnd = 0;  // before "\r\n" or "\n"
    std::size_t end = 0;         // after them
    LineKind kind = LineKind::Blank;
    std::string_view name;
    std::string_view value;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view CutAtLineBreak(std::string_view s) {
    return s.substr(0, s.find_first_of("\r\n"));
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::size_t FirstLineStart(std::string_view text) {
    return text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
}

// Reads the line at `pos`, which must be below text.size().
Line ReadLine(std::string_view text, std::size_t pos) {
    Line line;
    line.begin = pos;
    const std::size_t newline = text.find('\n', pos);
    line.end = newline == std::string_view::npos ? text.size() : newline + 1;
    line.contentEnd = newline == std::string_view::npos ? text.size() : newline;
    if (line.contentEnd > pos && text[line.contentEnd - 1] == '\r') {
        --line.contentEnd;
    }

    const std::string_view content = TrimLeft(text.substr(pos, line.contentEnd - pos));
    if (content.empty()) {
        return line;
    }
    if (content.front() == '[') {
        const std::size_t close = content.rfind(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::Section;
            line.name = Trim(content.substr(1, close - 1));
            return line;
        }
    }
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
        line.kind = LineKind::Bare;
        line.name = Trim(content);
    } else {
        line.kind = LineKind::Key;
        line.name = Trim(content.substr(0, equals));
        line.value = Trim(content.substr(equals + 1));
    }
    return line;
}

// The first key line of that name in [from, the next section header); nullopt when none.
std::optional<Line> FindKeyLine(std::string_view text, std::size_t from, std::string_view key) {
    for (std::size_t pos = from; pos < text.size();) {
        const Line line = ReadLine(text, pos);
        if (line.kind == LineKind::Section) {
            break;
        }
        if ((line.kind == LineKind::Key || line.kind == LineKind::Bare) &&
            NamesEqual(line.name, key)) {
            return line;
        }
        pos = line.end;
    }
    return std::nullopt;
}

}  // namespace

ProfileDocument::ProfileDocument(std::string text) : text_(std::move(text)) {}

std::optional<ProfileDocument::Section> ProfileDocument::FindSection(std::string_view name) const {
    const std::string_view text = text_;
    std::optional<Section> found;
    for (std::size_t pos = FirstLineStart(text); pos < text.size();) {
        const Line line = ReadLine(text, pos);
        pos = line.end;
        if (found) {
            if (line.kind == LineKind::Section) {
                found->end = line.begin;
                return found;
            }
            if (line.kind != LineKind::Blank) {
                found->contentEnd = line.end;
            }
        } else if (line.kind == LineKind::Section && NamesEqual(line.name, name)) {
            found = Section{line.begin, line.end, line.end, text.size()};
        }
    }
    return found;
}

std::optional<std::string_view> ProfileDocument::Find(std::string_view section,
                                                      std::string_view key) const {
    const auto found = FindSection(Trim(section));
    if (!found) {
        return std::nullopt;
    }
    const auto line = FindKeyLine(text_, found->bodyBegin, Trim(key));
    if (!line || line->kind != LineKind::Key) {
        return std::nullopt;
    }
    return StripQuotes(line->value);
}

std::vector<std::string_view> ProfileDocument::SectionNames() const {
    std::vector<std::string_view> names;
    const std::string_view text = text_;
    for (std::size_t pos = FirstLineStart(text); pos < text.size();) {
        const Line line = ReadLine(text, pos);
        if (line.kind == LineKind::Section && !line.name.empty()) {
            names.push_back(line.name);
        }
        pos = line.end;
    }
    return names;
}

std::vector<std::string_view> ProfileDocument::KeyNames(std::string_view section) const {
    std::vector<std::string_view> names;
    const auto found = FindSection(Trim(section));
    if (!found) {
        return names;
    }
    const std::string_view text = text_;
    for (std::size_t pos = found->bodyBegin; pos < found->end;) {
        const Line line = ReadLine(text, pos);
        // An empty name would end the caller's list early.
        if (line.kind == LineKind::Key && !line.name.empty() && !line.name.starts_with(';')) {
            names.push_back(line.name);
        }
        pos = line.end;
    }
    return names;
}

bool ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(CutAtLineBreak(section));
    key = Trim(CutAtLineBreak(key));
    value = TrimLeft(CutAtLineBreak(value));
    std::string keyLine;
    keyLine.reserve(key.size() + 1 + value.size());
    keyLine.append(key).append("=").append(value);
    const std::string_view newline = Newline();

    const auto found = FindSection(section);
    if (!found) {
        std::string added;
        if (text_.size() > FirstLineStart(text_) && text_.back() != '\n') {
            added.append(newline);
        }
        added.append("[").append(section).append("]").append(newline);
        added.append(keyLine).append(newline);
        text_ += added;
        return true;
    }

    if (const auto line = FindKeyLine(text_, found->bodyBegin, key)) {
        if (line->kind == LineKind::Key && line->value == value) {
            return false;
        }
        text_.replace(line->begin, line->contentEnd - line->begin, keyLine);
        return true;
    }

    std::string added;
    if (text_[found->contentEnd - 1] != '\n') {
        added.append(newline);  // the section's last line was the file's last, without an ending
    }
    added.append(keyLine).append(newline);
    text_.insert(found->contentEnd, added);
    return true;
}

bool ProfileDocument::EraseKey(std::string_view section, std::string_view key) {
    const auto found = FindSection(Trim(section));
    if (!found) {
        return false;
    }
    const auto line = FindKeyLine(text_, found->bodyBegin, Trim(key));
    if (!line) {
        return false;
    }
    text_.erase(line->begin, line->end - line->begin);
    return true;
}

bool ProfileDocument::EraseSection(std::string_view section) {
    section = Trim(section);
    bool changed = false;
    while (const auto found = FindSection(section)) {
        text_.erase(found->begin, found->contentEnd - found->begin);
        changed = true;
    }
    return changed;
}

std::string_view ProfileDocument::Newline() const {
    const std::size_t first = text_.find('\n');
    if (first == std::string::npos) {
        return kPlatformNewline;
    }
    return first > 0 && text_[first - 1] == '\r' ? std::string_view("\r\n")
                                                 : std::string_view("\n");
}

std::uint32_t ParseProfileInt(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i])) {
        ++i;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    std::uint32_t result = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        result = result * 10u + static_cast<std::uint32_t>(value[i] - '0');
    }
    return negative ? 0u - result : result;
}

}  // namespace settings
