// One monitoring session: the channel, what it delivers (the log, the automatic replies, the
// recording) and the settings applied to it. The window's view and the program without a window
// both drive a session, so both open, answer and record the same way.
//
// The receive thread calls into the session for every event, which builds one RecordEvent of it
// and hands it to the session's sinks (monitor/record_sink.h); nothing it does there allocates,
// and it waits for another thread only on locks held for a few stores or one overview row's copy
// (longest: a clear of a full overview, some 55 us, when a new identifier arrives during it).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "channel/can_channel.h"
#include "log/auto_replies.h"
#include "log/event_log.h"
#include "log/id_overview.h"
#include "log/log_model.h"
#include "monitor/filter_values.h"
#include "monitor/plot_feed.h"
#include "monitor/record_sink.h"
#include "monitor/session_sinks.h"
#include "monitor/signal_databases.h"
#include "monitor/signal_sender.h"
#include "monitor/trace_player.h"
#include "monitor/true_bus_load.h"

namespace trace {
class TraceRecorder;
}

class MonitorSession {
  public:
    MonitorSession();
    // Ends the channel first (its threads use everything below), then the recording.
    ~MonitorSession();
    MonitorSession(const MonitorSession&) = delete;
    MonitorSession& operator=(const MonitorSession&) = delete;

    // --- What the channel delivers to -----------------------------------------------------------
    // The log's rows, which the window's table drains.
    LogModel& Log() { return m_log; }
    const LogModel& Log() const { return m_log; }
    // The automatic replies; an editor changes them in place and then calls SaveReplies.
    AutoReplies& Replies() { return m_replies; }
    const AutoReplies& Replies() const { return m_replies; }
    // One row per identifier, filled on the receive thread with every event.
    const IdOverview& Overview() const { return m_overview; }
    // The exact bus load at the channel's rate; it starts again at every open and ClearOverview.
    BusLoadFigures ExactLoad(std::int64_t nowNs);
    // The estimated bus load the channel's thread measures (percent).
    double EstimatedLoad() const;

    // The steady clock of the arrival times, for IdOverview::Snapshot and ExactLoad.
    static std::int64_t ArrivalClockNs();

    // --- What every open applies ----------------------------------------------------------------
    // Read-only here: the operations below change them, apply them to an open channel and keep
    // them in the settings file.
    const FilterValues& Filters() const { return m_filters; }
    const int& Baudrate() const { return m_nBaudrate; }                // bit/s
    const int& ShowData() const { return m_bShowData; }                // event delivery on
    const int& ExtendedDisplay() const { return m_bExtendedDisplay; }  // frame-format reporting on

    // The session's one channel, made with the session and ended with it.
    CanChannel* Channel() const { return m_channel; }
    bool IsOpen() const;
    // Database messages sent by their signals, once or cyclically on the channel.
    SignalSender& Sender() { return m_sender; }

    // [Options] (filters, baud rate) and the automatic replies from the settings file.
    void LoadSettings();

    // --- Changes of the running session ---------------------------------------------------------
    // Sets the open channel's rate. Refused by the channel: "Can't set baudrate" is reported and
    // nothing changes. Accepted: applied at every open from now on, kept in the settings file and
    // given to a running recording.
    bool SetBaudrate(int baudrate);
    // The hardware and the software acceptance filter: applied to the open channel (if any) and
    // at every open, and kept in the settings file.
    void SetAcceptance(std::uint32_t code, std::uint32_t mask);
    void SetSoftAcceptance(std::uint32_t code, std::uint32_t mask);
    // The automatic replies as Replies() holds them now, into the settings file.
    void SaveReplies();
    // The channel's time starts at 0 again; the overview's intervals start afresh with it.
    void ResetTime();
    // The overview's rows and the exact load start afresh.
    void ClearOverview();
    // "Daten anzeigen": event delivery to the log and the replies, for this and every open.
    void SetShowData(bool on);
    // "Erweiterte Anzeige": the channel reports each frame's format.
    void SetExtendedDisplay(bool on);
    // Standby, clear overrun, abort transmission: one command to the open channel.
    void Command(std::uint8_t command);

    // The open sequence: open, then hardware filter, software filter, baud rate, event delivery.
    // A failed open is reported with the system's text and the channel closed; a refused rate
    // is reported ("Can't set baudrate") and the channel stays open. Reports go through
    // platform::MessageBox. `adapterName` names the adapter in a recording ("vcan0", "sim0").
    bool Open(int device, int mode, int format, const std::string& adapterName);
    // Closes the channel; a play that is running ends with the closed channel's text.
    void Close();

    // --- Recording ------------------------------------------------------------------------------
    // Starts recording everything that reaches the log into `path` (".log" or ".asc"), across
    // closing and opening the channel, until StopRecording. False and a German text when the file
    // cannot be written or its type is unknown. A running recording is stopped first. The
    // recording names the adapter that is open (or was opened last, or `SetAdapterName` says).
    bool StartRecording(const std::string& path, std::string& error);
    // The file is complete afterwards.
    void StopRecording();
    bool IsRecording() const { return m_recorder != nullptr; }
    std::string RecordingPath() const;
    std::uint64_t RecordedEvents() const;
    std::uint64_t RecordingLost() const;
    // Whether a write error stopped the recording (it still has to be taken).
    bool RecordingFailed() const;
    // When a write error stopped the recording (also its last write, at StopRecording): its
    // German text, once; the recording is over.
    std::string TakeRecordingFailure();
    // Events lost by every recording of the session, ended ones included.
    std::uint64_t RecordingsLost() const;
    // A trace file that a replay or a play reads: StartRecording refuses to write into it.
    void AddReadTrace(const std::string& path);

