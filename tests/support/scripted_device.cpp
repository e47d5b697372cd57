#include "tests/support/scripted_device.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "can/frame_records.h"
#include "can/sja1000_status.h"
#include "platform/error.h"
#include "tests/support/test_record.h"

namespace testsupport {

void ScriptedDevice::SetDeviceInfo(std::uint32_t ident, std::uint8_t clockKind,
                                   std::uint64_t clock) {
    CanDeviceInfo info{};
    info.ident = ident;
    info.clockLow = static_cast<std::uint32_t>(clock);
    info.clockHigh = static_cast<std::uint32_t>(clock >> 32);
    info.clockKind = clockKind;
    std::uint8_t wire[kCanDeviceInfoSize];
    ToWire(info, wire);
    SetDeviceInfoBytes(std::vector<std::uint8_t>(std::begin(wire), std::end(wire)));
}

void ScriptedDevice::SetDeviceInfoBytes(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    info_ = bytes;
    info_.resize(kCanDeviceInfoSize, 0);
}

void ScriptedDevice::FailRequests(std::uint32_t code, int error) {
    std::lock_guard lock(mutex_);
    if (error == 0) {
        failing_.erase(code);
    } else {
        failing_[code] = error;
    }
}

void ScriptedDevice::RefuseBaudrate(std::uint32_t rate) {
    std::lock_guard lock(mutex_);
    refusedRates_.insert(rate);
}

void ScriptedDevice::FailOpen(int error) {
    std::lock_guard lock(mutex_);
    openError_ = error;
}

void ScriptedDevice::SetWriteHook(std::function<void(const CanMsg&)> hook) {
    std::lock_guard lock(mutex_);
    writeHook_ = std::move(hook);
}

void ScriptedDevice::SetWaitPostedHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    waitPostedHook_ = std::move(hook);
}

void ScriptedDevice::SetCloseHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    closeHook_ = std::move(hook);
}

void ScriptedDevice::ClearEventOnPost(bool on) {
    std::lock_guard lock(mutex_);
    clearEventOnPost_ = on;
}

void ScriptedDevice::PushReads(const std::vector<ReadEntry>& entries) {
    std::shared_ptr<platform::Event> wake;
    {
        std::lock_guard lock(mutex_);
        reads_.insert(reads_.end(), entries.begin(), entries.end());
        wake = std::move(pending_);
        Queue().CancelWait();
    }
    if (wake)
        wake->Set();
}

void ScriptedDevice::PushRecord(CanMsg msg) {
    if (msg.valid == 0)
        msg.valid = 1;
    PushReads({{ReadKind::kRecord, msg, 0}});
}

void ScriptedDevice::PushNothing() {
    PushReads({{ReadKind::kNothing, CanMsg{}, 0}});
}

void ScriptedDevice::PushBurst(const std::vector<CanMsg>& records) {
    std::vector<ReadEntry> entries;
    for (CanMsg msg : records) {
        if (msg.valid == 0)
            msg.valid = 1;
        entries.push_back({ReadKind::kRecord, msg, 0});
    }
    entries.push_back({ReadKind::kNothing, CanMsg{}, 0});
    PushReads(entries);
}

void ScriptedDevice::PushReadFailure(int error) {
    PushReads({{ReadKind::kFailure, CanMsg{}, error}});
}

void ScriptedDevice::PushEmptyRead() {
    PushReads({{ReadKind::kEmpty, CanMsg{}, 0}});
}

void ScriptedDevice::CompleteWait() {
    std::shared_ptr<platform::Event> wake;
    {
        std::lock_guard lock(mutex_);
        wake = std::move(pending_);
        Queue().CancelWait();
        if (!wake)
            completionOwed_ = true;
    }
    if (wake)
        wake->Set();
}

void ScriptedDevice::ReceiveFromBus(const can::Frame& frame) {
    namespace sr = can::sja1000;
    sr::ControllerFlags flags;
    flags.dataOverrun = Overrun();
    DeliverReceived(frame, BusFrames(), sr::StatusRegister(sr::kSrRxBuffer, flags));
}

void ScriptedDevice::ConfirmWrites(bool on) {
    std::lock_guard lock(mutex_);
    confirmWrites_ = on;
}

std::vector<Request> ScriptedDevice::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::uint32_t> ScriptedDevice::Codes() const {
    std::lock_guard lock(mutex_);
    std::vector<std::uint32_t> codes;
    for (const Request& r : requests_) {
        if (r.code != IOCTL_CAN_READ && r.code != IOCTL_CAN_WAIT_EVENT)
            codes.push_back(r.code);
    }
    return codes;
}

std::size_t ScriptedDevice::Count(std::uint32_t code) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(
        requests_.begin(), requests_.end(), [code](const Request& r) { return r.code == code; }));
}

std::vector<CanMsg> ScriptedDevice::Writes() const {
    std::lock_guard lock(mutex_);
    std::vector<CanMsg> writes;
    for (const Request& r : requests_) {
        if (r.code == IOCTL_CAN_WRITE && r.in.size() == kCanMsgSize) {
            writes.push_back(CanMsgFromWire(r.in.data()));
        }
    }
    return writes;
}

bool ScriptedDevice::WaitPending() const {
    std::lock_guard lock(mutex_);
    return pending_ != nullptr;
}

int ScriptedDevice::OpenCount() const {
    std::lock_guard lock(mutex_);
    return openCount_;
}

int ScriptedDevice::CloseCount() const {
    std::lock_guard lock(mutex_);
    return closeCount_;
}

int ScriptedDevice::ReadsLeft() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(reads_.size());
}

void ScriptedDevice::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

