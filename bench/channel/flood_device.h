// A device that never keeps the receive thread waiting: every wait completes at once and every
// read returns a fresh 8-byte frame one millisecond after the previous one. Writes succeed.
// With flooding off it is a quiet device whose wait never completes.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

#include "channel/device_protocol.h"
#include "platform/device.h"
#include "platform/error.h"

class FloodDevice : public platform::Device {
  public:
    explicit FloodDevice(bool flood) : flood_(flood) {}

    int Control(std::uint32_t code, std::span<const std::uint8_t>, std::span<std::uint8_t> out,
                std::uint32_t* returned) override {
        switch (code) {
            case IOCTL_CAN_GET_DEVICE_INFO: {
                CanDeviceInfo info{};
                info.ident = CAN_DEVICE_IDENT;
                std::uint8_t wire[kCanDeviceInfoSize];
                ToWire(info, wire);
                std::memcpy(out.data(), wire, sizeof wire);
                *returned = sizeof wire;
                return 0;
            }
            case IOCTL_CAN_READ: {
                std::uint64_t n = reads.fetch_add(1, std::memory_order_relaxed) + 1;
                CanMsg msg{};
                msg.type = CAN_EV_RX;
                msg.id = 0x123;
                msg.dlc = 8;
                msg.valid = flood_ ? 1 : 0;
                std::uint64_t ticks = n * 1250;
                msg.ticksLow = static_cast<std::uint32_t>(ticks);
                msg.ticksHigh = static_cast<std::uint32_t>(ticks >> 32);
                std::uint8_t wire[kCanMsgSize];
                ToWire(msg, wire);
                std::memcpy(out.data(), wire, sizeof wire);
                *returned = sizeof wire;
                return 0;
            }
            case IOCTL_CAN_WRITE:
                writes.fetch_add(1, std::memory_order_relaxed);
                *returned = 0;
                return 0;
            default:
                *returned = 0;
                return 0;
        }
    }

    int ControlOverlapped(std::uint32_t, std::shared_ptr<platform::Event>) override {
        return flood_ ? 0 : platform::kErrorIoPending;
    }

    std::atomic<std::uint64_t> reads{0};
    std::atomic<std::uint64_t> writes{0};

  private:
    bool flood_;
};
