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
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
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
    TracePlayer() = default;
    ~TracePlayer();  // Stop()s
    TracePlayer(const TracePlayer&) = delete;
    TracePlayer& operator=(const TracePlayer&) = delete;

    // Starts playing `file` `passes` times (0: until stopped) on `channel`, which must stay
    // alive until Stop(). A play that is running is stopped first.
    void Start(CanChannel* channel, std::shared_ptr<const trace::TraceFile> file, int passes);
    // Ends the play at once and waits for its thread.
    void Stop();

    bool Running() const { return m_running.load(); }
    std::uint64_t Sent() const { return m_sent.load(); }
    std::uint64_t Skipped() const { return m_skipped.load(); }
    // Frames in one pass of the file.
    std::uint64_t FramesPerPass() const { return m_framesPerPass; }
    // Why the play ended early (empty when it did not); taken once.
    std::string TakeFailure();

  private:
    void Run(CanChannel* channel, std::shared_ptr<const trace::TraceFile> file, int passes,
             bool peliCan);
    // Waits until `deadline` or a stop; false on a stop.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);
    void Fail(std::string text);

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;    // guarded by m_mutex
    std::string m_failure;  // guarded by m_mutex
    std::atomic<bool> m_running{false};
    std::atomic<std::uint64_t> m_sent{0};
    std::atomic<std::uint64_t> m_skipped{0};
    std::uint64_t m_framesPerPass = 0;
};
