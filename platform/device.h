// Devices opened by path and driven by control requests, and the registry that maps paths to
// in-process device objects.
//
// A device object lives in the registry independent of whether it is open, so state that a real
// adapter keeps across close and reopen (baud rate, acceptance filter) is simply kept in it.
// Opening is exclusive: while a handle to a path is open, a second open fails with kErrorBusy.
// An unknown path fails with kErrorNotFound.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/event.h"
#include "platform/handle.h"

namespace platform {

class Device {
  public:
    virtual ~Device() = default;

    // Called when a handle to the device is opened; 0, or an error code to fail the open.
    virtual int Open() { return 0; }
    // Called when that handle is closed (after any pending request was cancelled).
    virtual void Close() {}

    // A request that completes before it returns: 0 and *returned = bytes written to out, or an
    // error code. Requests may come from several threads at once.
    virtual int Control(std::uint32_t code, std::span<const std::uint8_t> in,
                        std::span<std::uint8_t> out, std::uint32_t* returned) = 0;

    // An overlapped request without buffers. Returns 0 when it completed at once (the caller
    // signals the event), kErrorIoPending when the device will Set() the event on completion,
    // or an error code. The device keeps the event alive for as long as it needs it.
    virtual int ControlOverlapped(std::uint32_t code, std::shared_ptr<Event> completion) {
        (void)code;
        (void)completion;
        return 22;  // kErrorInvalidParameter: the device has no overlapped requests
    }

    // Cancels the pending overlapped request, if any; its event is not signalled.
    virtual void CancelIo() {}

    // The opener has applied what it sets after an open (mode, frame format, filters, rate). A
    // device that plays something of its own (a trace as the bus) starts it now, so that it
    // plays at the rate and through the filters the operator chose. Not a request: a device
    // driver outside the process never hears of it.
    virtual void Configured() {}

    // What a recording calls the bus behind the device when it is adapter number `adapter`
    // ("can0", "sim1"); empty where the device has no name of its own.
    virtual std::string BusName(int adapter) const {
        (void)adapter;
        return {};
    }

    // The file the device plays its bus from while open (a trace it replays), which a recording
    // must not overwrite; empty for a device that reads no file.
    virtual std::string SourceFile() const { return {}; }

    // The scenario of a simulated bus that the operator's common scenario may replace ("default",
    // "quiet", "flood"); empty for every other device, a simulated bus that plays a file among
    // them.
    virtual std::string ScenarioName() const { return {}; }
};

// Paths are compared without regard to case, as device paths are on the adapter's home platform.
void RegisterDevice(const std::string& path, std::shared_ptr<Device> device);
void UnregisterDevice(const std::string& path);
std::shared_ptr<Device> FindDevice(const std::string& path);
std::vector<std::string> RegisteredDevicePaths();

// CreateFileA with access 0, share mode 0 (exclusive), CREATE_NEW and FILE_FLAG_OVERLAPPED,
// the only way the channel layer opens anything. kNoHandle on failure (last error set).
Handle CreateFile(const char* path);

// DeviceIoControl. Without an event the request completes before the call returns.
// With an event (overlapped): true when it completed at once (the event is signalled too),
// false with last error kErrorIoPending when it will signal the event later, false with
// another last error when it failed.
bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                     void* out, std::uint32_t outSize, std::uint32_t* returned,
                     Handle overlappedEvent = kNoHandle);

bool CancelIo(Handle device);

}  // namespace platform
