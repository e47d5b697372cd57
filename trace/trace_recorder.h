// Records events into a trace file on a writer thread of its own.
//
// The receive thread must never wait for the disk, so Push() only copies the record into a
// bounded single-producer queue allocated at Start(); the writer thread formats and writes in
// batches. When the queue is full the record is dropped and counted, and the writer puts an
// overrun marker where the loss happened: just before the next record that got through, with the
// time of the first one lost (or at the end of the file when none came after).
//
// A write error (disk full, no permission) ends the writing: the file is cut back to its last
// complete line so that it stays readable, later pushes are only counted as lost, and Failed()
// and FailureText() say what happened.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "can/can_msg.h"
#include "platform/data_file.h"
#include "trace/trace_format.h"
#include "trace/trace_lines.h"

namespace trace {

struct RecorderOptions {
    std::string path;
    std::string interfaceName;  // candump IFNAME (no blanks), e.g. "vcan0" or "vesk0"
    std::uint32_t bitrate = 0;  // for ASC Length; 0 = unknown
    std::int64_t startNs = 0;   // wall clock ns since epoch of the recording's start
    std::size_t queueCapacity = 65536;
    // Test seam: runs on the writer thread before each pass over the queue, so that a test can
    // hold the writer while the queue fills. Empty in the program.
    std::function<void()> beforeDrain;
};

class TraceRecorder {
  public:
    // Opens (creates or truncates) the file, writes the ASC header and starts the writer thread;
    // nullptr and a German error with the system's reason when it cannot, or when the path names
    // no known format.
    static std::unique_ptr<TraceRecorder> Start(const RecorderOptions& options, std::string& error);
    ~TraceRecorder();  // Stop()s

    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    // From one producer thread at a time: never blocks, never allocates. timeNs: wall clock ns
    // since epoch of the event. Records that no trace shows (see IsTraceEvent) are ignored and
    // give true. False when the record was dropped: the queue was full, the recording failed or
    // it is stopping; the record is then counted in Lost().
    bool Push(const CanMsg& msg, std::int64_t timeNs) noexcept;
    // Applies to the records pushed after it.
    void SetBitrate(std::uint32_t bitrate) noexcept;
    // Drains the queue, writes the pending marker and the ASC end line, closes. Idempotent; safe
    // while a producer still pushes (those pushes are dropped).
    void Stop();

    std::uint64_t EventsWritten() const noexcept;
    std::uint64_t Lost() const noexcept;
    bool Failed() const noexcept;
    std::string FailureText() const;
    const std::string& Path() const noexcept;

  private:
    struct Slot {
        CanMsg msg;
        std::int64_t timeNs;
        std::int64_t lostAtNs;     // time of the first record dropped before this one
        std::uint64_t lostBefore;  // records dropped between the previous slot and this one
        std::uint32_t bitrate;
    };

    TraceRecorder(const RecorderOptions& options, TraceFormat format, platform::DataFile file);
    void Run();
    void Drain();
    void Append(std::size_t length);
    bool Flush();
    void Fail(int code);

    RecorderOptions options_;
    TraceLines lines_;
    platform::DataFile file_;
    std::size_t capacity_;
    std::size_t wakeThreshold_;
    std::unique_ptr<Slot[]> slots_;

    alignas(64) std::atomic<std::uint64_t> tail_{0};  // written by the producer
    alignas(64) std::atomic<std::uint64_t> head_{0};  // written by the writer
    // The producer's own: losses not yet handed to the writer with a slot.
    std::uint64_t pendingLost_ = 0;
    std::int64_t pendingLostAt_ = 0;
    std::atomic<int> inPush_{0};
    std::atomic<bool> closed_{false};
    std::atomic<std::uint32_t> bitrate_;

    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> lost_{0};
    std::atomic<bool> failed_{false};
    mutable std::mutex failureMutex_;
    std::string failureText_;

    // The writer's own.
    std::vector<char> buffer_;
    std::size_t bufferUsed_ = 0;
    std::uint64_t bufferEvents_ = 0;
    std::int64_t committed_ = 0;  // bytes of whole lines in the file

    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool stopRequested_ = false;  // guarded by wakeMutex_
    std::mutex stopMutex_;
    bool stopped_ = false;  // guarded by stopMutex_
    std::thread writer_;
};

}  // namespace trace
