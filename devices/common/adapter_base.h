// The part every adapter in the driver's place shares: the requests of the device protocol
// decoded and checked once, the settings the device keeps, the record queue and the records of
// frames and bus events.
//
// Requests. Control() and ControlOverlapped() check each request's code, buffer sizes and
// argument bytes and answer kErrorInvalidParameter for anything wrong, before a derived adapter
// sees it; what is right goes on as one typed call below. A refused request changes nothing.
//   buffer sizes       device information 0/16, read 0/36, write 36/0, baud rate 4/0,
//                      both filters 8/0, mode, frame format and command 1/0 (in/out)
//   mode               0 Basic CAN, 1 PeliCAN; anything else kErrorInvalidParameter
//   frame format       0 standard, any other value extended (as the channel counts bus load)
//   command            1 standby, 2 abort, 3 clear overrun, 5/6 format reporting; else
//   kErrorInvalidParameter wait request       overlapped only, with an event
//
// Settings. Baud rate (20000 at first), hardware filter (code and mask all ones), software
// filter (0/0) and frame-format reporting are kept from one open to the next, because the
// channel layer does not send unchanged values again. Mode and frame format start afresh at
// every open as Basic CAN with standard frames. A setting is stored once the derived adapter
// accepted it; setters are serialised, so an adapter whose own work must not interleave with a
// filter or mode change (a write that checks the filter) takes SettingsMutex(). Any thread may
// read the settings at any time.
//
// Records. The record queue (record_queue.h) holds what the reader gets, with the overrun and
// `lost` rules. Deliver...() turn what happened on the bus into records: the received frame
// through the hardware filter of the mode and the software filter, the type by format
// reporting. Clear overrun and format reporting are handled here entirely.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

#include "can/frame.h"
#include "can/frame_records.h"
#include "can/sja1000_status.h"
#include "channel/device_protocol.h"
#include "devices/common/acceptance_filter.h"
#include "devices/common/record_queue.h"
#include "platform/device.h"
#include "platform/event.h"

namespace devices {

class AdapterBase : public platform::Device {
  public:
    explicit AdapterBase(std::size_t queueDepth = RecordQueue::kDefaultDepth);

    int Open() final;
    void Close() final;
    // Not final, so that a test device can look at a request before it is decoded.
    int Control(std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                std::uint32_t* returned) override;
    int ControlOverlapped(std::uint32_t code, std::shared_ptr<platform::Event> completion) override;
    void CancelIo() final;

    // The settings as they are now.
    std::uint32_t Baudrate() const { return baudrate_.load(std::memory_order_relaxed); }
    std::uint32_t AcceptanceCode() const { return CodeOf(acceptance_); }
    std::uint32_t AcceptanceMask() const { return MaskOf(acceptance_); }
    std::uint32_t SoftAcceptanceCode() const { return CodeOf(softAcceptance_); }
    std::uint32_t SoftAcceptanceMask() const { return MaskOf(softAcceptance_); }
    bool FormatReporting() const { return formatReporting_.load(std::memory_order_relaxed); }
    std::uint8_t Mode() const { return mode_.load(std::memory_order_relaxed); }
    bool ExtendedFormat() const { return extendedFormat_.load(std::memory_order_relaxed); }
    // Whether a write goes out with a 29-bit identifier: only PeliCAN with extended frames.
    bool SendsExtended() const { return Mode() == CAN_MODE_PELICAN && ExtendedFormat(); }
    // The same for one written record, which may name its own format by its type (a trace of
    // mixed frames played onto the bus): CAN_EV_TX_EXT a 29-bit identifier, CAN_EV_TX_STD an
    // 11-bit one; any other type follows the channel's format. A 29-bit write in Basic CAN mode
    // is refused before it gets here.
    bool SendsExtended(const CanMsg& msg) const {
        if (msg.type == CAN_EV_TX_EXT)
            return true;
        if (msg.type == CAN_EV_TX_STD)
            return false;
        return SendsExtended();
    }

    std::size_t QueuedRecords() const { return queue_.Size(); }
    bool Overrun() const { return queue_.Overrun(); }
    // Frames taken from the bus since construction (received or own, whether queued, filtered
    // out or lost), so that a caller outside the adapter's threads can tell that it has seen a
    // frame.
    std::uint64_t BusFrames() const { return busFrames_.load(std::memory_order_acquire); }

