#include "devices/socketcan/link_control.h"

#include <linux/can/netlink.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>

namespace socketcan {
namespace {

constexpr std::size_t kReceiveBufferBytes = 32 * 1024;

std::uint32_t NextSequence() {
    static std::atomic<std::uint32_t> sequence{1};
    return sequence.fetch_add(1, std::memory_order_relaxed);
}

// One netlink request under construction: a header, a fixed part and attributes, each aligned
// as netlink wants it.
class Request {
  public:
    Request(std::uint16_t type, std::uint16_t flags) {
        Header()->nlmsg_len = NLMSG_LENGTH(0);
        Header()->nlmsg_type = type;
        Header()->nlmsg_flags = flags;
        Header()->nlmsg_seq = NextSequence();
    }

    nlmsghdr* Header() { return reinterpret_cast<nlmsghdr*>(buffer_); }

    void Append(const void* data, std::size_t size) {
        std::size_t at = NLMSG_ALIGN(Header()->nlmsg_len);
        std::memcpy(buffer_ + at, data, size);
        Header()->nlmsg_len = static_cast<std::uint32_t>(at + size);
    }

    void Attribute(std::uint16_t type, const void* data, std::size_t size) {
        rtattr attr{};
        attr.rta_type = type;
        attr.rta_len = static_cast<std::uint16_t>(RTA_LENGTH(size));
        Append(&attr, sizeof attr);
        if (size > 0)
            Append(data, size);
    }

    // Returns the offset of the nested attribute, for EndNested.
    std::size_t BeginNested(std::uint16_t type) {
        std::size_t at = NLMSG_ALIGN(Header()->nlmsg_len);
        Attribute(type | NLA_F_NESTED, nullptr, 0);
        return at;
    }
    void EndNested(std::size_t at) {
        auto* attr = reinterpret_cast<rtattr*>(buffer_ + at);
        attr->rta_len = static_cast<std::uint16_t>(Header()->nlmsg_len - at);
    }

  private:
    alignas(nlmsghdr) std::uint8_t buffer_[512] = {};
};

class RouteSocket {
  public:
    RouteSocket() {
        fd_ = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        sockaddr_nl local{};
        local.nl_family = AF_NETLINK;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            error_ = errno;
    }
    ~RouteSocket() {
        if (fd_ >= 0)
            close(fd_);
    }
    RouteSocket(const RouteSocket&) = delete;
    RouteSocket& operator=(const RouteSocket&) = delete;

    // Sends the request and hands each reply message to `onMessage` until the kernel's answer is
    // complete: an acknowledgement, an error, the end of a dump, or a single reply.
    int Transact(Request& request, const std::function<void(const nlmsghdr&)>& onMessage) {
        if (error_ != 0)
            return error_;
        nlmsghdr* header = request.Header();
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (sendto(fd_, header, header->nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                   sizeof kernel) < 0) {
            return errno;
        }
        const std::uint32_t sequence = header->nlmsg_seq;
        const bool expectsAck = (header->nlmsg_flags & NLM_F_ACK) != 0;
        const bool dump = (header->nlmsg_flags & NLM_F_DUMP) == NLM_F_DUMP;
        std::vector<std::uint8_t> buffer(kReceiveBufferBytes);
        for (;;) {
            ssize_t n = recv(fd_, buffer.data(), buffer.size(), 0);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            const auto received = static_cast<std::size_t>(n);
            // NLMSG_OK and NLMSG_NEXT, without their mix of signed and unsigned lengths.
            for (std::size_t at = 0; at + sizeof(nlmsghdr) <= received;) {
                auto* msg = reinterpret_cast<const nlmsghdr*>(buffer.data() + at);
                if (msg->nlmsg_len < sizeof(nlmsghdr) || msg->nlmsg_len > received - at)
                    break;
                at += NLMSG_ALIGN(msg->nlmsg_len);
                if (msg->nlmsg_seq != sequence)
                    continue;
                if (msg->nlmsg_type == NLMSG_ERROR) {
                    auto* err = static_cast<const nlmsgerr*>(NLMSG_DATA(msg));
                    return -err->error;  // 0: the acknowledgement
                }
                if (msg->nlmsg_type == NLMSG_DONE)
                    return 0;
                onMessage(*msg);
                if (!dump && !expectsAck)
                    return 0;
            }
        }
    }

