#include "devices/socketcan/socketcan_adapter.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "channel/device_protocol.h"
#include "devices/common/acceptance_filter.h"
#include "devices/common/sja1000_status.h"
#include "devices/common/thread_cpu_time.h"
#include "devices/socketcan/frame_conversion.h"
#include "devices/socketcan/link_control.h"
#include "platform/error.h"

namespace socketcan {
namespace {

namespace sr = devices::sja1000;

constexpr std::int64_t kNanosPerTick = 100;  // 10000 ticks per ms
constexpr std::uint32_t kMaxUntimedBaudrate = 1'000'000;
constexpr std::size_t kReceiveBatch = 64;
// Frames handed over in one go at most, and the shortest round of reading on a busy bus.
constexpr int kMaxRoundFrames = 256;
constexpr auto kRoundPeriod = std::chrono::milliseconds(1);

std::uint64_t Pack(std::uint32_t code, std::uint32_t mask) {
    return std::uint64_t{code} << 32 | mask;
}
std::uint32_t CodeOf(std::uint64_t pair) {
    return static_cast<std::uint32_t>(pair >> 32);
}
std::uint32_t MaskOf(std::uint64_t pair) {
    return static_cast<std::uint32_t>(pair);
}

std::uint32_t ReadU32(std::span<const std::uint8_t> in, std::size_t offset) {
    return std::uint32_t{in[offset]} | std::uint32_t{in[offset + 1]} << 8 |
           std::uint32_t{in[offset + 2]} << 16 | std::uint32_t{in[offset + 3]} << 24;
}

std::uint64_t TicksOf(std::int64_t timeNs) {
    return static_cast<std::uint64_t>(timeNs / kNanosPerTick);
}

void Stamp(CanMsg& m, std::uint64_t ticks) {
    m.ticksLow = static_cast<std::uint32_t>(ticks);
    m.ticksHigh = static_cast<std::uint32_t>(ticks >> 32);
}

}  // namespace

SocketCanAdapter::SocketCanAdapter(std::string interfaceName, const SocketCanOptions& options)
    : interface_(std::move(interfaceName)),
      options_(options),
      queue_(options.queueDepth),
      acceptance_(Pack(0xFFFFFFFFu, 0xFFFFFFFFu)),
      softAcceptance_(Pack(0, 0)),
      mode_(CAN_MODE_BASIC) {}

SocketCanAdapter::~SocketCanAdapter() {
    Close();
}

int SocketCanAdapter::Open() {
    if (reader_.joinable())
        return EBUSY;
    mode_ = CAN_MODE_BASIC;
    extendedFormat_ = false;
    std::vector<can_filter> filters;
    {
        std::lock_guard lock(filterMutex_);
        ownIds_.clear();
        filters = KernelFiltersLocked();
    }
    if (int error = socket_.Open(interface_, filters, options_.receiveBufferBytes))
        return error;
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) {
        int error = errno;
        socket_.Close();
        return error;
    }
    queue_.Clear();
    errorState_ = {};
    lastDrops_ = 0;
    drops_ = 0;
    pendingOwn_ = 0;
    lastTxComplete_ = false;
    {
        std::lock_guard lock(waitMutex_);
        failure_ = 0;
        waiter_.reset();
    }
    try {
        reader_ = std::jthread([this](std::stop_token stop) { ReaderLoop(stop); });
    } catch (const std::system_error& e) {
        close(stopFd_);
        stopFd_ = -1;
        socket_.Close();
        return e.code().value() != 0 ? e.code().value() : EAGAIN;
    }
    std::lock_guard lock(cpuMutex_);
    readerThread_ = reader_.native_handle();
    readerRunning_ = true;
    return 0;
}

void SocketCanAdapter::Close() {
    if (!reader_.joinable())
        return;
    reader_.request_stop();
    reader_.join();
    reader_ = std::jthread();
    close(stopFd_);
    stopFd_ = -1;
    socket_.Close();
    queue_.Clear();
    std::lock_guard lock(waitMutex_);
    waiter_.reset();
}

std::chrono::nanoseconds SocketCanAdapter::ReaderCpuTime() const {
    std::lock_guard lock(cpuMutex_);
    auto total = finishedCpu_;
    if (readerRunning_)
        total += devices::ThreadCpuTime(readerThread_);
    return total;
}

// ---- requests ----

