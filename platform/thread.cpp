#include "platform/thread.h"

#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/error.h"
#include "platform/event.h"
#include "platform/fault_injection.h"
#include "platform/handle_table.h"

namespace platform {

namespace testing {
namespace {
std::mutex g_failMutex;
int g_failError = 0;
int g_failSkip = 0;

// The injected error for this creation, or 0.
int TakeInjectedCreateThreadFailure() {
    std::lock_guard lock(g_failMutex);
    if (g_failError == 0)
        return 0;
    if (g_failSkip > 0) {
        --g_failSkip;
        return 0;
    }
    return std::exchange(g_failError, 0);
}
}  // namespace

std::atomic<int> g_running{0};

int RunningThreadCount() {
    return g_running.load();
}

void FailNextCreateThread(int error, int skip) {
    std::lock_guard lock(g_failMutex);
    g_failError = error;
    g_failSkip = skip;
}
}  // namespace testing

namespace {

class ThreadObject : public detail::KernelObject {
  public:
    // Signalled for good when the thread function has returned.
    std::shared_ptr<Event> done = std::make_shared<Event>(/*manualReset=*/true);
    std::thread thread;

    bool Wait(std::uint32_t timeoutMs) override {
        if (!done->Wait(timeoutMs))
            return false;
        return true;
    }
    void OnClose() override {
        // The thread keeps running on its own; a thread that has ended is joined here so that
        // its resources go at once.
        if (!thread.joinable())
            return;
        if (done->IsSet() && thread.get_id() != std::this_thread::get_id()) {
            thread.join();
        } else {
            thread.detach();
        }
    }
    ~ThreadObject() override {
        if (thread.joinable())
            thread.detach();
    }
};

}  // namespace

Handle CreateThread(std::function<void()> fn) {
    if (int e = testing::TakeInjectedCreateThreadFailure()) {
        SetLastError(e);
        return kNoHandle;
    }
    auto object = std::make_shared<ThreadObject>();
    ++testing::g_running;
    try {
        // The function and whatever it captured go before the handle signals, so a waiter that
        // sees the thread ended may free anything those captures refer to.
        object->thread = std::thread([fn = std::move(fn), done = object->done]() mutable {
            fn();
            fn = nullptr;
            --testing::g_running;
            done->Set();
        });
    } catch (const std::system_error& e) {
        --testing::g_running;
        SetLastError(e.code().value());
        return kNoHandle;
    }
    return detail::AddHandle(std::move(object));
}

void Sleep(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace platform