  private:
    int fd_ = -1;
    int error_ = 0;
};

std::uint16_t AttributeType(const rtattr* attr) {
    return static_cast<std::uint16_t>(attr->rta_type & NLA_TYPE_MASK);
}

void ParseCanData(const rtattr* data, LinkInfo& out) {
    int length = static_cast<int>(RTA_PAYLOAD(data));
    for (auto* a = static_cast<const rtattr*>(RTA_DATA(data)); RTA_OK(a, length);
         a = RTA_NEXT(a, length)) {
        if (AttributeType(a) == IFLA_CAN_BITTIMING && RTA_PAYLOAD(a) >= sizeof(can_bittiming)) {
            can_bittiming timing{};
            std::memcpy(&timing, RTA_DATA(a), sizeof timing);
            // Some drivers report an unknown rate as all ones until one is set.
            out.bitrate = timing.bitrate == 0xFFFFFFFFu ? 0 : timing.bitrate;
        }
    }
}

void ParseLinkInfo(const rtattr* linkInfo, LinkInfo& out) {
    int length = static_cast<int>(RTA_PAYLOAD(linkInfo));
    const rtattr* data = nullptr;
    for (auto* a = static_cast<const rtattr*>(RTA_DATA(linkInfo)); RTA_OK(a, length);
         a = RTA_NEXT(a, length)) {
        if (AttributeType(a) == IFLA_INFO_KIND) {
            const char* text = static_cast<const char*>(RTA_DATA(a));
            out.kind.assign(text, strnlen(text, RTA_PAYLOAD(a)));
        } else if (AttributeType(a) == IFLA_INFO_DATA) {
            data = a;
        }
    }
    if (data && out.kind == "can")
        ParseCanData(data, out);
}

LinkInfo ParseLink(const nlmsghdr& msg) {
    LinkInfo info;
    auto* ifi = static_cast<const ifinfomsg*>(NLMSG_DATA(&msg));
    info.index = ifi->ifi_index;
    info.type = ifi->ifi_type;
    info.up = (ifi->ifi_flags & IFF_UP) != 0;
    int length = static_cast<int>(IFLA_PAYLOAD(&msg));
    for (auto* a = IFLA_RTA(ifi); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
        if (AttributeType(a) == IFLA_IFNAME) {
            const char* text = static_cast<const char*>(RTA_DATA(a));
            info.name.assign(text, strnlen(text, RTA_PAYLOAD(a)));
        } else if (AttributeType(a) == IFLA_LINKINFO) {
            ParseLinkInfo(a, info);
        }
    }
    return info;
}

ifinfomsg LinkHeader(int index) {
    ifinfomsg ifi{};
    ifi.ifi_family = AF_UNSPEC;
    ifi.ifi_index = index;
    return ifi;
}

}  // namespace

int QueryLink(int index, LinkInfo& out) {
    RouteSocket route;
    Request request(RTM_GETLINK, NLM_F_REQUEST);
    ifinfomsg ifi = LinkHeader(index);
    request.Append(&ifi, sizeof ifi);
    bool found = false;
    int result = route.Transact(request, [&](const nlmsghdr& msg) {
        if (msg.nlmsg_type != RTM_NEWLINK)
            return;
        out = ParseLink(msg);
        found = true;
    });
    if (result != 0)
        return result;
    return found ? 0 : ENODEV;
}

int ListCanLinks(std::vector<LinkInfo>& out) {
    RouteSocket route;
    Request request(RTM_GETLINK, NLM_F_REQUEST | NLM_F_DUMP);
    ifinfomsg ifi = LinkHeader(0);
    request.Append(&ifi, sizeof ifi);
    std::vector<LinkInfo> links;
    int result = route.Transact(request, [&](const nlmsghdr& msg) {
        if (msg.nlmsg_type != RTM_NEWLINK)
            return;
        LinkInfo info = ParseLink(msg);
        if (info.type == kLinkTypeCan)
            links.push_back(std::move(info));
    });
    if (result != 0)
        return result;
    std::sort(links.begin(), links.end(),
              [](const LinkInfo& a, const LinkInfo& b) { return a.index < b.index; });
    out = std::move(links);
    return 0;
}

int SetLinkUp(int index, bool up) {
    RouteSocket route;
    Request request(RTM_NEWLINK, NLM_F_REQUEST | NLM_F_ACK);
    ifinfomsg ifi = LinkHeader(index);
    ifi.ifi_flags = up ? IFF_UP : 0;
    ifi.ifi_change = IFF_UP;
    request.Append(&ifi, sizeof ifi);
    return route.Transact(request, [](const nlmsghdr&) {});
}

int SetLinkBitrate(int index, std::uint32_t bitrate) {
    RouteSocket route;
    Request request(RTM_NEWLINK, NLM_F_REQUEST | NLM_F_ACK);
    ifinfomsg ifi = LinkHeader(index);
    request.Append(&ifi, sizeof ifi);
    std::size_t linkInfo = request.BeginNested(IFLA_LINKINFO);
    request.Attribute(IFLA_INFO_KIND, "can", 4);
    std::size_t data = request.BeginNested(IFLA_INFO_DATA);
    can_bittiming timing{};
    timing.bitrate = bitrate;
    request.Attribute(IFLA_CAN_BITTIMING, &timing, sizeof timing);
    request.EndNested(data);
    request.EndNested(linkInfo);
    return route.Transact(request, [](const nlmsghdr&) {});
}

}  // namespace socketcan
