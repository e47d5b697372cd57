#include "devices/driver/driver_kind.h"

#include "platform/device.h"

namespace driver {
namespace {

std::optional<devices::AdapterFactory> ParseDriverMapping(std::optional<std::string_view> argument,
                                                          std::string& why) {
    if (argument) {
        why = "driver nimmt kein Argument";
        return std::nullopt;
    }
    return [](const std::string& path, const devices::AdapterDefaults&) {
        platform::UnregisterDevice(path);
    };
}

}  // namespace

const devices::AdapterKind kAdapterKind{"driver", "N=driver", &ParseDriverMapping};

}  // namespace driver
