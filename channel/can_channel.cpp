#include "channel/can_channel.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>

#include "channel/receive_loop.h"
#include "channel/stray_threads.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/thread.h"

namespace {

constexpr std::uint32_t kChannelThreadBoundMs = 1000;
// Lets the receive thread post its first wait request before the opener configures the device.
constexpr std::uint32_t kOpenSettleMs = 200;

void PutLittle32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool SendBytes(platform::Handle device, std::uint32_t code, const std::uint8_t* bytes,
               std::uint32_t size) {
    return platform::DeviceIoControl(device, code, bytes, size, nullptr, 0, nullptr);
}

bool SendByte(platform::Handle device, std::uint32_t code, std::uint8_t value) {
    return SendBytes(device, code, &value, 1);
}

bool SendPair(platform::Handle device, std::uint32_t code, std::uint32_t first,
              std::uint32_t second) {
    std::uint8_t bytes[8];
    PutLittle32(bytes, first);
    PutLittle32(bytes + 4, second);
    return SendBytes(device, code, bytes, sizeof bytes);
}

bool SendBaudrate(platform::Handle device, std::uint32_t baudrate) {
    std::uint8_t bytes[4];
    PutLittle32(bytes, baudrate);
    return SendBytes(device, IOCTL_CAN_SET_BAUDRATE, bytes, sizeof bytes);
}

// The device information; all zero when the request fails.
CanDeviceInfo ReadDeviceInfo(platform::Handle device) {
    std::uint8_t wire[kCanDeviceInfoSize] = {};
    platform::DeviceIoControl(device, IOCTL_CAN_GET_DEVICE_INFO, nullptr, 0, wire, sizeof wire,
                              nullptr);
    return CanDeviceInfoFromWire(wire);
}

void SignalStop(CanChannel* channel) {
    channel->stop = 1;
    channel->stopSignal.Set();
    if (platform::Handle event = channel->event.load())
        platform::SetEvent(event);
}

// Ends what an earlier open left running: threads that outlived the bounds of a close, or a
// bus-load thread whose receive thread ended by itself.
void JoinLeftoverThreads(CanChannel* channel) {
    if (channel->rxThread != platform::kNoHandle || channel->busLoadThread != platform::kNoHandle) {
        SignalStop(channel);
        WaitForThreadWithin(channel->rxThread, platform::kInfinite);
        WaitForThreadWithin(channel->busLoadThread, platform::kInfinite);
    }
    JoinStrayJobThreads(channel);
}

// A failed open closes what it opened itself, before any receive thread could own it.
void CloseUnowned(CanChannel* channel, platform::Handle device, platform::Handle event) {
    channel->device = platform::kNoHandle;
    channel->event = platform::kNoHandle;
    if (device != platform::kNoHandle)
        platform::CloseHandle(device);
    if (event != platform::kNoHandle)
        platform::CloseHandle(event);
    CanClose(channel);
}

platform::Handle DeviceOf(CanChannel* channel) {
    return channel->device.load();
}

}  // namespace

CanChannel* CanCreateChannel(void* ownerWindow, void* owner, CanNotifyCallback callback) {
    CanChannel* channel = new (std::nothrow) CanChannel;
    if (channel == nullptr)
        return nullptr;
    channel->ownerWindow = ownerWindow;
    channel->owner = owner;
    channel->callback = callback;
    return channel;
}

void CanDestroyChannel(CanChannel* channel) {
    if (channel == nullptr)
        return;
    CanClose(channel);
    JoinLeftoverThreads(channel);
    delete channel;
}

int CanOpen(CanChannel* channel, const char* path, int mode, int frameFormat, int* error) {
    if (channel == nullptr)
        return 0;
    int unused = 0;
    if (error == nullptr)
        error = &unused;

    if (CanIsOpen(channel))
        CanClose(channel);
    JoinLeftoverThreads(channel);
    channel->stop = 0;
    channel->stopSignal.Reset();

    platform::Handle device = platform::CreateFile(path);
    if (device == platform::kNoHandle) {
        *error = platform::GetLastError();
        CloseUnowned(channel, platform::kNoHandle, platform::kNoHandle);
        return 0;
    }

    channel->mode = mode;
    channel->frameFormat = frameFormat;
    SendByte(device, IOCTL_CAN_SET_MODE, static_cast<std::uint8_t>(mode));
    SendByte(device, IOCTL_CAN_SET_FRAME_FORMAT, static_cast<std::uint8_t>(frameFormat));

    channel->info = ReadDeviceInfo(device);
    channel->openWallNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    if (channel->info.ident != CAN_DEVICE_IDENT) {
        CloseUnowned(channel, device, platform::kNoHandle);
        *error = 0;
        return -3;
    }
    std::uint32_t ticksPerMs = CanTicksPerMs(channel->info);
    channel->ticksPerMs = ticksPerMs;
    channel->baseMs = CanClockToMs(CanDeviceClock(channel->info), ticksPerMs);
    channel->prevMs = 0;

    platform::Handle event = platform::CreateEvent();
    if (event == platform::kNoHandle) {
        *error = platform::GetLastError();
        CloseUnowned(channel, device, platform::kNoHandle);
        return -1;
    }

    channel->event = event;
    channel->device = device;
    channel->rxThread = platform::CreateThread([channel] { ReceiveThread(channel); });
    if (channel->rxThread == platform::kNoHandle) {
        *error = platform::GetLastError();
        CloseUnowned(channel, device, event);
        return -2;
    }
    channel->busLoadThread = platform::CreateThread([channel] { BusLoadThread(channel); });
    if (channel->busLoadThread == platform::kNoHandle) {
        *error = platform::GetLastError();
        CanClose(channel);  // the receive thread closes device and event as it ends
        return -2;
    }

    *error = 0;
    platform::Sleep(kOpenSettleMs);
    return 1;
}

