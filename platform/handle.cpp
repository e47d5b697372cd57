#include "platform/handle.h"

#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "platform/error.h"
#include "platform/handle_table.h"

namespace platform {
namespace detail {
namespace {

struct Table {
    std::shared_mutex mutex;
    std::unordered_map<Handle, std::shared_ptr<KernelObject>> objects;
    Handle next = 1;
};

Table& GetTable() {
    static Table* table = new Table;  // never destroyed: threads may close handles during exit
    return *table;
}

}  // namespace

Handle AddHandle(std::shared_ptr<KernelObject> object) {
    Table& t = GetTable();
    std::unique_lock lock(t.mutex);
    Handle h = t.next++;
    t.objects.emplace(h, std::move(object));
    return h;
}

std::shared_ptr<KernelObject> LookUp(Handle handle) {
    Table& t = GetTable();
    {
        std::shared_lock lock(t.mutex);
        auto it = t.objects.find(handle);
        if (it != t.objects.end())
            return it->second;
    }
    SetLastError(kErrorInvalidHandle);
    return nullptr;
}

}  // namespace detail

WaitResult WaitForSingleObject(Handle handle, std::uint32_t timeoutMs) {
    auto object = detail::LookUp(handle);
    if (!object)
        return WaitResult::kFailed;
    return object->Wait(timeoutMs) ? WaitResult::kSignalled : WaitResult::kTimeout;
}

bool CloseHandle(Handle handle) {
    std::shared_ptr<detail::KernelObject> object;
    {
        detail::Table& t = detail::GetTable();
        std::unique_lock lock(t.mutex);
        auto it = t.objects.find(handle);
        if (it == t.objects.end()) {
            SetLastError(kErrorInvalidHandle);
            return false;
        }
        object = std::move(it->second);
        t.objects.erase(it);
    }
    object->OnClose();
    return true;
}

std::size_t OpenHandleCount() {
    detail::Table& t = detail::GetTable();
    std::shared_lock lock(t.mutex);
    return t.objects.size();
}

}  // namespace platform
