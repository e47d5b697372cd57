// A device that never keeps the receive thread waiting: every wait completes at once and every
// read returns a fresh 8-byte frame one millisecond after the previous one. Writes succeed.
// With flooding off it is a quiet device whose wait never completes.
#pragma once

#include <atomic>
#include <cstdint>

#include "devices/common/adapter_base.h"
#include "platform/error.h"

class FloodDevice : public devices::AdapterBase {
  public:
    explicit FloodDevice(bool flood) : flood_(flood) {}

    std::atomic<std::uint64_t> reads{0};
    std::atomic<std::uint64_t> writes{0};

  private:
    CanDeviceInfo DeviceInfo() override {
        CanDeviceInfo info{};
        info.ident = CAN_DEVICE_IDENT;
        return info;
    }
    int SetBaudrate(std::uint32_t) override { return 0; }
    int Write(const CanMsg&) override {
        writes.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    int Read(CanMsg& msg) override {
        std::uint64_t n = reads.fetch_add(1, std::memory_order_relaxed) + 1;
        msg.type = CAN_EV_RX;
        msg.id = 0x123;
        msg.dlc = 8;
        msg.valid = flood_ ? 1 : 0;
        std::uint64_t ticks = n * 1250;
        msg.ticksLow = static_cast<std::uint32_t>(ticks);
        msg.ticksHigh = static_cast<std::uint32_t>(ticks >> 32);
        return 0;
    }
    int PostWait(std::shared_ptr<platform::Event>) override {
        return flood_ ? 0 : platform::kErrorIoPending;
    }

    bool flood_;
};