bool ScriptedDevice::WaitUntil(const std::function<bool()>& pred,
                               std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    for (;;) {
        lock.unlock();
        bool done = pred();
        lock.lock();
        if (done)
            return true;
        // Short slices: pred may look at things other than this device.
        auto slice =
            std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(20));
        if (changed_.wait_until(lock, slice) == std::cv_status::timeout &&
            std::chrono::steady_clock::now() >= deadline) {
            lock.unlock();
            return pred();
        }
    }
}

int ScriptedDevice::OnOpen() {
    std::lock_guard lock(mutex_);
    if (openError_ != 0)
        return openError_;
    ++openCount_;
    completionOwed_ = false;
    changed_.notify_all();
    return 0;
}

void ScriptedDevice::OnClose() {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        hook = closeHook_;
    }
    if (hook)
        hook();
    std::lock_guard lock(mutex_);
    ++closeCount_;
    pending_.reset();
    changed_.notify_all();
}

void ScriptedDevice::Record(std::uint32_t code, std::span<const std::uint8_t> in) {
    requests_.push_back(Request{code, std::vector<std::uint8_t>(in.begin(), in.end())});
    changed_.notify_all();
}

int ScriptedDevice::Control(std::uint32_t code, std::span<const std::uint8_t> in,
                            std::span<std::uint8_t> out, std::uint32_t* returned) {
    std::function<void(const CanMsg&)> writeHook;
    {
        std::lock_guard lock(mutex_);
        Record(code, in);
        if (code == IOCTL_CAN_WRITE)
            writeHook = writeHook_;
    }
    if (writeHook && in.size() == kCanMsgSize)
        writeHook(CanMsgFromWire(in.data()));
    {
        std::lock_guard lock(mutex_);
        *returned = 0;
        if (auto it = failing_.find(code); it != failing_.end())
            return it->second;
        // A fault no adapter answers on purpose, so the base has no word for it.
        if (code == IOCTL_CAN_READ && !reads_.empty() && reads_.front().kind == ReadKind::kEmpty) {
            reads_.pop_front();
            return 0;
        }
    }
    return AdapterBase::Control(code, in, out, returned);
}

CanDeviceInfo ScriptedDevice::DeviceInfo() {
    std::lock_guard lock(mutex_);
    return CanDeviceInfoFromWire(info_.data());
}

int ScriptedDevice::SetBaudrate(std::uint32_t rate) {
    std::lock_guard lock(mutex_);
    return refusedRates_.count(rate) ? platform::kErrorIo : 0;
}

int ScriptedDevice::Write(const CanMsg& msg) {
    bool confirm;
    {
        std::lock_guard lock(mutex_);
        confirm = confirmWrites_;
    }
    if (confirm) {
        namespace sr = can::sja1000;
        sr::ControllerFlags flags;
        flags.txComplete = true;
        flags.dataOverrun = Overrun();
        DeliverTransmitted(can::FrameToSend(msg, SendsExtended(msg)), BusFrames(),
                           sr::StatusRegister(0, flags));
    }
    return 0;
}

int ScriptedDevice::Read(CanMsg& record) {
    std::unique_lock lock(mutex_);
    if (reads_.empty()) {
        lock.unlock();
        return AdapterBase::Read(record);  // what came over its own bus, if anything
    }
    ReadEntry entry = reads_.front();
    reads_.pop_front();
    if (entry.kind == ReadKind::kFailure)
        return entry.error;
    record = entry.msg;  // a "nothing" entry is all zero: valid 0
    return 0;
}

int ScriptedDevice::ControlOverlapped(std::uint32_t code,
                                      std::shared_ptr<platform::Event> completion) {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        Record(code, {});
        hook = waitPostedHook_;
    }
    if (hook)
        hook();
    {
        std::lock_guard lock(mutex_);
        if (clearEventOnPost_)
            completion->Reset();
        if (auto it = failing_.find(code); it != failing_.end())
            return it->second;
    }
    return AdapterBase::ControlOverlapped(code, std::move(completion));
}

int ScriptedDevice::PostWait(std::shared_ptr<platform::Event> completion) {
    std::lock_guard lock(mutex_);
    if (completionOwed_ || !reads_.empty()) {
        completionOwed_ = false;
        return 0;
    }
    int result = Queue().Wait(completion);
    if (result == platform::kErrorIoPending) {
        pending_ = std::move(completion);
        changed_.notify_all();
    }
    return result;
}

void ScriptedDevice::CancelWait() {
    std::lock_guard lock(mutex_);
    pending_.reset();
    Queue().CancelWait();
}

RegisteredDevice::RegisteredDevice() {
    static std::atomic<int> counter{0};
    path_ = "\\\\.\\VeskTest" + std::to_string(++counter);
    platform::RegisterDevice(path_, device_);
}

RegisteredDevice::~RegisteredDevice() {
    platform::UnregisterDevice(path_);
}

CanMsg Frame(std::int32_t type, std::uint32_t id, std::uint64_t ticks, std::uint8_t dlc,
             std::uint8_t rtr) {
    // Data bytes 0, 1, 2, ... as far as the code reaches.
    static constexpr std::uint8_t kCounting[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    static_assert(sizeof kCounting == kCanMaxSendBytes);
    std::vector<std::uint8_t> counting(kCounting,
                                       kCounting + std::min<std::size_t>(dlc, kCanMaxSendBytes));
    return Record({.type = type,
                   .id = id,
                   .dlc = dlc,
                   .rtr = rtr,
                   .data = std::move(counting),
                   .ticks = ticks,
                   .valid = 1});
}

std::uint32_t Little32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4 && offset + i < bytes.size(); ++i) {
        v |= std::uint32_t{bytes[offset + i]} << (8 * i);
    }
    return v;
}

}  // namespace testsupport