void CanClose(CanChannel* channel) {
    if (channel == nullptr)
        return;
    CanStopAllCyclic(channel);
    SignalStop(channel);
    // A thread still running after its bound keeps its handle; the next open or the destroy
    // waits for it.
    WaitForThreadWithin(channel->rxThread, kChannelThreadBoundMs);
    WaitForThreadWithin(channel->busLoadThread, kChannelThreadBoundMs);
}

int CanIsOpen(CanChannel* channel) {
    if (channel == nullptr)
        return 0;
    return DeviceOf(channel) != platform::kNoHandle ? 1 : 0;
}

double CanGetBusLoad(CanChannel* channel) {
    if (channel == nullptr)
        return 0.0;
    return channel->busLoad.load();
}

int CanWriteMsg(CanChannel* channel, const CanMsg* msg) {
    if (channel == nullptr)
        return 0;
    platform::Handle device = DeviceOf(channel);
    if (device == platform::kNoHandle)
        return 0;
    if (msg == nullptr)
        return platform::kErrorInvalidParameter;

    std::uint8_t wire[kCanMsgSize];
    ToWire(*msg, wire);
    if (platform::DeviceIoControl(device, IOCTL_CAN_WRITE, wire, sizeof wire, nullptr, 0,
                                  nullptr)) {
        return 0;
    }
    int error = platform::GetLastError();
    // The receive thread clears the field before it closes the handle.
    if (DeviceOf(channel) != device)
        return 0;
    return error != 0 ? error : platform::kErrorIo;
}

int CanSend(CanChannel* channel, std::uint32_t id, std::uint8_t rtr, int length,
            const std::uint8_t* data) {
    if (channel == nullptr || DeviceOf(channel) == platform::kNoHandle)
        return 0;
    int count = std::clamp(length, 0, kCanMaxSendBytes);
    if (count > 0 && data == nullptr)
        return platform::kErrorInvalidParameter;

    CanMsg msg{};
    msg.id = id;
    msg.rtr = rtr;
    msg.dlc = static_cast<std::uint8_t>(count);
    if (count > 0)
        std::memcpy(msg.data, data, static_cast<std::size_t>(count));
    return CanWriteMsg(channel, &msg);
}

int CanCommand(CanChannel* channel, std::uint8_t command) {
    if (channel == nullptr)
        return 0;
    platform::Handle device = DeviceOf(channel);
    if (device == platform::kNoHandle)
        return 0;
    SendByte(device, IOCTL_CAN_COMMAND, command);
    return 1;
}

int CanSetAcceptance(CanChannel* channel, std::uint32_t code, std::uint32_t mask) {
    if (channel == nullptr)
        return 0;
    platform::Handle device = DeviceOf(channel);
    if (device == platform::kNoHandle)
        return 0;
    if (code == channel->accCode && mask == channel->accMask)
        return 0;
    // Remembered before sending and whatever the device answers: a refused pair is not retried.
    channel->accCode = code;
    channel->accMask = mask;
    SendPair(device, IOCTL_CAN_SET_ACCEPTANCE, code, mask);
    return 1;
}

int CanSetSoftAcceptance(CanChannel* channel, std::uint32_t code, std::uint32_t mask) {
    if (channel == nullptr)
        return 0;
    platform::Handle device = DeviceOf(channel);
    if (device == platform::kNoHandle)
        return 0;
    SendPair(device, IOCTL_CAN_SET_SOFT_ACCEPTANCE, code, mask);
    return 1;
}

int CanSetBaudrate(CanChannel* channel, std::uint32_t baudrate) {
    if (channel == nullptr)
        return 0;
    platform::Handle device = DeviceOf(channel);
    if (device == platform::kNoHandle)
        return 0;
    std::uint32_t previous = channel->baudrate.load();
    if (baudrate == previous)
        return 1;
    if (SendBaudrate(device, baudrate)) {
        channel->baudrate = baudrate;
        return 1;
    }
    // The controller may be left half set up by the refused rate; put the accepted one back.
    SendBaudrate(device, previous);
    return 0;
}

void CanResetTime(CanChannel* channel) {
    if (channel == nullptr)
        return;
    platform::Handle device = DeviceOf(channel);
    if (device == platform::kNoHandle)
        return;
    CanDeviceInfo info = ReadDeviceInfo(device);
    channel->baseMs = CanClockToMs(CanDeviceClock(info), channel->ticksPerMs.load());
    channel->prevMs = 0;
}

void CanEnableNotify(CanChannel* channel, int on) {
    if (channel == nullptr)
        return;
    channel->notify = on != 0 ? 1 : 0;
}
