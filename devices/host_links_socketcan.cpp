#include "devices/host_links.h"

#include "devices/socketcan/link_control.h"
#include "devices/socketcan/socketcan_adapter.h"

namespace devices {

std::vector<std::string> HostCanLinks() {
    std::vector<socketcan::LinkInfo> links;
    std::vector<std::string> names;
    if (socketcan::ListCanLinks(links) != 0)
        return names;
    for (const auto& link : links)
        names.push_back(link.name);
    return names;
}

bool HostHasLinks() {
    return true;
}

std::optional<std::string> HostLinkName(const platform::Device& device) {
    if (auto socketCan = dynamic_cast<const socketcan::SocketCanAdapter*>(&device))
        return socketCan->InterfaceName();
    return std::nullopt;
}

void RegisterHostLinkAdapter(const std::string& path, const std::string& link) {
    socketcan::RegisterSocketCanAdapter(path, link);
}

}  // namespace devices
