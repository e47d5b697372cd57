// Arbitrary bytes as a settings file: the reader must neither crash nor overrun a buffer, and
// must keep its promises: a string read always fits and is terminated, the platform-shaped reads
// agree with the document, and an edit changes no key but its own.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "settings/private_profile.h"
#include "settings/profile_document.h"

namespace {

using settings::ProfileDocument;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// The input as a file for as long as one input runs: libFuzzer ends without running exit
// handlers, so nothing may be left for them to clean up.
class ScratchFile {
  public:
    explicit ScratchFile(std::string_view text) {
        // Memory-backed when there is such a folder: a file is written for every input.
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", error)
                                                 ? std::filesystem::path("/dev/shm")
                                                 : std::filesystem::temp_directory_path();
        path_ = (folder / "vesk-fuzz-XXXXXX").string();
        const int fd = ::mkstemp(path_.data());
        Require(fd >= 0, "a scratch file can be made");
        Require(::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()),
                "the scratch file is written");
        ::close(fd);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() { ::unlink(path_.c_str()); }

    const char* Path() const { return path_.c_str(); }

  private:
    std::string path_;
};

std::string UpToNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

// A name that reaches the C functions whole and that a write keeps as it is.
bool Usable(std::string_view name) {
    return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

// What every readable key holds: the first section of each name, the first key of each name.
using Snapshot = std::map<std::pair<std::string, std::string>, std::string>;

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

Snapshot Take(const ProfileDocument& document) {
    Snapshot snapshot;
    for (std::string_view section : document.SectionNames()) {
        for (std::string_view key : document.KeyNames(section)) {
            const auto value = document.Find(section, key);
            if (value) {
                snapshot.emplace(std::make_pair(Lower(section), Lower(key)), std::string(*value));
            }
        }
    }
    return snapshot;
}

void CheckStringReads(const ProfileDocument& document, const char* file, unsigned size) {
    std::vector<char> buffer(size);  // exactly the size given, so an overrun is caught
    const unsigned sections =
        GetPrivateProfileStringA(nullptr, nullptr, "", buffer.data(), size, file);
    Require(sections + 1 <= size || size == 0, "a list fits its buffer");
    if (size >= 2) {
        Require(buffer[sections] == '\0', "a list is terminated");
    }
    for (std::string_view section : document.SectionNames()) {
        if (!Usable(section)) {
            continue;
        }
        const std::string sectionName(section);
        GetPrivateProfileStringA(sectionName.c_str(), nullptr, "", buffer.data(), size, file);
        for (std::string_view key : document.KeyNames(section)) {
            if (!Usable(key)) {
                continue;
            }
            const std::string keyName(key);
            // A listed key may still read as absent: an earlier line of that name without '='
            // hides it.
            const auto value = document.Find(section, key);
            const unsigned count = GetPrivateProfileStringA(sectionName.c_str(), keyName.c_str(),
                                                            "", buffer.data(), size, file);
            if (size == 0) {
                Require(count == 0, "nothing is copied into no buffer");
                continue;
            }
            const std::string expected = UpToNul(value.value_or("")).substr(0, size - 1);
            Require(count == expected.size(), "the count is what was copied");
            Require(
                std::memcmp(buffer.data(), expected.data(), count) == 0 && buffer[count] == '\0',
                "the copy is the value, cut and terminated");
            const unsigned number =
                GetPrivateProfileIntA(sectionName.c_str(), keyName.c_str(), 12345, file);
            Require(
                number == (!value || value->empty() ? 12345u : settings::ParseProfileInt(*value)),
                "the integer read agrees with the document");
        }
    }
}

void CheckEdits(const ProfileDocument& document, std::string_view section, std::string_view key) {
    const Snapshot before = Take(document);
    ProfileDocument edited = document;
    edited.Set(section, key, "fuzz value");
    const auto written = edited.Find(section, key);
    Require(written && *written == "fuzz value", "a written key reads back");
    Snapshot after = Take(edited);
    for (const auto& [name, value] : before) {
        if (name != std::make_pair(Lower(section), Lower(key))) {
            const auto found = after.find(name);
            Require(found != after.end() && found->second == value, "a write keeps the other keys");
        }
    }

    ProfileDocument erased = document;
    erased.EraseSection(section);
    Require(!erased.Find(section, key), "an erased section is gone");
    after = Take(erased);
    for (const auto& [name, value] : before) {
        if (name.first != Lower(section)) {
            Require(after.count(name) == 1 && after.at(name) == value,
                    "erasing a section keeps the others");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const unsigned bufferSize = data[0] % 64;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const ProfileDocument document(text);
    const ScratchFile file(text);
    CheckStringReads(document, file.Path(), bufferSize);

    const auto sections = document.SectionNames();
    std::string section = "Options";
    if (!sections.empty() && Usable(sections.back())) {
        section = sections.back();
    }
    const auto keys = document.KeyNames(section);
    CheckEdits(document, section,
               !keys.empty() && Usable(keys.front()) ? keys.front() : "Baudrate");
    CheckEdits(document, "New Section", "New Key");
    return 0;
}
