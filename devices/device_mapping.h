// Which device stands behind each adapter path, as the operator chooses it: "N=SCHEME" or
// "N=SCHEME:ARGUMENT", where N (0..3) is the adapter and the scheme names a kind of adapter
// (devices/adapter_kinds.h) that checks the argument:
//
//   N=sim              adapter N is a simulated adapter with the common scenario
//   N=sim:SCENARIO     ... with a scenario of its own (default, quiet, flood)
//   N=socketcan:IFACE  adapter N is the SocketCAN interface IFACE (can0, vcan0, ...)
//   N=driver           adapter N is the system's device of its path (the adapter driver)
//   N=replay:FILE      adapter N is a simulated bus that plays the trace FILE (.log or .asc) once
//   N=replay:FILE:loop ... over and over
//
// One mapping per --device option on the command line; a comma-separated list of them in the
// environment variable VESK_DEVICES ("1=socketcan:can0,2=sim:quiet"), so there a FILE cannot
// contain a comma. Schemes and scenario names are matched without regard to case, interface names
// as written. Adapter N is the device path AdapterPath(N): "\\.\Kvaro" for 0, "\\.\Kvaro1" to
// "\\.\Kvaro3".
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devices/common/adapter_kind.h"

inline constexpr const char* kDevicesEnvironmentVariable = "VESK_DEVICES";

struct DeviceMapping {
    int adapter = 0;
    std::string_view scheme;  // the kind's, as it spells it
    devices::AdapterFactory apply;
};

// The mapping, or nullopt with `error` saying (in German) what is wrong with the text.
std::optional<DeviceMapping> ParseDeviceMapping(std::string_view text, std::string& error);
// A comma-separated list of mappings; blanks around each are ignored, an empty text is an empty
// list.
std::optional<std::vector<DeviceMapping>> ParseDeviceMappingList(std::string_view text,
                                                                 std::string& error);

// Registers the mapped device under its adapter path, in place of whatever was there.
void ApplyDeviceMapping(const DeviceMapping& mapping, const devices::AdapterDefaults& defaults);

// The name of adapter N in a recording: the device's own (platform::Device::BusName: the
// interface of a SocketCAN adapter, "can0"; "sim<N>" for a simulated one, "replay<N>" for a
// replay), "vesk<N>" for a device that has none.
std::string AdapterName(int adapter);

// The trace files that the registered replay adapters read, as they read them.
std::vector<std::string> ReplayTraceFiles();

// Sets up the adapters the program starts with: RegisterDefaultDevices(), then the common
// scenario for every adapter that is simulated, then the mappings of VESK_DEVICES, then
// `mappings` (the command line's) in their order, so that the command line has the last word.
// `scenario` is the command line's common scenario; empty means VESK_SIM_SCENARIO's (or
// "default"). Everything is checked before anything is registered: on a mistake the result
// says what is wrong (German) and only the default devices are registered. "" on success.
std::string SetUpAdapters(std::string_view scenario, std::span<const std::string> mappings);