int SocketCanAdapter::Control(std::uint32_t code, std::span<const std::uint8_t> in,
                              std::span<std::uint8_t> out, std::uint32_t* returned) {
    if (returned)
        *returned = 0;
    auto sized = [&](std::size_t n) { return in.size() == n && out.empty(); };
    switch (code) {
        case IOCTL_CAN_READ: {
            if (!in.empty() || out.size() != kCanMsgSize)
                return EINVAL;
            CanMsg record{};  // valid 0: nothing to read
            if (!queue_.Pop(record)) {
                std::lock_guard lock(waitMutex_);
                if (failure_ != 0)
                    return failure_;
            }
            std::uint8_t bytes[kCanMsgSize];
            ToWire(record, bytes);
            std::memcpy(out.data(), bytes, kCanMsgSize);
            if (returned)
                *returned = kCanMsgSize;
            return 0;
        }
        case IOCTL_CAN_GET_DEVICE_INFO: {
            if (!in.empty() || out.size() != kCanDeviceInfoSize)
                return EINVAL;
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            std::uint64_t ticks = TicksOf(std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec);
            CanDeviceInfo info{};
            info.ident = CAN_DEVICE_IDENT;
            info.clockLow = static_cast<std::uint32_t>(ticks);
            info.clockHigh = static_cast<std::uint32_t>(ticks >> 32);
            info.clockKind = CAN_CLOCK_KIND_FAST;
            std::uint8_t bytes[kCanDeviceInfoSize];
            ToWire(info, bytes);
            std::memcpy(out.data(), bytes, kCanDeviceInfoSize);
            if (returned)
                *returned = kCanDeviceInfoSize;
            return 0;
        }
        case IOCTL_CAN_WRITE:
            if (!sized(kCanMsgSize))
                return EINVAL;
            return ControlWrite(in);
        case IOCTL_CAN_SET_BAUDRATE:
            if (!sized(4))
                return EINVAL;
            return SetBaudrate(ReadU32(in, 0));
        case IOCTL_CAN_SET_ACCEPTANCE:
            if (!sized(8))
                return EINVAL;
            acceptance_ = Pack(ReadU32(in, 0), ReadU32(in, 4));
            return 0;
        case IOCTL_CAN_SET_SOFT_ACCEPTANCE:
            if (!sized(8))
                return EINVAL;
            return SetSoftAcceptance(ReadU32(in, 0), ReadU32(in, 4));
        case IOCTL_CAN_SET_MODE:
            if (!sized(1))
                return EINVAL;
            return SetMode(in[0]);
        case IOCTL_CAN_SET_FRAME_FORMAT:
            if (!sized(1))
                return EINVAL;
            // Any non-zero format means extended, as the channel layer counts it.
            extendedFormat_ = in[0] != CAN_FORMAT_STANDARD;
            return 0;
        case IOCTL_CAN_COMMAND:
            if (!sized(1))
                return EINVAL;
            switch (in[0]) {
                case CAN_CMD_STANDBY:
                case CAN_CMD_ABORT_TX:
                    return 0;
                case CAN_CMD_CLEAR_OVERRUN:
                    queue_.ClearOverrun();
                    return 0;
                case CAN_CMD_FORMAT_REPORT_ON:
                case CAN_CMD_FORMAT_REPORT_OFF:
                    formatReporting_ = in[0] == CAN_CMD_FORMAT_REPORT_ON;
                    return 0;
                default:
                    return EINVAL;
            }
        case IOCTL_CAN_WAIT_EVENT:
            return EINVAL;  // only as an overlapped request
        default:
            return EINVAL;
    }
}

int SocketCanAdapter::ControlOverlapped(std::uint32_t code,
                                        std::shared_ptr<platform::Event> completion) {
    if (code != IOCTL_CAN_WAIT_EVENT || !completion)
        return EINVAL;
    std::lock_guard lock(waitMutex_);
    // After a socket failure the wait completes at once, so that the next read reports it.
    if (failure_ != 0)
        return 0;
    int result = queue_.Wait(completion);
    if (result == platform::kErrorIoPending)
        waiter_ = std::move(completion);
    return result;
}

void SocketCanAdapter::CancelIo() {
    std::lock_guard lock(waitMutex_);
    waiter_.reset();
    queue_.CancelWait();
}

int SocketCanAdapter::ControlWrite(std::span<const std::uint8_t> in) {
    const CanMsg msg = CanMsgFromWire(in.data());
    const bool extended = mode_.load() == CAN_MODE_PELICAN && extendedFormat_.load();
    const can_frame frame = ToKernelFrame(msg, extended);

    std::lock_guard lock(filterMutex_);
    const std::uint64_t soft = softAcceptance_.load();
    const OwnId own{frame.can_id & (extended ? CAN_EFF_MASK : CAN_SFF_MASK), extended};
    if (!devices::SoftwareFilterAccepts(CodeOf(soft), MaskOf(soft), own.id) &&
        std::find(ownIds_.begin(), ownIds_.end(), own) == ownIds_.end()) {
        // Let the confirmation of this identifier through the kernel's filter from now on.
        // Should the kernel refuse the longer list, the frame still goes out; only its
        // confirmation may then be missing.
        ownIds_.push_back(own);
        if (ApplyKernelFiltersLocked() != 0)
            ownIds_.pop_back();
    }
    ++pendingOwn_;
    lastTxComplete_ = false;
    int error = socket_.Send(frame);
    if (error != 0) {
        --pendingOwn_;
        // A full send buffer is the same condition as a full transmit queue for the sender.
        return error == EAGAIN ? ENOBUFS : error;
    }
    return 0;
}

