#include "platform/host_device.h"

#include "platform/error.h"

namespace platform {

std::shared_ptr<Device> OpenHostDevice(const char*, int* error) {
    *error = kErrorNotFound;
    return nullptr;
}

}  // namespace platform
