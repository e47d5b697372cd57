// Devices by path that no in-process device claims: the system's own, reached the way the
// adapter's driver is on its home platform. On Windows that is CreateFileA and DeviceIoControl;
// Linux has no such driver, so there every such path is absent.
#pragma once

#include <memory>

#include "platform/device.h"

namespace platform {

// Opens the system's device at path. nullptr with *error set when it cannot (on Linux always,
// with kErrorNotFound). The device's Close() closes the system's handle.
std::shared_ptr<Device> OpenHostDevice(const char* path, int* error);

}  // namespace platform
