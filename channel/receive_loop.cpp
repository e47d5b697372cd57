#include "channel/receive_loop.h"

#include <algorithm>
#include <iterator>
#include <mutex>

#include "can/record_class.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/message_box.h"

namespace {

// Guards CanChannel::seconds and CanChannel::bits, shared by the receive and bus-load threads.
// One lock for the process, held for a few instructions at a time.
std::mutex g_channelLock;

constexpr std::uint32_t kBusLoadPeriodMs = 1000;

// Posts the wait request. False when the device refused it at once.
bool PostWait(platform::Handle device, platform::Handle event) {
    if (platform::DeviceIoControl(device, IOCTL_CAN_WAIT_EVENT, nullptr, 0, nullptr, 0, nullptr,
                                  event)) {
        return true;
    }
    return platform::GetLastError() == platform::kErrorIoPending;
}

// Reads records until the device has none left. False when the thread must end: a failed or
// empty read, or a stop request.
bool DrainBurst(CanChannel* channel, platform::Handle device) {
    std::uint8_t wire[kCanMsgSize];
    for (;;) {
        if (channel->stop.load())
            return false;
        // Zeroed each time so that a short reply never passes the previous record off as new.
        std::fill(std::begin(wire), std::end(wire), std::uint8_t{0});
        std::uint32_t returned = 0;
        if (!platform::DeviceIoControl(device, IOCTL_CAN_READ, nullptr, 0, wire, sizeof wire,
                                       &returned) ||
            returned == 0) {
            return false;
        }
        CanMsg msg = CanMsgFromWire(wire);
        if (msg.valid == 0)
            return true;
        HandleReceivedRecord(channel, msg);
    }
}

}  // namespace

std::uint32_t CanClockToMs(std::uint64_t ticks, std::uint32_t ticksPerMs) {
    if (ticksPerMs == 0)
        return 0;
    return static_cast<std::uint32_t>(ticks / ticksPerMs);
}

std::uint32_t CanFrameBits(std::int32_t frameFormat, const CanMsg& msg) {
    if (!can::IsFrameType(msg.type))
        return 0;
    std::uint32_t bits = frameFormat == 0 ? 29 : 47;
    if (msg.rtr == 0)
        bits += 8u * msg.dlc;
    return bits;
}

void HandleReceivedRecord(CanChannel* channel, const CanMsg& msg) {
    const std::uint32_t ms = CanClockToMs(CanMsgTicks(msg), channel->ticksPerMs.load()) -
                             channel->baseMs.load(std::memory_order_relaxed);
    const double absSeconds = ms * 0.001;
    if (channel->notify.load(std::memory_order_relaxed) != 0) {
        std::uint32_t delta = ms - channel->prevMs.exchange(ms, std::memory_order_relaxed);
        double deltaSeconds = delta * 0.001;

        if (std::uint32_t bits = CanFrameBits(channel->frameFormat.load(), msg)) {
            std::lock_guard lock(g_channelLock);
            channel->bits += bits;
            channel->seconds += deltaSeconds;
        }
        if (channel->callback)
            channel->callback(channel, absSeconds, deltaSeconds, &msg);
    }
    if (channel->tap)
        channel->tap(channel, absSeconds, &msg);
}

void EvaluateBusLoad(CanChannel* channel) {
    double seconds;
    std::uint32_t bits;
    {
        std::lock_guard lock(g_channelLock);
        seconds = channel->seconds;
        bits = channel->bits;
        if (seconds > 0.0) {
            channel->seconds = 0.0;
            channel->bits = 0;
        }
    }
    std::uint32_t baudrate = channel->baudrate.load();
    // A device that accepted a rate of 0 would otherwise turn the load into infinity.
    if (seconds > 0.0 && baudrate != 0) {
        channel->busLoad = bits / seconds * 100.0 / baudrate;
    } else {
        channel->busLoad = 0.0;
    }
}

int ReceiveThread(CanChannel* channel) {
    const platform::Handle device = channel->device.load();
    const platform::Handle event = channel->event.load();

    while (!channel->stop.load()) {
        if (!PostWait(device, event)) {
            platform::MessageBox("Can't initialize CALLBACK function", "Error",
                                 platform::MessageIcon::kError);
            break;
        }
        // A close that raised stop before the request was posted may have had its wake-up
        // cleared by posting it; one that raises stop after this test finds its wake-up kept.
        if (channel->stop.load())
            break;
        if (platform::WaitForSingleObject(event, platform::kInfinite) !=
            platform::WaitResult::kSignalled) {
            break;
        }
        platform::ResetEvent(event);
        if (!DrainBurst(channel, device))
            break;
    }

    // The field is cleared before the handle is closed, so a writer whose request fails on the
    // closed handle can tell that the channel closed under it.
    platform::Handle expected = device;
    channel->device.compare_exchange_strong(expected, platform::kNoHandle);
    platform::CancelIo(device);
    platform::CloseHandle(device);
    expected = event;
    channel->event.compare_exchange_strong(expected, platform::kNoHandle);
    platform::CloseHandle(event);
    return 0;
}

int BusLoadThread(CanChannel* channel) {
    while (!channel->stop.load()) {
        EvaluateBusLoad(channel);
        channel->stopSignal.Pause(kBusLoadPeriodMs);
    }
    return 0;
}
