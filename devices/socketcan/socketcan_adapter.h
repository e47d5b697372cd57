// The adapter on a real CAN bus: a device that answers the adapter driver's requests over a raw
// SocketCAN socket bound to one network interface (can0, vcan0, ...).
//
// Open binds a socket to the interface; a missing interface fails with ENODEV, one that is down
// with ENETDOWN, a kernel without CAN sockets with EAFNOSUPPORT, so the operator reads the
// system's own text. While the handle is open one reader thread sleeps in poll() on the socket,
// turns what arrives into records in the shared record queue (devices/common/record_queue.h) and
// completes the wait request through it; closing the handle stops and joins the thread.
//
// Records:
//   received frame         2, or 11/12 with format reporting; after the hardware filter (the
//                          SJA1000's semantics, applied here: the kernel cannot match data
//                          bytes) and the software filter (a kernel filter, applied here again)
//   own frame              3, or 13/14, once the kernel hands it back as sent (its confirmation)
//   error frame            4, 5, 7, 8, 9 (devices/socketcan/error_frame_mapping.h)
//   socket drops           the socket's drop counter: frames the kernel dropped because the
//                          socket's buffer was full count as lost, like frames the record queue
//                          drops, with the data-overrun record (5) once until it is cleared
// Every record carries the kernel's receive time stamp, on a clock of 10000 ticks per ms (the
// system's real-time clock, in 100 ns ticks), and the SJA1000 status byte the chip would show.
//
// Baud rate: an interface that already runs at the rate accepts it unchanged; otherwise the
// rate is set through rtnetlink (link down, bit timing, link up), which needs the right to
// configure links (CAP_NET_ADMIN) and a rate the controller can run at; the kernel's error
// (EPERM, EINVAL, ...) refuses it otherwise. A link without bit timing (vcan, vxcan) accepts any
// rate from 1 to 1000000 bit/s: it has no bus speed of its own, and the rate only serves the
// program's bus-load figure.
//
// Commands: format reporting on/off, clear overrun. Standby and abort transmission have no
// SocketCAN counterpart: the interface's controller is not ours to put to sleep, and a frame
// handed to the kernel cannot be called back. Both are accepted and change nothing.
//
// Writes: Basic CAN sends 11-bit identifiers, PeliCAN the frame format's. A dlc above 8 sends 8
// bytes. A write the kernel refuses returns its error code: ENOBUFS when the transmit queue or
// the socket's send buffer is full, ENETDOWN when the interface went down.
//
// Kept from one open to the next: baud rate (20000 at first), hardware filter (all ones), software
// filter (0/0) and format reporting. An open starts in Basic CAN mode with standard frames and an
// empty record queue.
#pragma once

#include <pthread.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "devices/common/record_queue.h"
#include "devices/socketcan/error_frame_mapping.h"
#include "devices/socketcan/kernel_filter.h"
#include "devices/socketcan/raw_can_socket.h"
#include "platform/device.h"

namespace socketcan {

struct SocketCanOptions {
    std::size_t queueDepth = devices::RecordQueue::kDefaultDepth;
    // Asked for; the kernel caps it at net.core.rmem_max (twice that, in its own accounting).
    int receiveBufferBytes = 1 << 20;
};

class SocketCanAdapter final : public platform::Device {
  public:
    explicit SocketCanAdapter(std::string interfaceName, const SocketCanOptions& options = {});
    ~SocketCanAdapter() override;

    int Open() override;
    void Close() override;
    int Control(std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                std::uint32_t* returned) override;
    int ControlOverlapped(std::uint32_t code, std::shared_ptr<platform::Event> completion) override;
    void CancelIo() override;

    const std::string& InterfaceName() const { return interface_; }
    // The socket's drop counter as the reader thread last saw it (since the open).
    std::uint32_t SocketDrops() const { return drops_.load(); }
    // CPU time the reader threads of this adapter have used so far.
    std::chrono::nanoseconds ReaderCpuTime() const;

  private:
    int ControlWrite(std::span<const std::uint8_t> in);
    int SetBaudrate(std::uint32_t rate);
    int SetSoftAcceptance(std::uint32_t code, std::uint32_t mask);
    int SetMode(std::uint8_t mode);
    int ApplyKernelFiltersLocked();
    std::vector<can_filter> KernelFiltersLocked() const;

    void ReaderLoop(std::stop_token stop);
    void Deliver(const ReceivedFrame& received);
    void Fail(int error);
    // Waits until `end` unless stopped first; false when stopped.
    bool PauseUntil(std::chrono::steady_clock::time_point end);
    std::uint8_t Status(std::uint8_t activity) const;

    const std::string interface_;
    const SocketCanOptions options_;
    devices::RecordQueue queue_;

    std::atomic<std::uint32_t> baudrate_{20000};
    std::atomic<std::uint64_t> acceptance_;      // code << 32 | mask
    std::atomic<std::uint64_t> softAcceptance_;  // code << 32 | mask
    std::atomic<bool> formatReporting_{false};
    std::atomic<std::uint8_t> mode_;
    std::atomic<bool> extendedFormat_{false};

    // Guards the kernel filter list and the identifiers it must let through, and makes a write's
    // check of its identifier and its send one step against a filter change.
    std::mutex filterMutex_;
    std::vector<OwnId> ownIds_;
    // One bit-rate change at a time.
    std::mutex linkMutex_;

    RawCanSocket socket_;
    int stopFd_ = -1;
    std::atomic<int> pendingOwn_{0};
    std::atomic<bool> lastTxComplete_{false};
    std::atomic<std::uint32_t> drops_{0};
    // The reader thread's own.
    ErrorState errorState_;
    std::uint32_t lastDrops_ = 0;

    std::mutex waitMutex_;
    int failure_ = 0;  // guarded by waitMutex_; the reader's fatal socket error
    std::shared_ptr<platform::Event> waiter_;

    mutable std::mutex cpuMutex_;
    bool readerRunning_ = false;
    pthread_t readerThread_{};
    std::chrono::nanoseconds finishedCpu_{0};
    std::jthread reader_;
};

// Registers a new adapter on `interfaceName` under `path`, in place of whatever device was
// registered there. Returns it.
std::shared_ptr<SocketCanAdapter> RegisterSocketCanAdapter(const std::string& path,
                                                           const std::string& interfaceName);

}  // namespace socketcan
