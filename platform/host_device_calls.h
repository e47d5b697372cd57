// The Windows system calls behind a device that the system provides (platform/host_device.h),
// as a table a test can replace with a scripted stand-in that answers the control codes. Types
// are kept free of <windows.h>: a handle is void*, an OVERLAPPED is passed as void*.
#pragma once

#include <cstdint>

namespace platform::win32 {

struct DeviceCalls {
    // CreateFileA(path, 0, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr).
    void* (*open)(const char* path);
    // DeviceIoControl on the handle, with the request's OVERLAPPED (never null).
    int (*control)(void* handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                   void* out, std::uint32_t outSize, std::uint32_t* returned, void* overlapped);
    // CancelIoEx for that OVERLAPPED.
    int (*cancel)(void* handle, void* overlapped);
    int (*close)(void* handle);
};

// The system's own calls.
DeviceCalls SystemDeviceCalls();

// Replaces the table for devices opened from now on and returns the previous one.
DeviceCalls SetDeviceCalls(const DeviceCalls& calls);

}  // namespace platform::win32
