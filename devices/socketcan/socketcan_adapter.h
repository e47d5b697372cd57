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
// Requests, the settings kept from one open to the next and the record queue are the adapter
// base's (devices/common/adapter_base.h).
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

#include "devices/common/adapter_base.h"
#include "devices/common/thread_cpu_time.h"
#include "devices/socketcan/error_frame_mapping.h"
#include "devices/socketcan/kernel_filter.h"
#include "devices/socketcan/raw_can_socket.h"

namespace socketcan {

struct SocketCanOptions {
    std::size_t queueDepth = devices::RecordQueue::kDefaultDepth;
    // Asked for; the kernel caps it at net.core.rmem_max (twice that, in its own accounting).
    int receiveBufferBytes = 1 << 20;
};

class SocketCanAdapter final : public devices::AdapterBase {
  public:
    explicit SocketCanAdapter(std::string interfaceName, const SocketCanOptions& options = {});
    ~SocketCanAdapter() override;

    const std::string& InterfaceName() const { return interface_; }
    std::string BusName(int) const override { return interface_; }
    // The socket's drop counter as the reader thread last saw it (since the open).
    std::uint32_t SocketDrops() const { return drops_.load(); }
    // CPU time the reader threads of this adapter have used so far.
    std::chrono::nanoseconds ReaderCpuTime() const;

  private:
    int OnOpen() override;
    void OnClose() override;
    CanDeviceInfo DeviceInfo() override;
    int SetBaudrate(std::uint32_t rate) override;
    int SetMode(std::uint8_t mode) override;
    int SetSoftAcceptance(std::uint32_t code, std::uint32_t mask) override;
    int Write(const CanMsg& msg) override;
    int Read(CanMsg& record) override;
    int PostWait(std::shared_ptr<platform::Event> completion) override;
    void CancelWait() override;
    // The kernel's filter list for these settings; under SettingsMutex().
    std::vector<can_filter> KernelFiltersLocked(std::uint32_t softCode, std::uint32_t softMask,
                                                std::uint8_t mode) const;

    void ReaderLoop(std::stop_token stop);
    void Deliver(const ReceivedFrame& received);
    void Fail(int error);
    // Waits until `end` unless stopped first; false when stopped.
    bool PauseUntil(std::chrono::steady_clock::time_point end);
    std::uint8_t Status(std::uint8_t activity) const;

    const std::string interface_;
    const SocketCanOptions options_;

    // The identifiers the kernel's filter must let through for confirmations. Guarded by
    // SettingsMutex(), which also makes a write's check of its identifier and its send one step
    // against a filter change.
    std::vector<OwnId> ownIds_;

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

    devices::ThreadCpuAccount readerCpu_;
    std::jthread reader_;
};

// Registers a new adapter on `interfaceName` under `path`, in place of whatever device was
// registered there. Returns it.
std::shared_ptr<SocketCanAdapter> RegisterSocketCanAdapter(const std::string& path,
                                                           const std::string& interfaceName);

}  // namespace socketcan
