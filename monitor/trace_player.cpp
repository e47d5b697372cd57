#include "monitor/trace_player.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "can/frame_bits.h"
#include "can/frame_records.h"
#include "can/record_class.h"
#include "platform/error.h"

namespace {

using Kind = trace::TraceFrame::Kind;
using Clock = std::chrono::steady_clock;

// How long a full transmit queue is given before the frame is tried again.
constexpr std::chrono::milliseconds kQueueFullRetry{1};

bool QueueFull(int error) {
    return error == platform::kErrorNoBuffers || error == platform::kErrorTryAgain ||
           error == platform::kErrorBusy;
}

// Whether a confirmation is the frame a written record asked for (the device cuts nothing that
// a record of the file carries: its own format, an identifier that fits it, at most 8 bytes).
bool Confirms(const CanMsg& confirmation, const CanMsg& written) {
    if (confirmation.id != written.id || confirmation.rtr != written.rtr ||
        confirmation.dlc != written.dlc ||
        CanMsgIsExtended(confirmation) != (written.type == CAN_EV_TX_EXT))
        return false;
    const int bytes = written.rtr ? 0 : std::min<int>(written.dlc, kCanMaxFrameBytes);
    return std::equal(written.data, written.data + bytes, confirmation.data);
}

}  // namespace

std::chrono::nanoseconds TraceFrameDuration(const trace::TraceFrame& frame,
                                            std::uint32_t baudrate) {
    if (baudrate == 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(
        can::BitsToNanoseconds(can::BusBits(frame) - can::kIntermissionBits, baudrate));
}

TracePlayer::~TracePlayer() {
    Stop();
}

void TracePlayer::Start(CanChannel* channel, std::shared_ptr<const trace::TraceFile> file,
                        int passes) {
    Stop();
    m_framesPerPass = static_cast<std::uint64_t>(
        std::count_if(file->entries.begin(), file->entries.end(),
                      [](const trace::TraceFrame& e) { return e.kind == Kind::kFrame; }));
    m_sent = 0;
    m_skipped = 0;
    {
        std::lock_guard lock(m_mutex);
        m_stop = false;
        m_finish = false;
        m_failure.clear();
    }
    {
        std::lock_guard lock(m_pendingMutex);
        m_pending.clear();
        m_waiting = 0;
    }
    m_running = true;
    // The mode of the open channel; a play does not outlive its channel's open.
    const bool peliCan = channel->mode == CAN_MODE_PELICAN;
    m_thread = std::thread([this, channel, file = std::move(file), passes, peliCan] {
        Run(channel, file, passes, peliCan);
        m_running = false;
    });
}

void TracePlayer::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void TracePlayer::Finish() {
    {
        std::lock_guard lock(m_mutex);
        m_finish = true;
    }
    m_wake.notify_all();
}

void TracePlayer::OnTransmitted(const CanMsg& msg) {
    if (m_waiting.load(std::memory_order_acquire) == 0 || !can::IsTransmittedFrameType(msg.type))
        return;
    {
        std::lock_guard lock(m_pendingMutex);
        if (m_pending.empty() || !Confirms(msg, m_pending.front()))
            return;  // another sender's frame
        m_pending.pop_front();
        m_waiting.store(m_pending.size(), std::memory_order_release);
        ++m_sent;
    }
    m_wake.notify_all();
}

std::uint64_t TracePlayer::Unconfirmed() const {
    return m_waiting.load(std::memory_order_acquire);
}

void TracePlayer::AwaitConfirmations() {
    std::unique_lock lock(m_mutex);
    std::uint64_t sent = m_sent.load();
    auto giveUp = Clock::now() + m_confirmTimeout;
    while (!m_stop && Unconfirmed() > 0) {
        if (m_wake.wait_until(lock, giveUp) == std::cv_status::timeout && m_sent.load() == sent)
            return;  // the bus has confirmed nothing for a while: what is left stays unsent
        if (m_sent.load() != sent) {
            sent = m_sent.load();
            giveUp = Clock::now() + m_confirmTimeout;
        }
    }
}

std::string TracePlayer::TakeFailure() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_failure, std::string());
}

bool TracePlayer::WaitUntil(Clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_until(lock, deadline, [this] { return m_stop || m_finish; });
}

void TracePlayer::Fail(std::string text) {
    std::lock_guard lock(m_mutex);
    m_failure = std::move(text);
}

void TracePlayer::Run(CanChannel* channel, std::shared_ptr<const trace::TraceFile> file, int passes,
                      bool peliCan) {
    Play(channel, std::move(file), passes, peliCan);
    AwaitConfirmations();
}

void TracePlayer::Play(CanChannel* channel, std::shared_ptr<const trace::TraceFile> file,
                       int passes, bool peliCan) {
    const auto& entries = file->entries;
    const auto first = std::find_if(entries.begin(), entries.end(), [](const trace::TraceFrame& e) {
        return e.kind == Kind::kFrame;
    });
    if (first == entries.end())
        return;
    Clock::time_point passStart = Clock::now();
    for (int pass = 0; passes == 0 || pass < passes; ++pass) {
        // The first frame leaves at the pass's start; each other one so that the bus confirms
        // it at its recorded distance from the first one's confirmation.
        const std::uint32_t baud = channel->baudrate.load(std::memory_order_relaxed);
        const auto lead = TraceFrameDuration(*first, baud);
        for (auto it = first; it != entries.end(); ++it) {
            if (it->kind != Kind::kFrame)
                continue;
            const auto due = passStart + lead +
                             std::chrono::nanoseconds(it->timeNs - first->timeNs) -
                             TraceFrameDuration(*it, baud);
            if (!WaitUntil(std::max(due, passStart)))
                return;
            if (it->extended && !peliCan) {
                ++m_skipped;
                continue;
            }
            const CanMsg msg = can::SendRequest(*it);
            for (;;) {
                if (!CanIsOpen(channel)) {
                    Fail(kPlayChannelClosedText);
                    return;
                }
                // Waited for before it is written: its confirmation may come before the write
                // returns.
                {
                    std::lock_guard lock(m_pendingMutex);
                    m_pending.push_back(msg);
                    m_waiting.store(m_pending.size(), std::memory_order_release);
                }
                const int error = CanWriteMsg(channel, &msg);
                if (error == 0)
                    break;
                {
                    std::lock_guard lock(m_pendingMutex);
                    if (!m_pending.empty())
                        m_pending.pop_back();
                    m_waiting.store(m_pending.size(), std::memory_order_release);
                }
                if (!QueueFull(error)) {
                    Fail("Das Senden der Aufzeichnung ist beendet: " + platform::ErrorText(error));
                    return;
                }
                if (!WaitUntil(Clock::now() + kQueueFullRetry))
                    return;
            }
        }
        // The next pass begins once this one's last frame is out, as in a loop on the bus.
        passStart = Clock::now();
    }
}
