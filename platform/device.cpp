#include "platform/device.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <shared_mutex>

#include "platform/error.h"
#include "platform/handle_table.h"
#include "platform/host_device.h"

namespace platform {
namespace {

std::string Fold(const std::string& path) {
    std::string s = path;
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

struct Entry {
    std::shared_ptr<Device> device;
    bool open = false;
};

struct Registry {
    std::mutex mutex;
    std::map<std::string, Entry> entries;
};

Registry& GetRegistry() {
    static Registry* registry = new Registry;  // never destroyed: handles may close during exit
    return *registry;
}

void ReleasePath(const std::string& key, const std::shared_ptr<Device>& device) {
    Registry& r = GetRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.entries.find(key);
    if (it != r.entries.end() && it->second.device == device)
        it->second.open = false;
}

class DeviceObject : public detail::KernelObject {
  public:
    DeviceObject(std::string key, std::shared_ptr<Device> device)
        : key_(std::move(key)), device_(std::move(device)) {}

    bool Wait(std::uint32_t) override { return false; }

    // Runs fn on the device unless the handle was closed; a close waits for requests under way,
    // so no request reaches the device after its Close().
    template <class Fn>
    int Use(Fn&& fn) {
        std::shared_lock lock(mutex_);
        if (closed_)
            return kErrorInvalidHandle;
        return fn(*device_);
    }

    void OnClose() override {
        {
            std::unique_lock lock(mutex_);
            closed_ = true;
        }
        device_->CancelIo();
        device_->Close();
        ReleasePath(key_, device_);
    }

  private:
    std::string key_;
    std::shared_ptr<Device> device_;
    std::shared_mutex mutex_;
    bool closed_ = false;
};

}  // namespace

void RegisterDevice(const std::string& path, std::shared_ptr<Device> device) {
    Registry& r = GetRegistry();
    std::lock_guard lock(r.mutex);
    r.entries[Fold(path)] = Entry{std::move(device), false};
}

void UnregisterDevice(const std::string& path) {
    Registry& r = GetRegistry();
    std::lock_guard lock(r.mutex);
    r.entries.erase(Fold(path));
}

std::shared_ptr<Device> FindDevice(const std::string& path) {
    Registry& r = GetRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.entries.find(Fold(path));
    return it == r.entries.end() ? nullptr : it->second.device;
}

std::vector<std::string> RegisteredDevicePaths() {
    Registry& r = GetRegistry();
    std::lock_guard lock(r.mutex);
    std::vector<std::string> paths;
    for (const auto& [key, entry] : r.entries)
        paths.push_back(key);
    return paths;
}

Handle CreateFile(const char* path) {
    if (path == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return kNoHandle;
    }
    std::string key = Fold(path);
    std::shared_ptr<Device> device;
    {
        Registry& r = GetRegistry();
        std::lock_guard lock(r.mutex);
        auto it = r.entries.find(key);
        if (it != r.entries.end()) {
            if (it->second.open) {
                SetLastError(kErrorBusy);
                return kNoHandle;
            }
            it->second.open = true;
            device = it->second.device;
        }
    }
    if (!device) {
        // Not ours: the system's device of that name, if it has one. The system keeps it
        // exclusive; its release at close finds no registry entry to mark.
        int error = 0;
        device = OpenHostDevice(path, &error);
        if (!device) {
            SetLastError(error);
            return kNoHandle;
        }
    } else if (int e = device->Open()) {
        ReleasePath(key, device);
        SetLastError(e);
        return kNoHandle;
    }
    return detail::AddHandle(std::make_shared<DeviceObject>(key, device));
}

bool DeviceIoControl(Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                     void* out, std::uint32_t outSize, std::uint32_t* returned,
                     Handle overlappedEvent) {
    std::uint32_t count = 0;
    if (returned)
        *returned = 0;
    auto object = detail::LookUpAs<DeviceObject>(handle);
    if (!object) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    int result;
    if (overlappedEvent != kNoHandle) {
        auto event = EventFromHandle(overlappedEvent);
        if (!event) {
            SetLastError(kErrorInvalidParameter);
            return false;
        }
        result = object->Use([&](Device& d) { return d.ControlOverlapped(code, event); });
        if (result == 0)
            event->Set();
    } else {
        std::span<const std::uint8_t> input(static_cast<const std::uint8_t*>(in), in ? inSize : 0);
        std::span<std::uint8_t> output(static_cast<std::uint8_t*>(out), out ? outSize : 0);
        result = object->Use([&](Device& d) { return d.Control(code, input, output, &count); });
    }
    if (result != 0) {
        SetLastError(result);
        return false;
    }
    if (returned)
        *returned = count;
    return true;
}

bool CancelIo(Handle handle) {
    auto object = detail::LookUpAs<DeviceObject>(handle);
    if (!object)
        return false;
    object->Use([](Device& d) {
        d.CancelIo();
        return 0;
    });
    return true;
}

}  // namespace platform
