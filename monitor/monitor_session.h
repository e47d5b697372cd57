// One monitoring session: the channel, what it delivers (the log, the automatic replies, the
// recording) and the settings applied to it. The window's view and the program without a window
// both drive a session, so both open, answer and record the same way.
//
// The receive thread calls into the session for every event; nothing it does there waits for
// another thread or allocates.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "channel/can_channel.h"
#include "log/auto_replies.h"
#include "log/event_log.h"
#include "log/log_model.h"
#include "monitor/filter_values.h"

class MonitorSession {
  public:
    MonitorSession();
    // Ends the channel first (its threads use everything below), then the recording.
    ~MonitorSession();
    MonitorSession(const MonitorSession&) = delete;
    MonitorSession& operator=(const MonitorSession&) = delete;

    // --- What the channel delivers to -----------------------------------------------------------
    LogModel m_log;
    AutoReplies m_replies;
    EventLog m_eventLog;

    // --- What every open applies ----------------------------------------------------------------
    FilterValues m_filters;
    int m_nBaudrate = 20000;     // bit/s
    int m_bShowData = 1;         // event delivery on
    int m_bExtendedDisplay = 0;  // frame-format reporting on

    CanChannel* m_channel = nullptr;

    // [Options] (filters, baud rate) and the automatic replies from the settings file.
    void LoadSettings();

    // The open sequence: open, then hardware filter, software filter, baud rate, event delivery.
    // A failed open is reported with the system's text and the channel closed; a refused rate
    // is reported ("Can't set baudrate") and the channel stays open. Reports go through
    // platform::MessageBox. `adapterName` names the adapter in a recording ("vcan0", "sim0").
    bool Open(int device, int mode, int format, const std::string& adapterName);

    // --- Counts since the session began (for the status line of the program without window) ----
    std::uint64_t FramesReceived() const { return m_received.load(std::memory_order_relaxed); }
    std::uint64_t FramesSent() const { return m_sent.load(std::memory_order_relaxed); }
    std::uint64_t FramesLost() const { return m_lost.load(std::memory_order_relaxed); }

    static int NotifyCallback(CanChannel* channel, double absSeconds, double deltaSeconds,
                              const CanMsg* msg);

  private:
    int OnCanNotify(const CanMsg* msg, double absSeconds, double deltaSeconds);

    std::string m_adapterName = "vesk";
    std::atomic<std::uint64_t> m_received{0};
    std::atomic<std::uint64_t> m_sent{0};
    std::atomic<std::uint64_t> m_lost{0};
};
