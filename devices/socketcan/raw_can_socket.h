// A raw CAN socket bound to one interface, set up the way the adapter needs it: its own frames
// come back once the kernel has sent them (flagged as confirmations), error frames of every class
// arrive, each frame carries the kernel's receive time stamp and the socket's drop counter.
#pragma once

#include <linux/can.h>

#include <cstdint>
#include <span>
#include <string>

namespace socketcan {

// One frame as the socket delivered it.
struct ReceivedFrame {
    can_frame frame{};
    std::int64_t timeNs = 0;  // kernel receive time, ns since the epoch (CLOCK_REALTIME)
    bool own = false;         // our own frame, confirmed sent (MSG_CONFIRM)
    bool hasDrops = false;
    std::uint32_t drops = 0;  // frames the socket had dropped when this one was queued
};

class RawCanSocket {
  public:
    RawCanSocket() = default;
    ~RawCanSocket() { Close(); }
    RawCanSocket(const RawCanSocket&) = delete;
    RawCanSocket& operator=(const RawCanSocket&) = delete;

    // 0 or an errno value: ENODEV when there is no such interface or it is no CAN interface,
    // ENETDOWN when it is down, EAFNOSUPPORT on a kernel without CAN sockets. The socket is
    // non-blocking; the filter list is set before it is bound.
    int Open(const std::string& interfaceName, std::span<const can_filter> filters,
             int receiveBufferBytes);
    void Close();

    int Fd() const { return fd_; }
    int InterfaceIndex() const { return index_; }

    int SetFilters(std::span<const can_filter> filters);
    // 0 or the errno value of the refused send (EAGAIN when the send buffer is full).
    int Send(const can_frame& frame);
    // Up to out.size() frames without waiting: how many, or -errno (-EAGAIN: none waiting).
    int Receive(std::span<ReceivedFrame> out);

  private:
    int fd_ = -1;
    int index_ = 0;
};

}  // namespace socketcan
