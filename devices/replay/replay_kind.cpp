#include "devices/replay/replay_kind.h"

#include <filesystem>

#include "devices/replay/replay_adapter.h"
#include "platform/utf8_path.h"

namespace replay {
namespace {

std::optional<devices::AdapterFactory> ParseReplayMapping(std::optional<std::string_view> argument,
                                                          std::string& why) {
    std::string_view file = argument.value_or("");
    constexpr std::string_view kLoop = ":loop";
    const bool loop = file.size() >= kLoop.size() &&
                      devices::EqualsFolded(file.substr(file.size() - kLoop.size()), kLoop);
    if (loop)
        file.remove_suffix(kLoop.size());
    if (file.empty()) {
        why = "die Datei fehlt";
        return std::nullopt;
    }
    return [named = std::string(file), loop](const std::string& path,
                                             const devices::AdapterDefaults&) {
        std::error_code ignored;
        const std::filesystem::path absolute =
            std::filesystem::absolute(platform::PathFromUtf8(named), ignored);
        RegisterReplayAdapter(path, absolute.empty() ? named : platform::Utf8FromPath(absolute),
                              loop);
    };
}

}  // namespace

const devices::AdapterKind kAdapterKind{"replay", "N=replay:DATEI[:loop]", &ParseReplayMapping};

}  // namespace replay