int SocketCanAdapter::SetBaudrate(std::uint32_t rate) {
    std::lock_guard lock(linkMutex_);
    const int index = socket_.InterfaceIndex();
    LinkInfo link;
    if (int error = QueryLink(index, link))
        return error;
    if (!link.HasBitTiming()) {
        if (rate == 0 || rate > kMaxUntimedBaudrate)
            return EINVAL;
        baudrate_ = rate;
        return 0;
    }
    if (link.bitrate == rate) {
        baudrate_ = rate;
        return 0;
    }
    // The kernel takes a new bit timing only while the link is down.
    if (link.up) {
        if (int error = SetLinkUp(index, false))
            return error;
    }
    int error = SetLinkBitrate(index, rate);
    if (link.up) {
        int upError = SetLinkUp(index, true);
        if (error == 0)
            error = upError;
    }
    if (error == 0)
        baudrate_ = rate;
    return error;
}

int SocketCanAdapter::SetSoftAcceptance(std::uint32_t code, std::uint32_t mask) {
    std::lock_guard lock(filterMutex_);
    softAcceptance_ = Pack(code, mask);
    return ApplyKernelFiltersLocked();
}

int SocketCanAdapter::SetMode(std::uint8_t mode) {
    if (mode != CAN_MODE_BASIC && mode != CAN_MODE_PELICAN)
        return EINVAL;
    std::lock_guard lock(filterMutex_);
    if (mode_.exchange(mode) == mode)
        return 0;
    return ApplyKernelFiltersLocked();
}

std::vector<can_filter> SocketCanAdapter::KernelFiltersLocked() const {
    const std::uint64_t soft = softAcceptance_.load();
    return KernelFilterList(CodeOf(soft), MaskOf(soft), mode_.load() == CAN_MODE_BASIC, ownIds_);
}

int SocketCanAdapter::ApplyKernelFiltersLocked() {
    return socket_.SetFilters(KernelFiltersLocked());
}

// ---- the reader thread ----

void SocketCanAdapter::ReaderLoop(std::stop_token stop) {
    pthread_setname_np(pthread_self(), "vesk-socketcan");  // shows in top -H and debuggers
    std::stop_callback wake(stop, [this] {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(stopFd_, &one, sizeof one);
    });
    std::array<ReceivedFrame, kReceiveBatch> frames;
    pollfd fds[2] = {{socket_.Fd(), POLLIN, 0}, {stopFd_, POLLIN, 0}};
    auto roundStart = std::chrono::steady_clock::now();
    while (!stop.stop_requested()) {
        int n = 0;
        int delivered = 0;
        {
            devices::RecordQueue::Batch batch(queue_);
            while (delivered < kMaxRoundFrames && (n = socket_.Receive(frames)) > 0) {
                for (int i = 0; i < n; ++i)
                    Deliver(frames[static_cast<std::size_t>(i)]);
                delivered += n;
            }
        }
        if (n > 0)
            continue;  // more is waiting: hand this much over and go on at once
        if (n == -EAGAIN || n == -EWOULDBLOCK) {
            if (delivered > 0) {
                // A busy bus is read at most once a round, so that a flood costs a few wake-ups
                // per millisecond rather than two per frame. The socket's buffer holds what
                // comes meanwhile, with the kernel's time stamps, so only delivery waits.
                if (!PauseUntil(roundStart + kRoundPeriod))
                    break;
            } else if (poll(fds, 2, -1) < 0 && errno != EINTR) {
                Fail(errno);
                break;
            }
            roundStart = std::chrono::steady_clock::now();
            continue;
        }
        // The link went down (by the operator, or for a bit-rate change): the socket stays
        // bound and receives again once it is up. Frames still queued for sending were
        // dropped with the link and will never be confirmed.
        if (n == -ENETDOWN) {
            pendingOwn_ = 0;
            continue;
        }
        Fail(-n);  // ENODEV: the interface is gone
        break;
    }
    std::lock_guard lock(cpuMutex_);
    finishedCpu_ += devices::ThreadCpuTime(pthread_self());
    readerRunning_ = false;
}

