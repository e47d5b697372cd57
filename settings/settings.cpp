#include "settings/settings.h"

#include <algorithm>
#include <string_view>

#include "settings/profile_file.h"

namespace settings {
namespace {

constexpr const char* kOptions = "Options";
constexpr const char* kAutoTriggerIds = "AutoTriggerIDs";
constexpr const char* kAutoIds = "AutoIds";
constexpr const char* kAutoTriggerData = "AutoTriggerData";
constexpr const char* kAutoData = "AutoData";
constexpr const char* kData = "Data";

std::uint32_t ReadInt(const ProfileDocument& document, std::string_view section,
                      std::string_view key, std::int32_t fallback) {
    const auto value = document.Find(section, key);
    if (!value || value->empty()) {
        return static_cast<std::uint32_t>(fallback);
    }
    return ParseProfileInt(*value);
}

// The whole value: what was saved comes back however long it is.
std::string ReadText(const ProfileDocument& document, std::string_view section,
                     std::string_view key) {
    const auto value = document.Find(section, key);
    return value ? std::string(value->substr(0, value->find('\0'))) : std::string();
}

std::string FormatLong(std::int32_t value) {
    return std::to_string(value);
}
std::string FormatLong(std::uint32_t value) {
    return std::to_string(static_cast<std::int32_t>(value));
}

std::string Numbered(const char* prefix, std::size_t index) {
    return prefix + std::to_string(index + 1);
}

}  // namespace

OptionsSettings LoadOptions() {
    const ProfileDocument document = LoadProfile(kSettingsFile);
    OptionsSettings options;
    options.acceptanceCode = ReadInt(document, kOptions, "AcceptanceCode", -1);
    options.acceptanceMask = ReadInt(document, kOptions, "AcceptanceMask", -1);
    options.softAcceptanceCode = ReadInt(document, kOptions, "SoftAcceptanceCode", 0);
    options.softAcceptanceMask = ReadInt(document, kOptions, "SoftAcceptanceMask", 0);
    options.baudrate = static_cast<std::int32_t>(ReadInt(document, kOptions, "Baudrate", 20000));
    return options;
}

bool SaveBaudrate(std::int32_t baudrate) {
    return UpdateProfile(kSettingsFile, [&](ProfileDocument& document) {
        return document.Set(kOptions, "Baudrate", FormatLong(baudrate));
    });
}

bool SaveAcceptance(std::uint32_t code, std::uint32_t mask) {
    return UpdateProfile(kSettingsFile, [&](ProfileDocument& document) {
        const bool codeChanged = document.Set(kOptions, "AcceptanceCode", FormatLong(code));
        const bool maskChanged = document.Set(kOptions, "AcceptanceMask", FormatLong(mask));
        return codeChanged || maskChanged;
    });
}

bool SaveSoftAcceptance(std::uint32_t code, std::uint32_t mask) {
    return UpdateProfile(kSettingsFile, [&](ProfileDocument& document) {
        const bool codeChanged = document.Set(kOptions, "SoftAcceptanceCode", FormatLong(code));
        const bool maskChanged = document.Set(kOptions, "SoftAcceptanceMask", FormatLong(mask));
        return codeChanged || maskChanged;
    });
}

std::array<ReplySettings, 4> LoadReplies() {
    const ProfileDocument document = LoadProfile(kSettingsFile);
    std::array<ReplySettings, 4> replies;
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const std::string key = std::to_string(i);
        replies[i].triggerId = ReadInt(document, kAutoTriggerIds, key, 0);
        replies[i].replyId = ReadInt(document, kAutoIds, key, 0);
        replies[i].triggerData = ReadText(document, kAutoTriggerData, key);
        replies[i].replyData = ReadText(document, kAutoData, key);
    }
    return replies;
}

bool SaveReplies(const std::array<ReplySettings, 4>& replies) {
    return UpdateProfile(kSettingsFile, [&](ProfileDocument& document) {
        bool changed = false;
        for (std::size_t i = 0; i < replies.size(); ++i) {
            const std::string key = std::to_string(i);
            changed |= document.Set(kAutoTriggerIds, key, FormatLong(replies[i].triggerId));
            changed |= document.Set(kAutoIds, key, FormatLong(replies[i].replyId));
            changed |= document.Set(kAutoTriggerData, key, replies[i].triggerData);
            changed |= document.Set(kAutoData, key, replies[i].replyData);
        }
        return changed;
    });
}

