#include "devices/common/adapter_base.h"

#include <cerrno>
#include <cstring>

#include "can/frame_records.h"
#include "platform/error.h"

namespace devices {
namespace {

std::uint32_t ReadU32(std::span<const std::uint8_t> in, std::size_t offset) {
    return std::uint32_t{in[offset]} | std::uint32_t{in[offset + 1]} << 8 |
           std::uint32_t{in[offset + 2]} << 16 | std::uint32_t{in[offset + 3]} << 24;
}

// Input bytes of each setting request (they give no output); 0 for no such request.
std::size_t InputSize(std::uint32_t code) {
    switch (code) {
        case IOCTL_CAN_SET_BAUDRATE:
            return 4;
        case IOCTL_CAN_SET_ACCEPTANCE:
        case IOCTL_CAN_SET_SOFT_ACCEPTANCE:
            return 8;
        case IOCTL_CAN_SET_MODE:
        case IOCTL_CAN_SET_FRAME_FORMAT:
        case IOCTL_CAN_COMMAND:
            return 1;
        default:
            return 0;  // no such request
    }
}

}  // namespace

AdapterBase::AdapterBase(std::size_t queueDepth) : queue_(queueDepth) {}

int AdapterBase::Open() {
    if (open_.exchange(true))
        return platform::kErrorBusy;
    mode_ = CAN_MODE_BASIC;
    extendedFormat_ = false;
    queue_.Clear();
    if (int error = OnOpen()) {
        open_ = false;
        return error;
    }
    return 0;
}

void AdapterBase::Close() {
    if (!open_.load())
        return;
    OnClose();
    queue_.Clear();
    open_ = false;
}

int AdapterBase::Control(std::uint32_t code, std::span<const std::uint8_t> in,
                         std::span<std::uint8_t> out, std::uint32_t* returned) {
    if (returned)
        *returned = 0;
    // Writes and reads come with every frame; they are tested first and the rest kept out of
    // their way.
    if (code == IOCTL_CAN_WRITE) {
        if (in.size() != kCanMsgSize || !out.empty())
            return platform::kErrorInvalidParameter;
        const CanMsg msg = CanMsgFromWire(in.data());
        // Basic CAN has no 29-bit identifiers to send.
        if (msg.type == CAN_EV_TX_EXT && Mode() != CAN_MODE_PELICAN)
            return platform::kErrorInvalidParameter;
        return Write(msg);
    }
    if (code == IOCTL_CAN_READ) {
        if (!in.empty() || out.size() != kCanMsgSize)
            return platform::kErrorInvalidParameter;
        CanMsg record{};  // valid 0: nothing to read
        if (int error = Read(record))
            return error;
        std::uint8_t bytes[kCanMsgSize];
        ToWire(record, bytes);
        std::memcpy(out.data(), bytes, kCanMsgSize);
        if (returned)
            *returned = kCanMsgSize;
        return 0;
    }
    if (code == IOCTL_CAN_GET_DEVICE_INFO) {
        if (!in.empty() || out.size() != kCanDeviceInfoSize)
            return platform::kErrorInvalidParameter;
        std::uint8_t bytes[kCanDeviceInfoSize];
        ToWire(DeviceInfo(), bytes);
        std::memcpy(out.data(), bytes, kCanDeviceInfoSize);
        if (returned)
            *returned = kCanDeviceInfoSize;
        return 0;
    }
    const std::size_t size = InputSize(code);
    if (size == 0 || in.size() != size || !out.empty())
        return platform::kErrorInvalidParameter;  // the wait request lands here too: it is
                                                  // overlapped only
    return Configure(code, in);
}

int AdapterBase::Configure(std::uint32_t code, std::span<const std::uint8_t> in) {
    switch (code) {
        case IOCTL_CAN_SET_BAUDRATE: {
            const std::uint32_t rate = ReadU32(in, 0);
            std::lock_guard lock(rateMutex_);
            int error = SetBaudrate(rate);
            if (error == 0)
                baudrate_ = rate;
            return error;
        }
        case IOCTL_CAN_COMMAND:
            return RunCommand(in[0]);
        default:
            break;
    }
    std::lock_guard lock(settingsMutex_);
    switch (code) {
        case IOCTL_CAN_SET_ACCEPTANCE:
        case IOCTL_CAN_SET_SOFT_ACCEPTANCE: {
            const std::uint32_t filterCode = ReadU32(in, 0);
            const std::uint32_t mask = ReadU32(in, 4);
            const bool hardware = code == IOCTL_CAN_SET_ACCEPTANCE;
            int error =
                hardware ? SetAcceptance(filterCode, mask) : SetSoftAcceptance(filterCode, mask);
            if (error == 0)
                (hardware ? acceptance_ : softAcceptance_) = Pack(filterCode, mask);
            return error;
        }
        case IOCTL_CAN_SET_MODE: {
            const std::uint8_t mode = in[0];
            if (mode != CAN_MODE_BASIC && mode != CAN_MODE_PELICAN)
                return platform::kErrorInvalidParameter;
            int error = SetMode(mode);
            if (error == 0)
                mode_ = mode;
            return error;
        }
        case IOCTL_CAN_SET_FRAME_FORMAT: {
            const bool extended = in[0] != CAN_FORMAT_STANDARD;
            int error = SetFrameFormat(extended);
            if (error == 0)
                extendedFormat_ = extended;
            return error;
        }
        default:
            return platform::kErrorInvalidParameter;
    }
}

int AdapterBase::RunCommand(std::uint8_t command) {
    switch (command) {
        case CAN_CMD_STANDBY:
        case CAN_CMD_ABORT_TX:
        case CAN_CMD_CLEAR_OVERRUN:
        case CAN_CMD_FORMAT_REPORT_ON:
        case CAN_CMD_FORMAT_REPORT_OFF:
            break;
        default:
            return platform::kErrorInvalidParameter;
    }
    std::lock_guard lock(settingsMutex_);
    // The adapter sees every command first, so that what it has not yet turned into records is
    // reported under the state before the command.
    if (int error = Command(command))
        return error;
    if (command == CAN_CMD_CLEAR_OVERRUN) {
        queue_.ClearOverrun();
    } else if (command == CAN_CMD_FORMAT_REPORT_ON || command == CAN_CMD_FORMAT_REPORT_OFF) {
        formatReporting_ = command == CAN_CMD_FORMAT_REPORT_ON;
    }
    return 0;
}

int AdapterBase::ControlOverlapped(std::uint32_t code,
                                   std::shared_ptr<platform::Event> completion) {
    if (code != IOCTL_CAN_WAIT_EVENT || !completion)
        return platform::kErrorInvalidParameter;
    return PostWait(std::move(completion));
}

void AdapterBase::CancelIo() {
    CancelWait();
}

int AdapterBase::SetMode(std::uint8_t) {
    return 0;
}
int AdapterBase::SetFrameFormat(bool) {
    return 0;
}
int AdapterBase::SetAcceptance(std::uint32_t, std::uint32_t) {
    return 0;
}
int AdapterBase::SetSoftAcceptance(std::uint32_t, std::uint32_t) {
    return 0;
}
int AdapterBase::Command(std::uint8_t) {
    return 0;
}

int AdapterBase::Read(CanMsg& record) {
    queue_.Pop(record);
    return 0;
}

int AdapterBase::PostWait(std::shared_ptr<platform::Event> completion) {
    return queue_.Wait(std::move(completion));
}

void AdapterBase::CancelWait() {
    queue_.CancelWait();
}

CanDeviceInfo AdapterBase::FastClockInfo(std::uint64_t ticks) {
    CanDeviceInfo info{};
    info.ident = CAN_DEVICE_IDENT;
    info.clockLow = static_cast<std::uint32_t>(ticks);
    info.clockHigh = static_cast<std::uint32_t>(ticks >> 32);
    info.clockKind = CAN_CLOCK_KIND_FAST;
    return info;
}

bool AdapterBase::DeliverEvent(std::int32_t type, std::uint64_t ticks, std::uint8_t status) {
    CanMsg m{};
    m.type = type;
    can::StampTicks(m, ticks);
    m.status = status;
    return queue_.PushEvent(m);
}

void AdapterBase::CountLost(std::int32_t count, std::uint64_t ticks, std::uint8_t status) {
    CanMsg stamp{};
    can::StampTicks(stamp, ticks);
    stamp.status = status;
    queue_.CountLost(count, stamp);
}

}  // namespace devices
