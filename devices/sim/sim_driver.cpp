#include "devices/sim/sim_driver.h"

#include "platform/device.h"

namespace sim {

SimDriver::SimDriver(Scenario scenario, Nanos start, std::size_t queueDepth) {
    SimAdapterOptions options;
    options.scenario = scenario;
    options.clock = ClockMode::kManual;
    options.manualStart = start;
    options.queueDepth = queueDepth;
    adapter_ = std::make_shared<SimAdapter>(options);
}

SimDriver::SimDriver(SimAdapterOptions options) {
    options.clock = ClockMode::kManual;
    adapter_ = std::make_shared<SimAdapter>(options);
}

void SimDriver::Register(const std::string& path) const {
    platform::RegisterDevice(path, adapter_);
}

Nanos SimDriver::Now() const {
    std::lock_guard lock(adapter_->mutex_);
    return adapter_->bus_.Now();
}

Nanos SimDriver::NextEventTime() const {
    std::lock_guard lock(adapter_->mutex_);
    return adapter_->bus_.NextEventTime();
}

void SimDriver::Advance(Nanos duration) {
    std::lock_guard lock(adapter_->mutex_);
    devices::RecordQueue::Batch batch(adapter_->Queue());
    adapter_->bus_.RunUntil(adapter_->bus_.Now() + (duration > 0 ? duration : 0));
}

void SimDriver::AdvanceTo(Nanos time) {
    std::lock_guard lock(adapter_->mutex_);
    devices::RecordQueue::Batch batch(adapter_->Queue());
    adapter_->bus_.RunUntil(time);
}

bool SimDriver::InjectFrame(const can::Frame& frame) {
    std::lock_guard lock(adapter_->mutex_);
    return adapter_->bus_.Inject(frame, adapter_->bus_.Now());
}

bool SimDriver::InjectFrameAt(const can::Frame& frame, Nanos at) {
    std::lock_guard lock(adapter_->mutex_);
    return adapter_->bus_.Inject(frame, at);
}

void SimDriver::CorruptNextFrames(int count) {
    std::lock_guard lock(adapter_->mutex_);
    adapter_->bus_.CorruptNextFrames(count);
}

void SimDriver::RaiseEvent(std::int32_t type) {
    std::lock_guard lock(adapter_->mutex_);
    adapter_->controller_.RaiseEvent(type, adapter_->bus_.Now());
}

std::vector<BusTraffic> SimDriver::TakeBusTraffic() {
    std::lock_guard lock(adapter_->mutex_);
    return adapter_->bus_.TakeTraffic();
}

std::vector<can::Frame> SimDriver::TakeTransmitted() {
    std::lock_guard lock(adapter_->mutex_);
    return adapter_->bus_.TakeTransmitted();
}

#define VESK_SIM_CONTROLLER_GETTER(Type, Name)  \
    Type SimDriver::Name() const {              \
        std::lock_guard lock(adapter_->mutex_); \
        return adapter_->controller_.Name();    \
    }

VESK_SIM_CONTROLLER_GETTER(bool, Sleeping)
VESK_SIM_CONTROLLER_GETTER(bool, BusOff)
VESK_SIM_CONTROLLER_GETTER(int, TransmitErrorCount)
VESK_SIM_CONTROLLER_GETTER(int, ReceiveErrorCount)
VESK_SIM_CONTROLLER_GETTER(std::size_t, PendingTransmissions)

#undef VESK_SIM_CONTROLLER_GETTER

std::size_t SimDriver::QueuedRecords() const {
    return adapter_->QueuedRecords();
}

}  // namespace sim