    // --- The bus side: records of what happened, in the record queue ---------------------------
    // A frame another node sent; false when a filter kept it out.
    bool DeliverReceived(const can::Frame& frame, std::uint64_t ticks, std::uint8_t status) {
        const bool accepted =
            HardwareFilterAccepts(Mode(), AcceptanceCode(), AcceptanceMask(), frame) &&
            SoftwareFilterAccepts(SoftAcceptanceCode(), SoftAcceptanceMask(), frame.id);
        if (accepted)
            QueueFrame(CAN_EV_RX, CAN_EV_RX_STD, CAN_EV_RX_EXT, frame, ticks, status);
        busFrames_.fetch_add(1, std::memory_order_release);
        return accepted;
    }
    // The adapter's own frame, gone over the bus: its confirmation.
    void DeliverTransmitted(const can::Frame& frame, std::uint64_t ticks, std::uint8_t status) {
        QueueFrame(CAN_EV_TX, CAN_EV_TX_STD, CAN_EV_TX_EXT, frame, ticks, status);
        busFrames_.fetch_add(1, std::memory_order_release);
    }
    // A bus event (types 4..9); false when the queue had no room.
    bool DeliverEvent(std::int32_t type, std::uint64_t ticks, std::uint8_t status);
    // Frames lost before they reached the queue, counted as the queue counts its own losses.
    void CountLost(std::int32_t count, std::uint64_t ticks, std::uint8_t status);
    RecordQueue& Queue() { return queue_; }

  protected:
    // --- Typed requests: 0 or a platform error code; a refusal changes nothing ------------------
    // The handle is opened (settings of the open already reset, queue empty) or closed.
    virtual int OnOpen() { return 0; }
    virtual void OnClose() {}
    virtual CanDeviceInfo DeviceInfo() = 0;
    // Whether the adapter can run at the rate; stored when accepted.
    virtual int SetBaudrate(std::uint32_t rate) = 0;
    // Each called with the checked value before it is stored.
    virtual int SetMode(std::uint8_t mode);
    virtual int SetFrameFormat(bool extended);
    virtual int SetAcceptance(std::uint32_t code, std::uint32_t mask);
    virtual int SetSoftAcceptance(std::uint32_t code, std::uint32_t mask);
    // Standby and abort transmission; the other commands are the base's own.
    virtual int Command(std::uint8_t command);
    virtual int Write(const CanMsg& msg) = 0;
    // The next record, or one with valid 0 when there is none. By default from the queue.
    virtual int Read(CanMsg& record);
    // The wait request, as platform::Device::ControlOverlapped answers it. By default the
    // queue's: completes as soon as a record is queued.
    virtual int PostWait(std::shared_ptr<platform::Event> completion);
    virtual void CancelWait();

    // Held while a filter, mode, frame format or command is applied and stored.
    std::mutex& SettingsMutex() { return settingsMutex_; }
    bool IsOpen() const { return open_.load(std::memory_order_acquire); }

    // Device information for a clock of 10000 ticks per millisecond now at `ticks`.
    static CanDeviceInfo FastClockInfo(std::uint64_t ticks);

  private:
    static std::uint64_t Pack(std::uint32_t code, std::uint32_t mask) {
        return std::uint64_t{code} << 32 | mask;
    }
    static std::uint32_t CodeOf(const std::atomic<std::uint64_t>& pair) {
        return static_cast<std::uint32_t>(pair.load(std::memory_order_relaxed) >> 32);
    }
    static std::uint32_t MaskOf(const std::atomic<std::uint64_t>& pair) {
        return static_cast<std::uint32_t>(pair.load(std::memory_order_relaxed));
    }

    int Configure(std::uint32_t code, std::span<const std::uint8_t> in);
    // Queues a frame record of the first type, or of the second or third by the frame's format
    // while format reporting is on.
    // (Inline, as are the two above: they run for every frame on the bus.)
    void QueueFrame(std::int32_t plain, std::int32_t standard, std::int32_t extended,
                    const can::Frame& frame, std::uint64_t ticks, std::uint8_t status) {
        CanMsg m = can::FrameRecord(
            FormatReporting() ? (frame.extended ? extended : standard) : plain, frame);
        can::StampTicks(m, ticks);
        m.status = status;
        queue_.PushFrame(m);
    }
    int RunCommand(std::uint8_t command);

    RecordQueue queue_;
    std::atomic<bool> open_{false};
    std::atomic<std::uint64_t> busFrames_{0};

    std::mutex rateMutex_;      // one baud-rate change at a time
    std::mutex settingsMutex_;  // the other settings
    std::atomic<std::uint32_t> baudrate_{20000};
    std::atomic<std::uint64_t> acceptance_{Pack(0xFFFFFFFFu, 0xFFFFFFFFu)};
    std::atomic<std::uint64_t> softAcceptance_{Pack(0, 0)};
    std::atomic<bool> formatReporting_{false};
    std::atomic<std::uint8_t> mode_{CAN_MODE_BASIC};
    std::atomic<bool> extendedFormat_{false};
};

}  // namespace devices