SendSettings LoadSendSettings() {
    const ProfileDocument document = LoadProfile(kSettingsFile);
    SendSettings send;
    for (std::size_t i = 0; i < send.id.size(); ++i) {
        send.id[i] = ReadText(document, kData, Numbered("Id", i));
        send.msg[i] = ReadText(document, kData, Numbered("Msg", i));
    }
    send.wait = static_cast<std::int32_t>(ReadInt(document, kData, "Wait5", 50));
    for (std::size_t i = 0; i < send.chk.size(); ++i) {
        send.chk[i] = static_cast<int>(ReadInt(document, kData, Numbered("Chk", i), 0));
    }
    return send;
}

bool SaveSendSettings(const SendSettings& send) {
    return UpdateProfile(kSettingsFile, [&](ProfileDocument& document) {
        bool changed = false;
        for (std::size_t i = 0; i < send.id.size(); ++i) {
            changed |= document.Set(kData, Numbered("Id", i), send.id[i]);
            changed |= document.Set(kData, Numbered("Msg", i), send.msg[i]);
        }
        changed |= document.Set(kData, "Wait5", FormatLong(send.wait));
        for (std::size_t i = 0; i < send.chk.size(); ++i) {
            changed |= document.Set(kData, Numbered("Chk", i), send.chk[i] != 0 ? "1" : "0");
        }
        return changed;
    });
}

void LoadColumnWidths(const char* section, std::span<int> widths) {
    const ProfileDocument document = LoadProfile(kSettingsFile);
    for (std::size_t i = 0; i < widths.size(); ++i) {
        const auto w =
            static_cast<std::int32_t>(ReadInt(document, section, "Width" + std::to_string(i), 0));
        widths[i] = w > 0 && w <= kMaxColumnWidth ? w : 0;
    }
}

bool SaveColumnWidths(const char* section, std::span<const int> widths) {
    return UpdateProfile(kSettingsFile, [&](ProfileDocument& document) {
        bool changed = false;
        for (std::size_t i = 0; i < widths.size(); ++i) {
            changed |= document.Set(section, "Width" + std::to_string(i),
                                    FormatLong(static_cast<std::int32_t>(widths[i])));
        }
        return changed;
    });
}

std::array<int, kLogColumns> LoadColumnWidths() {
    std::array<int, kLogColumns> widths{};
    LoadColumnWidths(kLogColumnsSection, widths);
    return widths;
}

bool SaveColumnWidths(const std::array<int, kLogColumns>& widths) {
    return SaveColumnWidths(kLogColumnsSection, std::span<const int>(widths));
}

std::vector<std::string> LoadDatabaseFiles() {
    const ProfileDocument document = LoadProfile(kSettingsFile);
    std::vector<std::string> files;
    const std::uint32_t count = ReadInt(document, kDatabasesSection, "Anzahl", 0);
    for (std::uint32_t i = 1; i <= count && i <= 64; ++i) {
        std::string file = ReadText(document, kDatabasesSection, "Datei" + std::to_string(i));
        if (!file.empty())
            files.push_back(std::move(file));
    }
    return files;
}

bool SaveDatabaseFiles(const std::vector<std::string>& files) {
    return UpdateProfile(kSettingsFile, [&](ProfileDocument& document) {
        bool changed = document.Set(kDatabasesSection, "Anzahl",
                                    FormatLong(static_cast<std::int32_t>(files.size())));
        for (std::size_t i = 0; i < files.size(); ++i)
            changed |= document.Set(kDatabasesSection, "Datei" + std::to_string(i + 1), files[i]);
        return changed;
    });
}

std::string LoadSignalValues(std::string_view message) {
    return ReadText(LoadProfile(kSettingsFile), kSignalValuesSection, message);
}

bool SaveSignalValues(std::string_view message, std::string_view values) {
    return UpdateProfile(kSettingsFile, [&](ProfileDocument& document) {
        return document.Set(kSignalValuesSection, message, values);
    });
}

std::uint64_t LoadPlotPointBudget(std::uint64_t fallback) {
    const std::uint32_t points = ReadInt(LoadProfile(kSettingsFile), kPlotSection, "Punkte", 0);
    return points == 0 ? fallback : std::clamp<std::uint64_t>(points, 1'000'000, 200'000'000);
}

bool SavePlotPointBudget(std::uint64_t points) {
    return UpdateProfile(kSettingsFile, [&](ProfileDocument& document) {
        return document.Set(kPlotSection, "Punkte", std::to_string(points));
    });
}

}  // namespace settings
