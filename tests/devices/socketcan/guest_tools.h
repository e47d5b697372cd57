// Helpers for the suites that run inside the SocketCAN guest: can-utils as independent peers,
// reading a device the way the channel's receive loop does, and the kernel's own counters.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "channel/device_protocol.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/event.h"
#include "platform/handle.h"
#include "platform/thread.h"

extern char** environ;

namespace guest {

using namespace std::chrono_literals;

// Time the software-emulated guest may take for anything that involves another process.
inline constexpr auto kPatience = 30s;

// A program started with its output going to a file (or nowhere).
class Child {
  public:
    explicit Child(const std::vector<std::string>& argv, const std::string& output = "/dev/null") {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            Wait();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    // The exit status, or -1 when it did not exit normally.
    int Wait() {
        if (pid_ <= 0)
            return -1;
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
};

inline int Run(const std::vector<std::string>& argv) {
    return Child(argv).Wait();
}

// cansend IFACE FRAME, e.g. Cansend("vcan0", "123#1122").
inline int Cansend(const std::string& iface, const std::string& frame) {
    return Run({"cansend", iface, frame});
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Polls `condition` until it holds or `limit` passes. For conditions that other processes or
// the kernel bring about, which no test can drive directly.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = kPatience) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        platform::Sleep(5);
    }
}

// Receivers the kernel holds for an interface (one line each in /proc/net/can/rcvlist_all),
// so that a test can tell when candump has bound its socket.
inline int ReceiverCount(const std::string& iface) {
    std::istringstream all(ReadFile("/proc/net/can/rcvlist_all"));
    int count = 0;
    for (std::string line; std::getline(all, line);) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first == iface)
            ++count;
    }
    return count;
}

// Whether the kernel's receive list `list` (rx_fil, rx_sff, ...) holds an entry for `iface` with
// this identifier and mask, as /proc/net/can/rcvlist_<list> prints them (hexadecimal).
inline bool HasReceiver(const std::string& list, const std::string& iface, const std::string& id,
                        const std::string& mask) {
    std::istringstream lines(ReadFile("/proc/net/can/rcvlist_" + list.substr(3)));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string device, canId, canMask;
        words >> device >> canId >> canMask;
        if (device == iface && canId == id && canMask == mask)
            return true;
    }
    return false;
}

// Frames the kernel's receive backlog dropped on all CPUs (second column of softnet_stat):
// those never reach any socket.
inline unsigned long BacklogDrops() {
    std::istringstream stat(ReadFile("/proc/net/softnet_stat"));
    unsigned long total = 0;
    for (std::string line; std::getline(stat, line);) {
        std::istringstream words(line);
        std::string processed, dropped;
        words >> processed >> dropped;
        if (!dropped.empty())
            total += std::stoul(dropped, nullptr, 16);
    }
    return total;
}

// Reads records as the channel's receive loop does (wait request, then reads until the device
// has none) until `done` is satisfied with what came so far or `limit` passes. `done` is asked
// again at least every `slice`, records or not.
inline std::vector<CanMsg> ReadUntil(platform::Handle device,
                                     const std::function<bool(const std::vector<CanMsg>&)>& done,
                                     std::chrono::milliseconds limit = kPatience,
                                     std::chrono::milliseconds slice = kPatience) {
    std::vector<CanMsg> records;
    platform::Handle event = platform::CreateEvent();
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done(records)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        if (!platform::DeviceIoControl(device, IOCTL_CAN_WAIT_EVENT, nullptr, 0, nullptr, 0,
                                       nullptr, event) &&
            platform::GetLastError() != platform::kErrorIoPending) {
            break;
        }
        platform::WaitForSingleObject(event,
                                      static_cast<std::uint32_t>(std::min(left, slice).count()));
        platform::CancelIo(device);
        std::uint8_t bytes[kCanMsgSize];
        std::uint32_t got = 0;
        while (platform::DeviceIoControl(device, IOCTL_CAN_READ, nullptr, 0, bytes, kCanMsgSize,
                                         &got) &&
               got == kCanMsgSize) {
            CanMsg m = CanMsgFromWire(bytes);
            if (m.valid == 0)
                break;
            records.push_back(m);
        }
    }
    platform::CloseHandle(event);
    return records;
}

// Until a record of `type` with identifier `id` arrived.
inline std::function<bool(const std::vector<CanMsg>&)> UntilRecord(std::int32_t type,
                                                                   std::uint32_t id) {
    return [=](const std::vector<CanMsg>& records) {
        for (const auto& r : records) {
            if (r.type == type && r.id == id)
                return true;
        }
        return false;
    };
}

inline const CanMsg* Find(const std::vector<CanMsg>& records, std::int32_t type, std::uint32_t id) {
    for (const auto& r : records) {
        if (r.type == type && r.id == id)
            return &r;
    }
    return nullptr;
}

}  // namespace guest
