#include "platform/thread.h"

#include <atomic>
#include <system_error>
#include <thread>

#include "platform/error.h"
#include "platform/event.h"
#include "platform/handle_table.h"

namespace platform {

namespace testing {
std::atomic<int> g_failNextCreateThread{0};
void FailNextCreateThread(int error) { g_failNextCreateThread = error; }
}  // namespace testing

namespace {

class ThreadObject : public detail::KernelObject {
public:
    // Signalled for good when the thread function has returned.
    std::shared_ptr<Event> done = std::make_shared<Event>(/*manualReset=*/true);
    std::thread thread;

    bool Wait(std::uint32_t timeoutMs) override {
        if (!done->Wait(timeoutMs)) return false;
        return true;
    }
    void OnClose() override {
        // The thread keeps running on its own; a thread that has ended is joined here so that
        // its resources go at once.
        if (!thread.joinable()) return;
        if (done->IsSet() && thread.get_id() != std::this_thread::get_id()) {
            thread.join();
        } else {
            thread.detach();
        }
    }
    ~ThreadObject() override {
        if (thread.joinable()) thread.detach();
    }
};

}  // namespace

Handle CreateThread(std::function<void()> fn) {
    if (int e = testing::g_failNextCreateThread.exchange(0)) {
        SetLastError(e);
        return kNoHandle;
    }
    auto object = std::make_shared<ThreadObject>();
    try {
        object->thread = std::thread([fn = std::move(fn), done = object->done] {
            fn();
            done->Set();
        });
    } catch (const std::system_error& e) {
        SetLastError(e.code().value());
        return kNoHandle;
    }
    return detail::AddHandle(std::move(object));
}

void Sleep(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace platform
