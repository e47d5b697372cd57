// The host's own CAN interfaces that adapters beyond the first are mapped to at start. Linux
// offers its SocketCAN interfaces; a host without them offers none and every adapter is simulated.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {
class Device;
}

namespace devices {

// The names of the host's CAN interfaces, in the order they were created; empty where the host
// has none or cannot list them.
std::vector<std::string> HostCanLinks();

// Whether the host has CAN interfaces of its own to map adapters to at all.
bool HostHasLinks();

// Registers the adapter at path on the named interface.
void RegisterHostLinkAdapter(const std::string& path, const std::string& link);

// The interface the device works on, when it is one of the host's; nullopt otherwise.
std::optional<std::string> HostLinkName(const platform::Device& device);

}  // namespace devices