    // --- Playing a trace onto the bus ------------------------------------------------------------
    // Sends the frames of `file` through the open channel `passes` times (0: until stopped); a
    // play that runs is stopped first. A play belongs to one open: closing or opening the channel
    // ends it. `name` names the file where the play is shown.
    void StartPlaying(std::shared_ptr<const trace::TraceFile> file, std::string name, int passes);
    // Ends a running play as the operator's choice: nothing more is sent, and the play is over
    // once the bus has confirmed what it wrote (IsPlaying until then; does not wait). Its end is
    // still reported by TakePlayEnd.
    void StopPlaying();
    // Whether a play was started and its end not yet taken (it may have ended already).
    bool HasPlay() const { return m_playStarted; }
    bool IsPlaying() const { return m_player.Running(); }
    const std::string& PlayName() const { return m_playName; }
    const TracePlayer& Player() const { return m_player; }
    struct PlayEnd {
        std::uint64_t sent = 0;     // confirmed by the bus
        std::uint64_t unsent = 0;   // written, never confirmed (dropped by a close)
        std::uint64_t skipped = 0;  // 29-bit frames in Basic CAN
        std::string failure;        // why it ended early; empty when complete or stopped
        bool stopped = false;       // the operator ended it
    };
    // Once a started play has ended: how it went, once. Nothing while it runs.
    std::optional<PlayEnd> TakePlayEnd();

    // --- CAN databases ----------------------------------------------------------------------
    // Loads a database for decoding (the frames it defines are decoded in every view) and keeps
    // the list in the settings file unless `save` is false. False and the reader's German text
    // when it cannot be read; what was loaded before stays. `warnings`: what the reader skipped.
    bool LoadDatabase(const std::string& path, std::string& error,
                      std::vector<std::string>& warnings, bool save = true);
    // Removes every database, in the settings file too.
    void ClearDatabases();
    // The databases the settings file names, as the last run left them; one German text for each
    // that is missing or cannot be read (the others load).
    std::vector<std::string> RestoreDatabases();
    const SignalDatabases& Databases() const { return m_databases; }
    // Frames since the session began that a loaded database defines.
    std::uint64_t FramesDecoded() const { return m_decoder.Decoded(); }
    // The live plot's values, decoded on the receive thread for the signals it shows.
    PlotFeedSink& PlotFeed() { return m_plotFeed; }

    // The adapter a recording names until the next open names its own.
    void SetAdapterName(const std::string& name) { m_adapterName = name; }

    // --- Counts since the session began (for the status line of the program without window) ----
    std::uint64_t FramesReceived() const { return m_counts.Received(); }
    std::uint64_t FramesSent() const { return m_counts.Sent(); }
    std::uint64_t FramesLost() const { return m_counts.Lost(); }

    static int NotifyCallback(CanChannel* channel, double absSeconds, double deltaSeconds,
                              const CanMsg* msg);

    // Every record, delivery on or off: the counts, the recording, the overview, the exact load.
    static void TapCallback(CanChannel* channel, double absSeconds, const CanMsg* msg);

  private:
    static constexpr int kMaxSinks = 12;

    LogModel m_log;
    AutoReplies m_replies;
    EventLog m_eventLog;
    IdOverview m_overview;
    TrueBusLoad m_trueLoad;

    FilterValues m_filters;
    int m_nBaudrate = 20000;
    int m_bShowData = 1;
    int m_bExtendedDisplay = 0;
    CanChannel* m_channel = nullptr;
    SignalSender m_sender{m_channel};

    int OnCanNotify(const CanMsg* msg, double absSeconds, double deltaSeconds);
    void Dispatch(const CanMsg& msg, double absSeconds, double deltaSeconds, bool delivered);
    // Before the first open only.
    void AddSink(RecordSink& sink);

    void EndPlay(const char* reason);

    std::string m_adapterName = "vesk";
    TracePlayer m_player;
    std::string m_playName;
    bool m_playStarted = false;
    bool m_playStopped = false;
    std::string m_playEndReason;
    std::unique_ptr<trace::TraceRecorder> m_recorder;
    std::string m_recordingFailure;  // of a recording that ended by it, until taken
    std::uint64_t m_endedRecordingsLost = 0;
    std::vector<std::string> m_readTraces;

    LogSink m_logSink{m_eventLog};
    CountSink m_counts;
    PlayerSink m_playerSink{m_player};
    RecorderSink m_recorderSink{m_channel};
    OverviewSink m_overviewSink{m_overview};
    TrueLoadSink m_trueLoadSink{m_trueLoad};
    DecoderSink m_decoder;
    PlotFeedSink m_plotFeed;
    SignalDatabases m_databases;
    RecordSink* m_sinks[kMaxSinks] = {};
    int m_sinkCount = 0;
    // Receive thread only: the callback has dispatched the record the tap is about to see.
    bool m_dispatched = false;
};

// How many frames a play sent (and skipped), as the operator reads it at its end.
std::string PlayEndText(const MonitorSession::PlayEnd& end);
