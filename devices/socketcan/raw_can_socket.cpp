#include "devices/socketcan/raw_can_socket.h"

#include <linux/can/raw.h>
#include <net/if.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "devices/socketcan/link_control.h"

namespace socketcan {
namespace {

constexpr int kMaxBatch = 64;
// Room for a time stamp and the drop counter.
constexpr std::size_t kControlBytes =
    CMSG_SPACE(sizeof(timespec)) + CMSG_SPACE(sizeof(std::uint32_t)) + 64;

int SetOption(int fd, int level, int name, int value) {
    return setsockopt(fd, level, name, &value, sizeof value) == 0 ? 0 : errno;
}

}  // namespace

int RawCanSocket::Open(const std::string& interfaceName, std::span<const can_filter> filters,
                       int receiveBufferBytes) {
    Close();
    if (interfaceName.empty() || interfaceName.size() >= IFNAMSIZ)
        return ENODEV;
    const unsigned index = if_nametoindex(interfaceName.c_str());
    if (index == 0)
        return errno == ENXIO || errno == 0 ? ENODEV : errno;

    LinkInfo link;
    if (int error = QueryLink(static_cast<int>(index), link))
        return error;
    // What binding a CAN socket to another kind of interface would answer.
    if (link.type != kLinkTypeCan)
        return ENODEV;
    if (!link.up)
        return ENETDOWN;

    int fd = socket(PF_CAN, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, CAN_RAW);
    if (fd < 0)
        return errno;
    auto fail = [fd](int error) {
        close(fd);
        return error;
    };

    const can_err_mask_t errors = CAN_ERR_MASK;
    if (setsockopt(fd, SOL_CAN_RAW, CAN_RAW_ERR_FILTER, &errors, sizeof errors) != 0) {
        return fail(errno);
    }
    constexpr std::pair<int, int> kSwitchedOn[] = {{SOL_CAN_RAW, CAN_RAW_RECV_OWN_MSGS},
                                                   {SOL_SOCKET, SO_RXQ_OVFL},
                                                   {SOL_SOCKET, SO_TIMESTAMPNS}};
    for (auto [level, name] : kSwitchedOn) {
        if (int error = SetOption(fd, level, name, 1))
            return fail(error);
    }
    // The kernel caps the size at its limit; a smaller buffer only means losses come sooner.
    if (receiveBufferBytes > 0)
        SetOption(fd, SOL_SOCKET, SO_RCVBUF, receiveBufferBytes);

    fd_ = fd;
    if (int error = SetFilters(filters)) {
        fd_ = -1;
        return fail(error);
    }
    sockaddr_can address{};
    address.can_family = AF_CAN;
    address.can_ifindex = static_cast<int>(index);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        fd_ = -1;
        return fail(errno);
    }
    index_ = static_cast<int>(index);
    return 0;
}

void RawCanSocket::Close() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    index_ = 0;
}

int RawCanSocket::SetFilters(std::span<const can_filter> filters) {
    // An empty list passes nothing, which is what it means here.
    const void* data = filters.empty() ? nullptr : filters.data();
    if (setsockopt(fd_, SOL_CAN_RAW, CAN_RAW_FILTER, data,
                   static_cast<socklen_t>(filters.size_bytes())) != 0) {
        return errno;
    }
    return 0;
}

int RawCanSocket::Send(const can_frame& frame) {
    for (;;) {
        ssize_t n = send(fd_, &frame, sizeof frame, MSG_DONTWAIT);
        if (n == static_cast<ssize_t>(sizeof frame))
            return 0;
        if (n >= 0)
            return EIO;
        if (errno != EINTR)
            return errno;
    }
}

int RawCanSocket::Receive(std::span<ReceivedFrame> out) {
    const int batch = static_cast<int>(std::min<std::size_t>(out.size(), kMaxBatch));
    mmsghdr messages[kMaxBatch];
    iovec vectors[kMaxBatch];
    alignas(cmsghdr) std::uint8_t control[kMaxBatch][kControlBytes];
    for (int i = 0; i < batch; ++i) {
        vectors[i] = {&out[i].frame, sizeof(can_frame)};
        messages[i] = {};
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        messages[i].msg_hdr.msg_control = control[i];
        messages[i].msg_hdr.msg_controllen = kControlBytes;
    }
    int n;
    do {
        n = recvmmsg(fd_, messages, static_cast<unsigned>(batch), MSG_DONTWAIT, nullptr);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return -errno;

    int kept = 0;
    for (int i = 0; i < n; ++i) {
        const msghdr& header = messages[i].msg_hdr;
        if (messages[i].msg_len != sizeof(can_frame))
            continue;  // not a classic frame
        ReceivedFrame& r = out[kept];
        if (kept != i)
            r.frame = out[i].frame;
        r.own = (header.msg_flags & MSG_CONFIRM) != 0;
        r.timeNs = 0;
        r.hasDrops = false;
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c;
             c = CMSG_NXTHDR(const_cast<msghdr*>(&header), c)) {
            if (c->cmsg_level != SOL_SOCKET)
                continue;
            if (c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec ts;
                std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                r.timeNs = std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
            } else if (c->cmsg_type == SO_RXQ_OVFL) {
                std::memcpy(&r.drops, CMSG_DATA(c), sizeof r.drops);
                r.hasDrops = true;
            }
        }
        if (r.timeNs == 0) {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            r.timeNs = std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
        }
        ++kept;
    }
    return kept;
}

}  // namespace socketcan