bool SocketCanAdapter::PauseUntil(std::chrono::steady_clock::time_point end) {
    const auto rest = end - std::chrono::steady_clock::now();
    if (rest <= rest.zero())
        return true;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(rest).count();
    const timespec timeout{static_cast<time_t>(ns / 1'000'000'000),
                           static_cast<long>(ns % 1'000'000'000)};
    pollfd stopOnly{stopFd_, POLLIN, 0};
    return ppoll(&stopOnly, 1, &timeout, nullptr) == 0 || (stopOnly.revents & POLLIN) == 0;
}

void SocketCanAdapter::Fail(int error) {
    std::shared_ptr<platform::Event> wake;
    {
        std::lock_guard lock(waitMutex_);
        failure_ = error;
        wake = std::move(waiter_);
    }
    if (wake)
        wake->Set();
}

std::uint8_t SocketCanAdapter::Status(std::uint8_t activity) const {
    std::uint8_t s = activity;
    if (errorState_.busOff)
        s |= sr::kSrBusOff;
    if (errorState_.warning)
        s |= sr::kSrErrorStatus;
    if (lastTxComplete_.load(std::memory_order_relaxed))
        s |= sr::kSrTxComplete;
    if (pendingOwn_.load(std::memory_order_relaxed) <= 0)
        s |= sr::kSrTxBufferReleased;
    if (queue_.Overrun())
        s |= sr::kSrDataOverrun;
    return s;
}

void SocketCanAdapter::Deliver(const ReceivedFrame& received) {
    const std::uint64_t ticks = TicksOf(received.timeNs);
    // The counter tells how many frames the socket had dropped before this one arrived.
    if (received.hasDrops && received.drops != lastDrops_) {
        const std::uint32_t dropped = received.drops - lastDrops_;
        lastDrops_ = received.drops;
        drops_ = received.drops;
        // Confirmations of our own frames may have been among them; better to show the transmit
        // buffer free too early than never again.
        pendingOwn_ = 0;
        CanMsg stamp{};
        Stamp(stamp, ticks);
        stamp.status = Status(sr::kSrReceiving);
        queue_.CountLost(static_cast<std::int32_t>(std::min<std::uint32_t>(dropped, INT32_MAX)),
                         stamp);
    }

    const can_frame& frame = received.frame;
    if (frame.can_id & CAN_ERR_FLAG) {
        const ErrorFrameRecords mapped = MapErrorFrame(frame.can_id, frame.data, errorState_);
        for (int i = 0; i < mapped.count; ++i) {
            CanMsg m{};
            m.type = mapped.records[static_cast<std::size_t>(i)].type;
            Stamp(m, ticks);
            m.status = Status(mapped.records[static_cast<std::size_t>(i)].activity);
            queue_.PushEvent(m);
        }
        if (mapped.lostFrames > 0) {
            CanMsg stamp{};
            Stamp(stamp, ticks);
            stamp.status = Status(sr::kSrReceiving);
            queue_.CountLost(mapped.lostFrames, stamp);
        }
        return;
    }

    const devices::CanFrame f = FromKernelFrame(frame);
    const bool reporting = formatReporting_.load(std::memory_order_relaxed);
    if (received.own) {
        if (pendingOwn_.fetch_sub(1) <= 0)
            pendingOwn_ = 0;
        lastTxComplete_ = true;
        CanMsg m =
            FrameRecord(reporting ? (f.extended ? CAN_EV_TX_EXT : CAN_EV_TX_STD) : CAN_EV_TX, f);
        Stamp(m, ticks);
        m.status = Status(0);
        queue_.PushFrame(m);
        return;
    }
    const std::uint64_t acceptance = acceptance_.load(std::memory_order_relaxed);
    if (!devices::HardwareFilterAccepts(mode_.load(std::memory_order_relaxed), CodeOf(acceptance),
                                        MaskOf(acceptance), f)) {
        return;
    }
    const std::uint64_t soft = softAcceptance_.load(std::memory_order_relaxed);
    if (!devices::SoftwareFilterAccepts(CodeOf(soft), MaskOf(soft), f.id))
        return;
    CanMsg m = FrameRecord(reporting ? (f.extended ? CAN_EV_RX_EXT : CAN_EV_RX_STD) : CAN_EV_RX, f);
    Stamp(m, ticks);
    m.status = Status(sr::kSrRxBuffer);
    queue_.PushFrame(m);
}

std::shared_ptr<SocketCanAdapter> RegisterSocketCanAdapter(const std::string& path,
                                                           const std::string& interfaceName) {
    auto adapter = std::make_shared<SocketCanAdapter>(interfaceName);
    platform::RegisterDevice(path, adapter);
    return adapter;
}

}  // namespace socketcan
