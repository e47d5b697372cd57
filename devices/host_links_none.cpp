#include "devices/host_links.h"

namespace devices {

std::vector<std::string> HostCanLinks() {
    return {};
}

bool HostHasLinks() {
    return false;
}

// Never called: there is no link to name.
void RegisterHostLinkAdapter(const std::string&, const std::string&) {}

std::optional<std::string> HostLinkName(const platform::Device&) {
    return std::nullopt;
}

}  // namespace devices
