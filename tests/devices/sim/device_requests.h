// Requests to a device through the platform calls alone, as the channel layer makes them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "can/frame.h"
#include "channel/device_protocol.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/handle.h"
#include "tests/support/test_record.h"

namespace simtest {

// An open device handle that is closed when it goes.
class OpenDevice {
  public:
    explicit OpenDevice(const std::string& path) : handle_(platform::CreateFile(path.c_str())) {
        error_ = handle_ == platform::kNoHandle ? platform::GetLastError() : 0;
    }
    ~OpenDevice() { Close(); }
    OpenDevice(const OpenDevice&) = delete;
    OpenDevice& operator=(const OpenDevice&) = delete;

    void Close() {
        if (handle_ != platform::kNoHandle)
            platform::CloseHandle(handle_);
        handle_ = platform::kNoHandle;
    }
    platform::Handle Handle() const { return handle_; }
    bool IsOpen() const { return handle_ != platform::kNoHandle; }
    int OpenError() const { return error_; }

    // 0 on success, else the platform error code.
    int Request(std::uint32_t code, const void* in, std::uint32_t inSize, void* out = nullptr,
                std::uint32_t outSize = 0, std::uint32_t* returned = nullptr) const {
        return platform::DeviceIoControl(handle_, code, in, inSize, out, outSize, returned)
                   ? 0
                   : platform::GetLastError();
    }
    int SetBaudrate(std::uint32_t rate) const {
        std::uint8_t in[4] = {std::uint8_t(rate), std::uint8_t(rate >> 8), std::uint8_t(rate >> 16),
                              std::uint8_t(rate >> 24)};
        return Request(IOCTL_CAN_SET_BAUDRATE, in, 4);
    }
    int SetPair(std::uint32_t code, std::uint32_t a, std::uint32_t b) const {
        std::uint8_t in[8];
        for (int i = 0; i < 4; ++i) {
            in[i] = std::uint8_t(a >> (8 * i));
            in[4 + i] = std::uint8_t(b >> (8 * i));
        }
        return Request(code, in, 8);
    }
    int SetAcceptance(std::uint32_t code, std::uint32_t mask) const {
        return SetPair(IOCTL_CAN_SET_ACCEPTANCE, code, mask);
    }
    int SetSoftAcceptance(std::uint32_t code, std::uint32_t mask) const {
        return SetPair(IOCTL_CAN_SET_SOFT_ACCEPTANCE, code, mask);
    }
    int Byte(std::uint32_t code, std::uint8_t value) const { return Request(code, &value, 1); }
    int SetMode(std::uint8_t mode) const { return Byte(IOCTL_CAN_SET_MODE, mode); }
    int SetFrameFormat(std::uint8_t f) const { return Byte(IOCTL_CAN_SET_FRAME_FORMAT, f); }
    int Command(std::uint8_t command) const { return Byte(IOCTL_CAN_COMMAND, command); }
    int Write(const CanMsg& msg) const {
        std::uint8_t bytes[kCanMsgSize];
        ToWire(msg, bytes);
        return Request(IOCTL_CAN_WRITE, bytes, kCanMsgSize);
    }
    CanDeviceInfo Info() const {
        std::uint8_t bytes[kCanDeviceInfoSize] = {};
        Request(IOCTL_CAN_GET_DEVICE_INFO, nullptr, 0, bytes, kCanDeviceInfoSize);
        return CanDeviceInfoFromWire(bytes);
    }
    // One read request; the record's valid word says whether it carries one.
    CanMsg Read() const {
        std::uint8_t bytes[kCanMsgSize] = {};
        Request(IOCTL_CAN_READ, nullptr, 0, bytes, kCanMsgSize);
        return CanMsgFromWire(bytes);
    }
    // Reads until the device has nothing more.
    std::vector<CanMsg> ReadAll() const {
        std::vector<CanMsg> records;
        for (CanMsg m = Read(); m.valid != 0; m = Read())
            records.push_back(m);
        return records;
    }

  private:
    platform::Handle handle_;
    int error_ = 0;
};

// Input and output sizes of every request but the wait.
struct RequestShape {
    std::uint32_t code;
    std::uint32_t in;
    std::uint32_t out;
};

inline constexpr RequestShape kShapes[] = {
    {IOCTL_CAN_GET_DEVICE_INFO, 0, 16},
    {IOCTL_CAN_SET_ACCEPTANCE, 8, 0},
    {IOCTL_CAN_WRITE, 36, 0},
    {IOCTL_CAN_SET_BAUDRATE, 4, 0},
    {IOCTL_CAN_READ, 0, 36},
    {IOCTL_CAN_SET_MODE, 1, 0},
    {IOCTL_CAN_SET_FRAME_FORMAT, 1, 0},
    {IOCTL_CAN_COMMAND, 1, 0},
    {IOCTL_CAN_SET_SOFT_ACCEPTANCE, 8, 0},
};

inline CanMsg TxMsg(std::uint32_t id, std::vector<std::uint8_t> bytes = {}, std::uint8_t rtr = 0) {
    return testsupport::Record({.id = id, .rtr = rtr, .data = std::move(bytes)});
}

inline can::Frame Frame(std::uint32_t id, std::vector<std::uint8_t> bytes = {},
                        bool extended = false, bool rtr = false) {
    can::Frame f;
    f.id = id;
    f.extended = extended;
    f.rtr = rtr;
    f.dlc = static_cast<std::uint8_t>(bytes.size());
    for (std::size_t i = 0; i < bytes.size() && i < 8; ++i)
        f.data[i] = bytes[i];
    return f;
}

inline std::vector<std::uint32_t> Ids(const std::vector<CanMsg>& records) {
    std::vector<std::uint32_t> ids;
    for (const auto& r : records)
        ids.push_back(r.id);
    return ids;
}

inline std::vector<std::int32_t> Types(const std::vector<CanMsg>& records) {
    std::vector<std::int32_t> types;
    for (const auto& r : records)
        types.push_back(r.type);
    return types;
}

}  // namespace simtest
