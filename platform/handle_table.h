// Internal: the process's table of open handles.
#pragma once

#include <memory>

#include "platform/handle.h"

namespace platform::detail {

class KernelObject {
  public:
    virtual ~KernelObject() = default;
    // Waits as WaitForSingleObject does; false on timeout.
    virtual bool Wait(std::uint32_t timeoutMs) = 0;
    // Called once when the last handle to the object is closed.
    virtual void OnClose() {}
};

Handle AddHandle(std::shared_ptr<KernelObject> object);
// The object behind an open handle, or nullptr (last error kErrorInvalidHandle).
std::shared_ptr<KernelObject> LookUp(Handle handle);
template <class T>
std::shared_ptr<T> LookUpAs(Handle handle) {
    return std::dynamic_pointer_cast<T>(LookUp(handle));
}

}  // namespace platform::detail
