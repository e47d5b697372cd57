#include "trace/trace_recorder.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/error.h"

namespace trace {
namespace {

// Long enough that a quiet bus costs a few wake-ups a second, short enough that a trace someone
// follows with `tail -f` keeps up; a queue a quarter full wakes the writer at once.
constexpr auto kDrainInterval = std::chrono::milliseconds(50);
constexpr std::size_t kBufferSize = 64 * 1024;

// The system's reason in the user's language, as the program's other messages give it.
std::string SystemText(int code) {
    return platform::ErrorText(code);
}

}  // namespace

std::unique_ptr<TraceRecorder> TraceRecorder::Start(const RecorderOptions& options,
                                                    std::string& error) {
    const std::optional<TraceFormat> format = FormatForPath(options.path, error);
    if (!format)
        return nullptr;
    platform::DataFile file = platform::DataFile::CreateForWriting(options.path);
    if (!file.IsOpen()) {
        error = "Die Aufzeichnung „" + options.path +
                "“ kann nicht angelegt werden: " + SystemText(file.Error());
        return nullptr;
    }
    std::unique_ptr<TraceRecorder> recorder(new TraceRecorder(options, *format, std::move(file)));
    recorder->Append(recorder->lines_.Header(recorder->buffer_.data() + recorder->bufferUsed_,
                                             kTraceLinesCapacity));
    if (!recorder->Flush()) {
        error = recorder->FailureText();
        return nullptr;  // the destructor closes the file
    }
    recorder->writer_ = std::thread([r = recorder.get()] { r->Run(); });
    return recorder;
}

TraceRecorder::TraceRecorder(const RecorderOptions& options, TraceFormat format,
                             platform::DataFile file)
    : options_(options),
      lines_(format, options.interfaceName, options.startNs),
      file_(std::move(file)),
      capacity_(std::max<std::size_t>(options.queueCapacity, 1)),
      wakeThreshold_(std::max<std::size_t>(capacity_ / 4, 1)),
      slots_(new Slot[capacity_]),
      bitrate_(options.bitrate),
      buffer_(kBufferSize) {}

TraceRecorder::~TraceRecorder() {
    Stop();
}

bool TraceRecorder::Push(const CanMsg& msg, std::int64_t timeNs) noexcept {
    if (!IsTraceEvent(msg.type))
        return true;
    // Stop() raises closed_ and then waits until no push is under way, so once it has seen
    // inPush_ at zero no producer touches the queue or the pending loss again.
    inPush_.fetch_add(1, std::memory_order_seq_cst);
    bool queued = false;
    if (!closed_.load(std::memory_order_seq_cst) && !failed_.load(std::memory_order_relaxed)) {
        const std::uint64_t tail = tail_.load(std::memory_order_relaxed);
        const std::uint64_t head = head_.load(std::memory_order_acquire);
        if (tail - head < capacity_) {
            Slot& slot = slots_[tail % capacity_];
            slot.msg = msg;
            slot.timeNs = timeNs;
            slot.lostAtNs = pendingLostAt_;
            slot.lostBefore = pendingLost_;
            slot.bitrate = bitrate_.load(std::memory_order_relaxed);
            pendingLost_ = 0;
            tail_.store(tail + 1, std::memory_order_release);
            queued = true;
            if (tail + 1 - head == wakeThreshold_)
                wake_.notify_one();
        } else {
            if (pendingLost_ == 0)
                pendingLostAt_ = timeNs;
            ++pendingLost_;
        }
    }
    if (!queued)
        lost_.fetch_add(1, std::memory_order_relaxed);
    inPush_.fetch_sub(1, std::memory_order_seq_cst);
    return queued;
}

void TraceRecorder::SetBitrate(std::uint32_t bitrate) noexcept {
    bitrate_.store(bitrate, std::memory_order_relaxed);
}

void TraceRecorder::Stop() {
    std::lock_guard<std::mutex> stopLock(stopMutex_);
    if (stopped_)
        return;
    stopped_ = true;
    closed_.store(true, std::memory_order_seq_cst);
    while (inPush_.load(std::memory_order_seq_cst) != 0)
        std::this_thread::yield();  // a push takes nanoseconds and never waits
    if (!writer_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        stopRequested_ = true;
    }
    wake_.notify_one();
    writer_.join();
}

void TraceRecorder::Run() {
    for (;;) {
        if (options_.beforeDrain)
            options_.beforeDrain();
        bool stopping;
        {
            std::lock_guard<std::mutex> lock(wakeMutex_);
            stopping = stopRequested_;
        }
        // Once stopping is seen no producer adds anything, so this pass takes the rest.
        Drain();
        if (stopping)
            break;
        std::unique_lock<std::mutex> lock(wakeMutex_);
        wake_.wait_for(lock, kDrainInterval, [this] {
            return stopRequested_ ||
                   tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_relaxed) >=
                       wakeThreshold_;
        });
    }
    if (!failed_.load(std::memory_order_relaxed)) {
        if (pendingLost_ > 0) {
            Append(lines_.LostMarker(pendingLostAt_, pendingLost_, buffer_.data() + bufferUsed_,
                                     kTraceLinesCapacity));
        }
        Append(lines_.Footer(buffer_.data() + bufferUsed_, kTraceLinesCapacity));
        Flush();
    }
    if (!file_.Close() && !failed_.load(std::memory_order_relaxed))
        Fail(file_.Error());
}

