#include "platform/host_device.h"

#include <memory>
#include <mutex>
#include <utility>

#include "platform/error.h"
#include "platform/host_device_calls.h"

#include "platform/windows_headers.h"

namespace platform {
namespace win32 {
namespace {

void* SystemOpen(const char* path) {
    HANDLE h = ::CreateFileA(path, 0, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

int SystemControl(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                  std::uint32_t outSize, std::uint32_t* returned, void* overlapped) {
    DWORD count = 0;
    const BOOL ok =
        ::DeviceIoControl(static_cast<HANDLE>(handle), code, const_cast<void*>(in), inSize, out,
                          outSize, &count, static_cast<OVERLAPPED*>(overlapped));
    *returned = count;
    return ok;
}

int SystemCancel(void* handle, void* overlapped) {
    return ::CancelIoEx(static_cast<HANDLE>(handle), static_cast<OVERLAPPED*>(overlapped));
}

int SystemClose(void* handle) {
    return ::CloseHandle(static_cast<HANDLE>(handle));
}

std::mutex g_callsMutex;
DeviceCalls g_calls = {SystemOpen, SystemControl, SystemCancel, SystemClose};

DeviceCalls CurrentCalls() {
    std::lock_guard lock(g_callsMutex);
    return g_calls;
}

int LastSystemError() {
    const DWORD e = ::GetLastError();
    return e != 0 ? static_cast<int>(e) : kErrorIo;
}

// One request's OVERLAPPED and the system event it completes, closed with the request.
struct Request {
    OVERLAPPED overlapped{};
    Request() { overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Request() {
        if (overlapped.hEvent != nullptr)
            ::CloseHandle(overlapped.hEvent);
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
};

// The system's device. Buffered requests complete before Control() returns (the handle is
// opened for overlapped I/O, so each waits for its own OVERLAPPED). The overlapped wait request
// is one at a time: its completion is watched from the system's thread pool, which signals the
// caller's event unless the request was cancelled.
class SystemDevice : public Device {
  public:
    SystemDevice(void* handle, const DeviceCalls& calls) : handle_(handle), calls_(calls) {}
    ~SystemDevice() override { Close(); }

    void Close() override {
        CancelIo();
        std::lock_guard lock(mutex_);
        if (handle_ != nullptr)
            calls_.close(std::exchange(handle_, nullptr));
    }

    int Control(std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                std::uint32_t* returned) override {
        Request request;
        if (request.overlapped.hEvent == nullptr)
            return LastSystemError();
        std::uint32_t count = 0;
        if (!calls_.control(handle_, code, in.data(), static_cast<std::uint32_t>(in.size()),
                            out.data(), static_cast<std::uint32_t>(out.size()), &count,
                            &request.overlapped)) {
            if (::GetLastError() != ERROR_IO_PENDING)
                return LastSystemError();
            DWORD done = 0;
            if (!::GetOverlappedResult(static_cast<HANDLE>(handle_), &request.overlapped, &done,
                                       TRUE))
                return LastSystemError();
            count = done;
        }
        *returned = count;
        return 0;
    }

    int ControlOverlapped(std::uint32_t code, std::shared_ptr<Event> completion) override {
        CancelIo();  // what is left of a completed request goes before the next one
        std::lock_guard lock(mutex_);
        auto request = std::make_unique<Request>();
        if (request->overlapped.hEvent == nullptr)
            return LastSystemError();
        std::uint32_t count = 0;
        if (calls_.control(handle_, code, nullptr, 0, nullptr, 0, &count, &request->overlapped))
            return 0;
        if (::GetLastError() != ERROR_IO_PENDING)
            return LastSystemError();
        completion_ = std::move(completion);
        cancelled_ = false;
        pending_ = std::move(request);
        if (!::RegisterWaitForSingleObject(&wait_, pending_->overlapped.hEvent, &SystemDevice::Done,
                                           this, INFINITE, WT_EXECUTEONLYONCE)) {
            const int error = LastSystemError();
            calls_.cancel(handle_, &pending_->overlapped);
            DWORD ignored = 0;
            ::GetOverlappedResult(static_cast<HANDLE>(handle_), &pending_->overlapped, &ignored,
                                  TRUE);
            pending_.reset();
            completion_.reset();
            return error;
        }
        return kErrorIoPending;
    }

    // Cancels the request and waits for the system to give its OVERLAPPED back, then for the
    // pool's callback to be over, so neither outlives the request.
    void CancelIo() override {
        std::unique_lock lock(mutex_);
        if (!pending_)
            return;
        cancelled_ = true;
        lock.unlock();
        // A completed request (the driver answered) needs no cancelling, only its clean-up.
        if (!HasOverlappedIoCompleted(&pending_->overlapped))
            calls_.cancel(handle_, &pending_->overlapped);
        DWORD ignored = 0;
        ::GetOverlappedResult(static_cast<HANDLE>(handle_), &pending_->overlapped, &ignored, TRUE);
        ::UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
        lock.lock();
        wait_ = nullptr;
        pending_.reset();
        completion_.reset();
    }

  private:
    static void CALLBACK Done(void* self, BOOLEAN) {
        auto* device = static_cast<SystemDevice*>(self);
        std::shared_ptr<Event> completion;
        {
            std::lock_guard lock(device->mutex_);
            if (!device->cancelled_)
                completion = device->completion_;
        }
        if (completion)
            completion->Set();
    }

    std::mutex mutex_;
    void* handle_;
    DeviceCalls calls_;
    std::unique_ptr<Request> pending_;
    HANDLE wait_ = nullptr;
    std::shared_ptr<Event> completion_;
    bool cancelled_ = false;
};

}  // namespace

DeviceCalls SystemDeviceCalls() {
    return {SystemOpen, SystemControl, SystemCancel, SystemClose};
}

DeviceCalls SetDeviceCalls(const DeviceCalls& calls) {
    std::lock_guard lock(g_callsMutex);
    return std::exchange(g_calls, calls);
}

}  // namespace win32

std::shared_ptr<Device> OpenHostDevice(const char* path, int* error) {
    const win32::DeviceCalls calls = win32::CurrentCalls();
    void* handle = calls.open(path);
    if (handle == nullptr) {
        *error = win32::LastSystemError();
        return nullptr;
    }
    return std::make_shared<win32::SystemDevice>(handle, calls);
}

}  // namespace platform
