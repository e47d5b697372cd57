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

void RegisterHostLinkAdapter(const std::string& path, const std::string& link) {
    socketcan::RegisterSocketCanAdapter(path, link);
}

}  // namespace devices
