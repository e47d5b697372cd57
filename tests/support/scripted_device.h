// A device for tests: answers the adapter's requests from a script, records every request with
// its code and input bytes, and lets the test feed the read queue and complete the pending wait.
// Requests are checked by the adapter base (devices/common/adapter_base.h) after they are
// recorded and after a scripted failure had its say.
//
// Without a script it behaves as a quiet, healthy adapter: ident 4, clock kind 0 (1250 ticks per
// ms), clock 0, every well-formed request accepted, nothing to read.
//
// It can also stand on a bus of its own: frames "received" through ReceiveFromBus() and, with
// ConfirmWrites(true), the confirmations of its writes go through the base's filters and record
// queue, read after whatever the script holds.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "can/frame.h"
#include "channel/device_protocol.h"
#include "devices/common/adapter_base.h"

namespace testsupport {

inline constexpr std::chrono::milliseconds kGenerousWait{10000};

struct Request {
    std::uint32_t code;
    std::vector<std::uint8_t> in;
};

class ScriptedDevice : public devices::AdapterBase {
  public:
    explicit ScriptedDevice(std::size_t queueDepth = devices::RecordQueue::kDefaultDepth)
        : AdapterBase(queueDepth) {
        SetDeviceInfo(CAN_DEVICE_IDENT, 0, 0);
    }

    // --- Script -------------------------------------------------------------------------------
    void SetDeviceInfo(std::uint32_t ident, std::uint8_t clockKind, std::uint64_t clock);
    // The 16 reply bytes exactly as given.
    void SetDeviceInfoBytes(const std::vector<std::uint8_t>& bytes);
    // Every request with this code fails with the error (0: succeeds again).
    void FailRequests(std::uint32_t code, int error);
    // IOCTL_CAN_SET_BAUDRATE with this rate fails with kErrorIo.
    void RefuseBaudrate(std::uint32_t rate);
    // Open() of a handle to the device fails with the error.
    void FailOpen(int error);
    // Runs inside every write request, before it completes (it may block to hold the writer).
    void SetWriteHook(std::function<void(const CanMsg&)> hook);
    // Runs inside every wait request as it is posted, before the device decides on it.
    void SetWaitPostedHook(std::function<void()> hook);
    // Runs inside Close(), when the handle is already closed (it must not block).
    void SetCloseHook(std::function<void()> hook);
    // Clears the request's event as the wait request is posted, as the adapter's home platform
    // does with the event of an overlapped request (after the wait-posted hook).
    void ClearEventOnPost(bool on);

    // --- Read queue: each read takes the oldest entry; an empty queue reads as "nothing" --------
    // A record; its valid word is set to 1 when the test left it 0.
    void PushRecord(CanMsg msg);
    // A reply whose valid word is 0: the device has nothing (more) to give.
    void PushNothing();
    // Records followed by a "nothing" reply, queued at once: one wake-up serves them all.
    void PushBurst(const std::vector<CanMsg>& records);
    void PushReadFailure(int error);
    // A read that succeeds with a byte count of 0.
    void PushEmptyRead();
    // Completes the pending wait request; with none pending, the next one completes at once.
    // Pushing to the read queue completes a pending wait too, as a real adapter would.
    void CompleteWait();

    // --- Its own bus
    // ------------------------------------------------------------------------------ Another node's
    // frame, taken at once: filtered and queued, or counted as lost.
    void ReceiveFromBus(const can::Frame& frame);
    // Every write is confirmed at once, as a frame that went over the bus (off at first).
    void ConfirmWrites(bool on);

    // --- Observation --------------------------------------------------------------------------
    std::vector<Request> Requests() const;
    std::vector<std::uint32_t> Codes() const;  // without reads and waits
    std::size_t Count(std::uint32_t code) const;
    std::vector<CanMsg> Writes() const;
    bool WaitPending() const;
    int OpenCount() const;
    int CloseCount() const;
    int ReadsLeft() const;
    void ClearRequests();
    // Waits until pred holds, checked after every request and every open or close, at most
    // timeout. Call it without holding anything the device's callers need.
    bool WaitUntil(const std::function<bool()>& pred,
                   std::chrono::milliseconds timeout = kGenerousWait);

    // --- platform::Device ---------------------------------------------------------------------
    int Control(std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                std::uint32_t* returned) override;
    int ControlOverlapped(std::uint32_t code, std::shared_ptr<platform::Event> completion) override;

  private:
    int OnOpen() override;
    void OnClose() override;
    CanDeviceInfo DeviceInfo() override;
    int SetBaudrate(std::uint32_t rate) override;
    int Write(const CanMsg& msg) override;
    int Read(CanMsg& record) override;
    int PostWait(std::shared_ptr<platform::Event> completion) override;
    void CancelWait() override;

    enum class ReadKind { kRecord, kNothing, kFailure, kEmpty };
    struct ReadEntry {
        ReadKind kind;
        CanMsg msg;
        int error;
    };

    void Record(std::uint32_t code, std::span<const std::uint8_t> in);
    void PushReads(const std::vector<ReadEntry>& entries);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Request> requests_;
    std::vector<std::uint8_t> info_ = std::vector<std::uint8_t>(kCanDeviceInfoSize, 0);
    std::map<std::uint32_t, int> failing_;
    std::set<std::uint32_t> refusedRates_;
    int openError_ = 0;
    std::function<void(const CanMsg&)> writeHook_;
    std::function<void()> waitPostedHook_;
    std::function<void()> closeHook_;
    bool clearEventOnPost_ = false;
    std::deque<ReadEntry> reads_;
    std::shared_ptr<platform::Event> pending_;
    bool completionOwed_ = false;
    int openCount_ = 0;
    int closeCount_ = 0;
    bool confirmWrites_ = false;
};

// Registers a device under a path of its own for the lifetime of the object.
class RegisteredDevice {
  public:
    RegisteredDevice();
    ~RegisteredDevice();
    RegisteredDevice(const RegisteredDevice&) = delete;
    RegisteredDevice& operator=(const RegisteredDevice&) = delete;

    ScriptedDevice& operator*() const { return *device_; }
    ScriptedDevice* operator->() const { return device_.get(); }
    const char* path() const { return path_.c_str(); }

  private:
    std::shared_ptr<ScriptedDevice> device_ = std::make_shared<ScriptedDevice>();
    std::string path_;
};

// A received-frame record for the read queue.
CanMsg Frame(std::int32_t type, std::uint32_t id, std::uint64_t ticks, std::uint8_t dlc = 0,
             std::uint8_t rtr = 0);

std::uint32_t Little32(const std::vector<std::uint8_t>& bytes, std::size_t offset);

}  // namespace testsupport
