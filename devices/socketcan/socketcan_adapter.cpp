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

#include "can/frame_records.h"
#include "can/sja1000_status.h"
#include "channel/device_protocol.h"
#include "devices/common/acceptance_filter.h"
#include "devices/common/thread_cpu_time.h"
#include "devices/socketcan/frame_conversion.h"
#include "devices/socketcan/link_control.h"
#include "platform/error.h"

namespace socketcan {
namespace {

namespace sr = can::sja1000;

constexpr std::int64_t kNanosPerTick = 100;  // 10000 ticks per ms
constexpr std::uint32_t kMaxUntimedBaudrate = 1'000'000;
constexpr std::size_t kReceiveBatch = 64;
// Frames handed over in one go at most, and the shortest round of reading on a busy bus.
constexpr int kMaxRoundFrames = 256;
constexpr auto kRoundPeriod = std::chrono::milliseconds(1);

std::uint64_t TicksOf(std::int64_t timeNs) {
    return static_cast<std::uint64_t>(timeNs / kNanosPerTick);
}

}  // namespace

SocketCanAdapter::SocketCanAdapter(std::string interfaceName, const SocketCanOptions& options)
    : AdapterBase(options.queueDepth), interface_(std::move(interfaceName)), options_(options) {}

SocketCanAdapter::~SocketCanAdapter() {
    Close();
}

int SocketCanAdapter::OnOpen() {
    std::vector<can_filter> filters;
    {
        std::lock_guard lock(SettingsMutex());
        ownIds_.clear();
        filters = KernelFiltersLocked(SoftAcceptanceCode(), SoftAcceptanceMask(), Mode());
    }
    if (int error = socket_.Open(interface_, filters, options_.receiveBufferBytes))
        return error;
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) {
        int error = errno;
        socket_.Close();
        return error;
    }
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
    readerCpu_.Started(reader_.native_handle());
    return 0;
}

void SocketCanAdapter::OnClose() {
    if (!reader_.joinable())
        return;
    reader_.request_stop();
    reader_.join();
    reader_ = std::jthread();
    close(stopFd_);
    stopFd_ = -1;
    socket_.Close();
    std::lock_guard lock(waitMutex_);
    waiter_.reset();
}

std::chrono::nanoseconds SocketCanAdapter::ReaderCpuTime() const {
    return readerCpu_.Total();
}

// ---- requests ----

CanDeviceInfo SocketCanAdapter::DeviceInfo() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return FastClockInfo(TicksOf(std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec));
}

int SocketCanAdapter::Read(CanMsg& record) {
    if (!Queue().Pop(record)) {
        std::lock_guard lock(waitMutex_);
        return failure_;
    }
    return 0;
}

int SocketCanAdapter::PostWait(std::shared_ptr<platform::Event> completion) {
    std::lock_guard lock(waitMutex_);
    // After a socket failure the wait completes at once, so that the next read reports it.
    if (failure_ != 0)
        return 0;
    int result = Queue().Wait(completion);
    if (result == platform::kErrorIoPending)
        waiter_ = std::move(completion);
    return result;
}

void SocketCanAdapter::CancelWait() {
    std::lock_guard lock(waitMutex_);
    waiter_.reset();
    Queue().CancelWait();
}

int SocketCanAdapter::Write(const CanMsg& msg) {
    const bool extended = SendsExtended(msg);
    const can_frame frame = ToKernelFrame(msg, extended);

    std::lock_guard lock(SettingsMutex());
    const OwnId own{frame.can_id & (extended ? CAN_EFF_MASK : CAN_SFF_MASK), extended};
    if (!devices::SoftwareFilterAccepts(SoftAcceptanceCode(), SoftAcceptanceMask(), own.id) &&
        std::find(ownIds_.begin(), ownIds_.end(), own) == ownIds_.end()) {
        // Let the confirmation of this identifier through the kernel's filter from now on.
        // Should the kernel refuse the longer list, the frame still goes out; only its
        // confirmation may then be missing.
        ownIds_.push_back(own);
        if (socket_.SetFilters(
                KernelFiltersLocked(SoftAcceptanceCode(), SoftAcceptanceMask(), Mode())) != 0)
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
    const int index = socket_.InterfaceIndex();
    LinkInfo link;
    if (int error = QueryLink(index, link))
        return error;
    if (!link.HasBitTiming())
        return rate == 0 || rate > kMaxUntimedBaudrate ? EINVAL : 0;
    if (link.bitrate == rate)
        return 0;
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
    return error;
}

int SocketCanAdapter::SetSoftAcceptance(std::uint32_t code, std::uint32_t mask) {
    return socket_.SetFilters(KernelFiltersLocked(code, mask, Mode()));
}

int SocketCanAdapter::SetMode(std::uint8_t mode) {
    if (mode == Mode())
        return 0;
    return socket_.SetFilters(
        KernelFiltersLocked(SoftAcceptanceCode(), SoftAcceptanceMask(), mode));
}

std::vector<can_filter> SocketCanAdapter::KernelFiltersLocked(std::uint32_t softCode,
                                                              std::uint32_t softMask,
                                                              std::uint8_t mode) const {
    return KernelFilterList(softCode, softMask, mode == CAN_MODE_BASIC, ownIds_);
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
            devices::RecordQueue::Batch batch(Queue());
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
    readerCpu_.Finished();
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
    sr::ControllerFlags flags;
    flags.busOff = errorState_.busOff;
    flags.errorStatus = errorState_.warning;
    flags.txComplete = lastTxComplete_.load(std::memory_order_relaxed);
    flags.txBufferFree = pendingOwn_.load(std::memory_order_relaxed) <= 0;
    flags.dataOverrun = Overrun();
    return sr::StatusRegister(activity, flags);
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
        CountLost(static_cast<std::int32_t>(std::min<std::uint32_t>(dropped, INT32_MAX)), ticks,
                  Status(sr::kSrReceiving));
    }

    const can_frame& frame = received.frame;
    if (frame.can_id & CAN_ERR_FLAG) {
        const ErrorFrameRecords mapped = MapErrorFrame(frame.can_id, frame.data, errorState_);
        for (int i = 0; i < mapped.count; ++i) {
            const auto& record = mapped.records[static_cast<std::size_t>(i)];
            DeliverEvent(record.type, ticks, Status(record.activity));
        }
        if (mapped.lostFrames > 0)
            CountLost(mapped.lostFrames, ticks, Status(sr::kSrReceiving));
        return;
    }

    const can::Frame f = FromKernelFrame(frame);
    if (received.own) {
        if (pendingOwn_.fetch_sub(1) <= 0)
            pendingOwn_ = 0;
        lastTxComplete_ = true;
        DeliverTransmitted(f, ticks, Status(0));
        return;
    }
    DeliverReceived(f, ticks, Status(sr::kSrRxBuffer));
}

std::shared_ptr<SocketCanAdapter> RegisterSocketCanAdapter(const std::string& path,
                                                           const std::string& interfaceName) {
    auto adapter = std::make_shared<SocketCanAdapter>(interfaceName);
    platform::RegisterDevice(path, adapter);
    return adapter;
}

}  // namespace socketcan
