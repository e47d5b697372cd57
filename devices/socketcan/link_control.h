// The interface's link, through rtnetlink: what kind of link it is, whether it is up, its bit
// rate, and setting that rate.
//
// Every function returns 0 or an errno value, as the kernel gives it (EPERM without the right to
// configure links, EBUSY for a bit rate on a link that is up, EINVAL for a rate the controller
// cannot run at, EOPNOTSUPP where the link has no bit timing at all).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace socketcan {

inline constexpr std::uint16_t kLinkTypeCan = 280;  // ARPHRD_CAN

struct LinkInfo {
    int index = 0;
    std::string name;
    std::uint16_t type = 0;  // ARPHRD_*
    bool up = false;
    // IFLA_INFO_KIND: "can" for controllers behind the kernel's CAN device layer, which have a
    // bit timing; "vcan", "vxcan" and the like for software links that have none.
    std::string kind;
    // The configured bit rate; 0 when none is configured or the link has no bit timing.
    std::uint32_t bitrate = 0;

    bool HasBitTiming() const { return kind == "can"; }
};

int QueryLink(int index, LinkInfo& out);
// The links of type CAN, in order of their interface index (the order they were created in).
int ListCanLinks(std::vector<LinkInfo>& out);
int SetLinkUp(int index, bool up);
// The link must be down.
int SetLinkBitrate(int index, std::uint32_t bitrate);

}  // namespace socketcan
