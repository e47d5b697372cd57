// Plays a trace onto the bus through an open channel: every frame of the file (received and sent
// ones alike, bus events are not sent), with its own identifier format, at its recorded distance
// from the file's first frame, counted from the start of the play.
//
// The player's thread waits for each frame's moment against one start time (an absolute
// deadline, so waits do not add up), and sends the record with CAN_EV_TX_STD / CAN_EV_TX_EXT as
// its type, so that the device sends it in its own format whatever the channel's. In Basic CAN
// a 29-bit frame cannot be sent: it is skipped and counted. A full transmit queue is waited out
// (the frame is tried again every millisecond) rather than dropped; a channel that closes, or a
// write the device refuses otherwise, ends the play with a German text.
//
// A frame counts as sent once the bus has confirmed it: whoever receives the channel's records
// hands every transmit confirmation to OnTransmitted, which takes the oldest frame the player
// wrote and is still waiting for when the confirmation is that frame. At its end the play waits
// for the confirmations of what it wrote (until none has come for `confirmTimeout`), so a play
// is over when its frames are on the bus; what a close dropped from the transmit queue stays
// unconfirmed and is told apart.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "channel/can_channel.h"
#include "trace/trace_reader.h"

// How long a frame takes from its start to where the bus confirms it (its end of frame) at a rate:
// recorded times are such stamps, so a frame is sent that much earlier. 0 for a rate of 0.
std::chrono::nanoseconds TraceFrameDuration(const trace::TraceFrame& frame, std::uint32_t baudrate);

// Why a play ended when its channel was closed under it.
inline constexpr const char* kPlayChannelClosedText =
    "Der Kanal wurde geschlossen; das Senden der Aufzeichnung ist beendet.";

class TracePlayer {
  public:
    explicit TracePlayer(std::chrono::milliseconds confirmTimeout = std::chrono::seconds(1))
        : m_confirmTimeout(confirmTimeout) {}
    ~TracePlayer();  // Stop()s
    TracePlayer(const TracePlayer&) = delete;
    TracePlayer& operator=(const TracePlayer&) = delete;

    // Starts playing `file` `passes` times (0: until stopped) on `channel`, which must stay
    // alive until Stop(). A play that is running is stopped first.
    void Start(CanChannel* channel, std::shared_ptr<const trace::TraceFile> file, int passes);
    // Sends nothing more; the play ends once what it wrote is confirmed (Running() until then).
    // Does not wait.
    void Finish();
    // Ends the play at once, confirmations or not, and waits for its thread (before a close).
    void Stop();

    // Receive thread: a transmit confirmation of the channel (any record; others are ignored).
    // Never waits for more than the player's bookkeeping of one frame.
    void OnTransmitted(const CanMsg& msg);

    bool Running() const { return m_running.load(); }
    // Frames the bus confirmed.
    std::uint64_t Sent() const { return m_sent.load(); }
    // Frames written that the bus has not confirmed (yet, or ever: dropped by a close).
    std::uint64_t Unconfirmed() const;
    std::uint64_t Skipped() const { return m_skipped.load(); }
    // Frames in one pass of the file.
    std::uint64_t FramesPerPass() const { return m_framesPerPass; }
    // Why the play ended early (empty when it did not); taken once.
    std::string TakeFailure();

  private:
    void Run(CanChannel* channel, std::shared_ptr<const trace::TraceFile> file, int passes,
             bool peliCan);
    void Play(CanChannel* channel, std::shared_ptr<const trace::TraceFile> file, int passes,
              bool peliCan);
    // Waits until `deadline` or a stop (or a finish); false on either.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);
    void AwaitConfirmations();
    void Fail(std::string text);

    const std::chrono::milliseconds m_confirmTimeout;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;    // guarded by m_mutex
    bool m_finish = false;  // guarded by m_mutex
    std::string m_failure;  // guarded by m_mutex
    std::atomic<bool> m_running{false};
    // Written frames not yet confirmed, oldest first; the receive thread looks only while
    // m_waiting says there are some.
    mutable std::mutex m_pendingMutex;
    std::deque<CanMsg> m_pending;  // guarded by m_pendingMutex
    std::atomic<std::uint64_t> m_waiting{0};
    std::atomic<std::uint64_t> m_sent{0};
    std::atomic<std::uint64_t> m_skipped{0};
    std::uint64_t m_framesPerPass = 0;
};
