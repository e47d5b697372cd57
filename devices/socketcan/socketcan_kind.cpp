#include "devices/socketcan/socketcan_kind.h"

#include <cctype>

#include "devices/socketcan/socketcan_adapter.h"

namespace socketcan {
namespace {

constexpr std::size_t kMaxInterfaceNameLength = 15;  // IFNAMSIZ less its terminator

// The kernel's own rule for interface names.
bool IsValidInterfaceName(std::string_view name) {
    if (name.empty() || name.size() > kMaxInterfaceNameLength || name == "." || name == "..") {
        return false;
    }
    for (char c : name) {
        if (c == '/' || c == ':' || std::isspace(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

std::optional<devices::AdapterFactory> ParseSocketCanMapping(
    std::optional<std::string_view> argument, std::string& why) {
    if (!argument || argument->empty()) {
        why = "die Schnittstelle fehlt";
        return std::nullopt;
    }
    if (!IsValidInterfaceName(*argument)) {
        why = devices::Quoted(*argument) + " ist kein Schnittstellenname";
        return std::nullopt;
    }
    return
        [name = std::string(*argument)](const std::string& path, const devices::AdapterDefaults&) {
            RegisterSocketCanAdapter(path, name);
        };
}

}  // namespace

const devices::AdapterKind kAdapterKind{"socketcan", "N=socketcan:SCHNITTSTELLE",
                                        &ParseSocketCanMapping};

}  // namespace socketcan
