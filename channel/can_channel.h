// The CAN channel: one record per process and the operations on it.
//
// Every operation accepts a null channel and then does nothing and returns 0 (0.0). Results are
// integers: 1 success, 0 failure or nothing done, except where noted. CanWriteMsg and CanSend
// return 0 on success and also when the channel is closed, otherwise the platform error code.
//
// Threads: the operations are called on the user-interface thread, except CanSend (also from the
// receive thread, inside the callback) and CanWriteMsg (also from cyclic-job threads).
//
// Lifetime of the threads: every pause of a channel or job thread ends at once when it is told to
// stop. CanClose waits at most 1000 ms for each channel thread and 500 ms for each job; a thread
// still running after its bound keeps its handle in the record, and the next CanOpen or
// CanDestroyChannel waits for it without bound before the record is reused or freed. The
// callback must therefore never block on the thread that closes or destroys the channel.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "channel/cyclic_job.h"
#include "channel/device_protocol.h"
#include "platform/event.h"
#include "platform/handle.h"

struct CanChannel;

// Called on the receive thread for every record while event delivery is on. The record is valid
// only during the call. The result is ignored.
using CanNotifyCallback = int (*)(CanChannel*, double absSeconds, double deltaSeconds,
                                  const CanMsg*);

// Called on the receive thread for every record, whether event delivery is on or not (after the
// callback when it is on), for what must go on while the log stands still: a recording, the
// overview by identifier. absSeconds as the callback would get it.
using CanRecordTap = void (*)(CanChannel*, double absSeconds, const CanMsg*);

struct CanChannel {
    // The open device; kNoHandle whenever the channel is closed.
    std::atomic<platform::Handle> device{platform::kNoHandle};
    void* ownerWindow = nullptr;
    platform::Handle rxThread = platform::kNoHandle;
    platform::Handle busLoadThread = platform::kNoHandle;
    std::atomic<std::int32_t> stop{0};
    std::atomic<platform::Handle> event{platform::kNoHandle};
    std::int32_t mode = 0;
    std::atomic<std::int32_t> frameFormat{0};
    std::atomic<std::uint32_t> ticksPerMs{0};
    std::atomic<std::int32_t> notify{1};
    void* owner = nullptr;
    std::uint32_t accCode = 0xFFFFFFFFu;
    std::uint32_t accMask = 0xFFFFFFFFu;
    std::atomic<std::uint32_t> baudrate{20000};
    std::atomic<std::uint32_t> prevMs{0};
    std::atomic<std::uint32_t> baseMs{0};
    double seconds = 0.0;    // guarded by the channel lock
    std::uint32_t bits = 0;  // guarded by the channel lock
    std::atomic<double> busLoad{0.0};
    CanDeviceInfo info{};
    // The wall clock (ns since the epoch) when `info` was read at the open: it places the
    // records' tick counts in wall-clock time (recordings). Written before the threads start.
    std::int64_t openWallNs = 0;
    CanNotifyCallback callback = nullptr;
    CanRecordTap tap = nullptr;  // set before the first open
    CyclicJob* jobs = nullptr;

    // Set by a close, reset by the next open once the threads of the previous one have ended;
    // ends the bus-load thread's pause at once.
    platform::Event stopSignal{/*manualReset=*/true};
    // Threads of stopped jobs that outlived their stopper's 500 ms; they still use the record.
    std::array<platform::Handle, kCanMaxStrayJobThreads> strayJobThreads{};
};

// nullptr when memory runs out. Remembers baud rate 20000 and acceptance code and mask all ones.
CanChannel* CanCreateChannel(void* ownerWindow, void* owner, CanNotifyCallback callback);
// Closes the channel, waits for every thread that still uses the record, frees it.
void CanDestroyChannel(CanChannel* channel);

// 1 opened; 0 device not opened; -1 event not created; -2 thread not started; -3 device
// information refused. *error receives the platform error code (0 for -3 and on success).
// The device information is read before the threads start, so no record is stamped before the
// clock rate is known; threads left over from an earlier open are ended first. A successful
// open holds its caller for 200 ms.
int CanOpen(CanChannel* channel, const char* path, int mode, int frameFormat, int* error);
void CanClose(CanChannel* channel);
int CanIsOpen(CanChannel* channel);
double CanGetBusLoad(CanChannel* channel);

// A request that fails because the receive thread closed the device under it counts as closed
// (0), not as a failed write.
int CanWriteMsg(CanChannel* channel, const CanMsg* msg);
// length is cut to 0..kCanMaxSendBytes; data may be null when nothing is copied from it (a null
// data pointer with a positive length sends nothing and returns kErrorInvalidParameter).
int CanSend(CanChannel* channel, std::uint32_t id, std::uint8_t rtr, int length,
            const std::uint8_t* data);
int CanCommand(CanChannel* channel, std::uint8_t command);
int CanSetAcceptance(CanChannel* channel, std::uint32_t code, std::uint32_t mask);
int CanSetSoftAcceptance(CanChannel* channel, std::uint32_t code, std::uint32_t mask);
// A refused rate makes the previous rate be sent again; the result is then 0.
int CanSetBaudrate(CanChannel* channel, std::uint32_t baudrate);
void CanResetTime(CanChannel* channel);
void CanEnableNotify(CanChannel* channel, int on);
