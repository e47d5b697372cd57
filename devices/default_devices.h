// The adapters the program finds at start.
#pragma once

#include <string>

#include "channel/adapter_path.h"

// Registers the four adapter paths "\\.\Kvaro", "\\.\Kvaro1", "\\.\Kvaro2" and "\\.\Kvaro3". The
// first is a simulated adapter; the others are the host's first three CAN interfaces (SocketCAN,
// in the order they were created), as far as there are any, and simulated adapters otherwise.
// Each simulated adapter is one of its own with the scenario that VESK_SIM_SCENARIO names
// ("default" when it is unset or names no scenario). Idempotent: a path that already has a device
// keeps it, so a second call, or a call after a path was mapped elsewhere, changes nothing.
void RegisterDefaultDevices();

inline constexpr int kAdapterCount = 4;
