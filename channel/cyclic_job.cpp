#include "channel/cyclic_job.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "channel/can_channel.h"
#include "channel/stray_threads.h"
#include "platform/thread.h"

namespace {

constexpr std::uint32_t kJobStopBoundMs = 500;
constexpr std::uint32_t kPauseAfterFailedWriteMs = 100;

}  // namespace

int CyclicSendThread(CyclicJob* job) {
    while (job->stop.load() == 0) {
        // A channel whose receive thread has ended by itself reports its writes as "closed",
        // like sent ones; without the pause a job at interval 0 would spin until stopped.
        CanMsg msg;
        {
            std::lock_guard<std::mutex> lock(job->msgLock);
            msg = job->msg;
        }
        if (CanWriteMsg(job->channel, &msg) != 0 || CanIsOpen(job->channel) == 0) {
            job->wake->Pause(kPauseAfterFailedWriteMs);
        }
        // Read afresh each time, so a retime takes effect with the next pause.
        std::uint32_t interval = job->interval.load();
        if (interval > 0 && job->stop.load() == 0)
            job->wake->Pause(interval);
    }
    delete job;
    return 0;
}

CyclicJob* CanFindCyclic(CanChannel* channel, int key) {
    if (channel == nullptr)
        return nullptr;
    for (CyclicJob* job = channel->jobs; job != nullptr; job = job->next) {
        if (job->key == key)
            return job;
    }
    return nullptr;
}

namespace {

// Starts the job's thread and appends it to the channel's list; the key must be free.
int StartJob(CanChannel* channel, int key, const CanMsg& msg, std::uint32_t intervalMs) {
    CyclicJob* job = new (std::nothrow) CyclicJob;
    if (job == nullptr)
        return 0;
    try {
        job->wake = std::make_shared<platform::Event>(/*manualReset=*/true);
    } catch (const std::bad_alloc&) {
        delete job;
        return 0;
    }
    job->interval = std::min(intervalMs, kCanMaxIntervalMs);
    job->key = key;
    job->channel = channel;
    job->msg = msg;
    job->msg.dlc = static_cast<std::uint8_t>(std::min<int>(msg.dlc, kCanMaxSendBytes));

    job->thread = platform::CreateThread([job] { CyclicSendThread(job); });
    if (job->thread == platform::kNoHandle) {
        delete job;
        return 0;
    }

    CyclicJob** tail = &channel->jobs;
    while (*tail != nullptr)
        tail = &(*tail)->next;
    *tail = job;
    return 1;
}

}  // namespace

int CanStartCyclic(CanChannel* channel, int key, std::uint32_t id, std::uint8_t rtr, int length,
                   const std::uint8_t* data, std::uint32_t intervalMs) {
    if (channel == nullptr || CanIsOpen(channel) == 0)
        return 0;
    intervalMs = std::min(intervalMs, kCanMaxIntervalMs);

    if (CyclicJob* job = CanFindCyclic(channel, key)) {
        job->interval = intervalMs;
        return 1;
    }

    int count = std::clamp(length, 0, kCanMaxSendBytes);
    if (count > 0 && data == nullptr)
        return 0;

    CanMsg msg{};
    if (count > 0)
        std::memcpy(msg.data, data, static_cast<std::size_t>(count));
    msg.dlc = static_cast<std::uint8_t>(count);
    msg.id = id;
    msg.rtr = rtr;
    return StartJob(channel, key, msg, intervalMs);
}

int CanStartCyclicMsg(CanChannel* channel, int key, const CanMsg& msg, std::uint32_t intervalMs) {
    if (channel == nullptr || CanIsOpen(channel) == 0 || CanFindCyclic(channel, key) != nullptr)
        return 0;
    return StartJob(channel, key, msg, intervalMs);
}

int CanSetCyclicMsg(CanChannel* channel, int key, const CanMsg& msg) {
    CyclicJob* job = CanFindCyclic(channel, key);
    if (job == nullptr)
        return 0;
    std::lock_guard<std::mutex> lock(job->msgLock);
    job->msg = msg;
    job->msg.dlc = static_cast<std::uint8_t>(std::min<int>(msg.dlc, kCanMaxSendBytes));
    return 1;
}

int CanStopCyclic(CanChannel* channel, int key) {
    if (channel == nullptr)
        return 0;
    CyclicJob** link = &channel->jobs;
    while (*link != nullptr && (*link)->key != key)
        link = &(*link)->next;
    CyclicJob* job = *link;
    if (job == nullptr)
        return 0;
    *link = job->next;

    // The thread may free the node as soon as it sees stop: take what the stopper still needs
    // first, and raise stop last.
    platform::Handle thread = job->thread;
    std::shared_ptr<platform::Event> wake = job->wake;
    job->stop = 1;
    wake->Set();

    if (!WaitForThreadWithin(thread, kJobStopBoundMs))
        KeepStrayJobThread(channel, thread);
    return 1;
}

void CanStopAllCyclic(CanChannel* channel) {
    if (channel == nullptr)
        return;
    while (channel->jobs != nullptr)
        CanStopCyclic(channel, channel->jobs->key);
}
