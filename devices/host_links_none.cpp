#include "devices/host_links.h"

namespace devices {

std::vector<std::string> HostCanLinks() {
    return {};
}

// Never called: there is no link to name.
void RegisterHostLinkAdapter(const std::string&, const std::string&) {}

}  // namespace devices