void TraceRecorder::Drain() {
    const std::uint64_t tail = tail_.load(std::memory_order_acquire);
    std::uint64_t head = head_.load(std::memory_order_relaxed);
    if (failed_.load(std::memory_order_relaxed)) {
        lost_.fetch_add(tail - head, std::memory_order_relaxed);
        head_.store(tail, std::memory_order_release);
        return;
    }
    for (; head != tail; ++head) {
        const Slot& slot = slots_[head % capacity_];
        if (buffer_.size() - bufferUsed_ < kTraceLinesCapacity && !Flush())
            break;
        char* out = buffer_.data() + bufferUsed_;
        std::size_t length = 0;
        if (slot.lostBefore > 0)
            length = lines_.LostMarker(slot.lostAtNs, slot.lostBefore, out, kTraceLinesCapacity);
        length += lines_.Event(slot.msg, slot.timeNs, slot.bitrate, out + length,
                               kTraceLinesCapacity - length);
        head_.store(head + 1, std::memory_order_release);
        Append(length);
        ++bufferEvents_;
    }
    if (head != tail) {  // a failed write: what is left will not be written
        lost_.fetch_add(tail - head, std::memory_order_relaxed);
        head_.store(tail, std::memory_order_release);
    }
    Flush();
}

void TraceRecorder::Append(std::size_t length) {
    bufferUsed_ += std::min(length, kTraceLinesCapacity - 1);
}

bool TraceRecorder::Flush() {
    if (failed_.load(std::memory_order_relaxed))
        return false;
    std::size_t done = 0;
    int code = 0;
    while (done < bufferUsed_) {
        const std::int64_t n = file_.Write(buffer_.data() + done, bufferUsed_ - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else {
            code = n < 0 ? file_.Error() : platform::kErrorIo;
            break;
        }
    }
    if (code != 0) {
        // Cut a line the disk took only in part, so that readers find whole lines to the end.
        const char* first = buffer_.data();
        const char* last = first + done;
        const char* newline =
            std::find(std::reverse_iterator(last), std::reverse_iterator(first), '\n').base();
        if (newline != last)
            (void)file_.Truncate(static_cast<std::uint64_t>(committed_ + (newline - first)));
        lost_.fetch_add(bufferEvents_, std::memory_order_relaxed);
        Fail(code);
    } else {
        committed_ += static_cast<std::int64_t>(bufferUsed_);
        written_.fetch_add(bufferEvents_, std::memory_order_relaxed);
    }
    bufferUsed_ = 0;
    bufferEvents_ = 0;
    return code == 0;
}

void TraceRecorder::Fail(int code) {
    {
        std::lock_guard<std::mutex> lock(failureMutex_);
        failureText_ = "Die Aufzeichnung in „" + options_.path +
                       "“ wurde abgebrochen: " + SystemText(code) +
                       ". Was bis dahin aufgezeichnet war, bleibt in der Datei lesbar.";
    }
    failed_.store(true, std::memory_order_release);
}

std::uint64_t TraceRecorder::EventsWritten() const noexcept {
    return written_.load(std::memory_order_relaxed);
}

std::uint64_t TraceRecorder::Lost() const noexcept {
    return lost_.load(std::memory_order_relaxed);
}

bool TraceRecorder::Failed() const noexcept {
    return failed_.load(std::memory_order_acquire);
}

std::string TraceRecorder::FailureText() const {
    std::lock_guard<std::mutex> lock(failureMutex_);
    return failureText_;
}

const std::string& TraceRecorder::Path() const noexcept {
    return options_.path;
}

}  // namespace trace
