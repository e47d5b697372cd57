#include "monitor/monitor_session.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

#include "can/record_class.h"
#include "channel/adapter_path.h"
#include "log/log_row.h"
#include "monitor/trace_clock.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/file_identity.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "trace/trace_recorder.h"

namespace {

void ReportBaudrateRefused() {
    platform::MessageBox("Can't set baudrate", "Error", platform::MessageIcon::kExclamation);
}

}  // namespace

MonitorSession::MonitorSession()
    : m_eventLog(
          m_log, m_replies,
          ReplySink{[](void* session, std::uint32_t id, int length, const std::uint8_t* data) {
                        return CanSend(static_cast<MonitorSession*>(session)->m_channel, id, 0,
                                       length, data);
                    },
                    this}) {
    m_channel = CanCreateChannel(nullptr, this, &MonitorSession::NotifyCallback);
    if (m_channel)
        m_channel->tap = &MonitorSession::TapCallback;
    // The order is the pipeline's: replies and the log first.
    AddSink(m_logSink);
    AddSink(m_counts);
    AddSink(m_playerSink);
    AddSink(m_recorderSink);
    AddSink(m_overviewSink);
    AddSink(m_trueLoadSink);
    AddSink(m_decoder);
    AddSink(m_plotFeed);
    m_decoder.Attach(m_databases.Set().get());
}

void MonitorSession::AddSink(RecordSink& sink) {
    // The list is built in the constructor: one sink too many would otherwise be left out
    // without a word, so every session stops at once instead.
    if (m_sinkCount == kMaxSinks)
        std::abort();
    m_sinks[m_sinkCount++] = &sink;
}

MonitorSession::~MonitorSession() {
    m_player.Stop();
    CanDestroyChannel(m_channel);
    m_channel = nullptr;
    StopRecording();
}

bool MonitorSession::LoadDatabase(const std::string& path, std::string& error,
                                  std::vector<std::string>& warnings, bool save) {
    // `old` keeps the set alive until the receive thread has let go of it.
    const auto old = m_databases.Set();
    if (!m_databases.Load(path, error, warnings))
        return false;
    m_decoder.Replace(m_databases.Set().get());
    if (save)
        settings::SaveDatabaseFiles(m_databases.Files());
    return true;
}

void MonitorSession::ClearDatabases() {
    const auto old = m_databases.Set();
    m_databases.Clear();
    m_decoder.Replace(m_databases.Set().get());
    settings::SaveDatabaseFiles(m_databases.Files());
}

std::vector<std::string> MonitorSession::RestoreDatabases() {
    std::vector<std::string> problems;
    for (const std::string& file : settings::LoadDatabaseFiles()) {
        std::string error;
        std::vector<std::string> warnings;
        if (!LoadDatabase(file, error, warnings, /*save=*/false))
            problems.push_back(error);
    }
    // A file that is gone is named this once; the list keeps what loaded.
    if (!problems.empty())
        settings::SaveDatabaseFiles(m_databases.Files());
    return problems;
}

void MonitorSession::LoadSettings() {
    const settings::OptionsSettings options = settings::LoadOptions();
    m_filters.acceptanceCode = options.acceptanceCode;
    m_filters.acceptanceMask = options.acceptanceMask;
    m_filters.softAcceptanceCode = options.softAcceptanceCode;
    m_filters.softAcceptanceMask = options.softAcceptanceMask;
    m_nBaudrate = options.baudrate;
    const auto replies = settings::LoadReplies();
    for (int i = 0; i < AutoReplies::kEntryCount; ++i) {
        const settings::ReplySettings& r = replies[static_cast<std::size_t>(i)];
        m_replies.SetEntry(i, ReplyEntry{r.triggerId, r.triggerData, r.replyId, r.replyData});
    }
}

bool MonitorSession::IsOpen() const {
    return CanIsOpen(m_channel) != 0;
}

BusLoadFigures MonitorSession::ExactLoad(std::int64_t nowNs) {
    return m_trueLoad.Sample(nowNs, m_channel ? m_channel->baudrate.load() : 0);
}

double MonitorSession::EstimatedLoad() const {
    return CanGetBusLoad(m_channel);
}

bool MonitorSession::SetBaudrate(int baudrate) {
    if (CanSetBaudrate(m_channel, static_cast<std::uint32_t>(baudrate)) == 0) {
        ReportBaudrateRefused();
        return false;
    }
    m_nBaudrate = baudrate;
    settings::SaveBaudrate(m_nBaudrate);
    if (m_recorder)
        m_recorder->SetBitrate(static_cast<std::uint32_t>(baudrate));
    return true;
}

void MonitorSession::SetAcceptance(std::uint32_t code, std::uint32_t mask) {
    m_filters.acceptanceCode = code;
    m_filters.acceptanceMask = mask;
    CanSetAcceptance(m_channel, code, mask);
    settings::SaveAcceptance(code, mask);
}

void MonitorSession::SetSoftAcceptance(std::uint32_t code, std::uint32_t mask) {
    m_filters.softAcceptanceCode = code;
    m_filters.softAcceptanceMask = mask;
    CanSetSoftAcceptance(m_channel, code, mask);
    settings::SaveSoftAcceptance(code, mask);
}

void MonitorSession::SaveReplies() {
    std::array<settings::ReplySettings, AutoReplies::kEntryCount> stored;
    for (int i = 0; i < AutoReplies::kEntryCount; ++i) {
        const ReplyEntry entry = m_replies.Entry(i);
        stored[static_cast<std::size_t>(i)] = {entry.triggerId, entry.triggerData, entry.replyId,
                                               entry.replyData};
    }
    settings::SaveReplies(stored);
}

void MonitorSession::ResetTime() {
    CanResetTime(m_channel);
    m_overview.RestartTimes();
}

void MonitorSession::ClearOverview() {
    m_overview.Clear();
    m_trueLoad.Reset();
}

void MonitorSession::SetShowData(bool on) {
    m_bShowData = on ? 1 : 0;
    CanEnableNotify(m_channel, m_bShowData);
}

void MonitorSession::SetExtendedDisplay(bool on) {
    CanCommand(m_channel, on ? CAN_CMD_FORMAT_REPORT_ON : CAN_CMD_FORMAT_REPORT_OFF);
    m_bExtendedDisplay = on ? 1 : 0;
}

void MonitorSession::Command(std::uint8_t command) {
    CanCommand(m_channel, command);
}

bool MonitorSession::Open(int device, int mode, int format, const std::string& adapterName) {
    // The open closes the channel first.
    EndPlay(kPlayChannelClosedText);
    m_trueLoad.Reset();
    int error = 0;
    if (CanOpen(m_channel, AdapterPath(device).c_str(), mode, format, &error) <= 0) {
        platform::MessageBox(platform::ErrorText(error), "Error",
                             platform::MessageIcon::kInformation);
        CanClose(m_channel);
        return false;
    }
    m_adapterName = adapterName;
    CanSetAcceptance(m_channel, m_filters.acceptanceCode, m_filters.acceptanceMask);
    CanSetSoftAcceptance(m_channel, m_filters.softAcceptanceCode, m_filters.softAcceptanceMask);
    // A refused rate leaves the channel open; the operator can set another one.
    if (CanSetBaudrate(m_channel, static_cast<std::uint32_t>(m_nBaudrate)) == 0)
        ReportBaudrateRefused();
    CanEnableNotify(m_channel, m_bShowData);
    // A device that plays a bus of its own starts it now, at the rate and filters just set.
    if (const auto in = platform::FindDevice(AdapterPath(device)))
        in->Configured();
    return true;
}

void MonitorSession::Close() {
    EndPlay(kPlayChannelClosedText);
    CanClose(m_channel);
}

void MonitorSession::StartPlaying(std::shared_ptr<const trace::TraceFile> file, std::string name,
                                  int passes) {
    m_player.Start(m_channel, std::move(file), passes);
    m_playName = std::move(name);
    m_playStarted = true;
    m_playStopped = false;
    m_playEndReason.clear();
}

void MonitorSession::StopPlaying() {
    if (m_playStarted && m_player.Running())
        m_playStopped = true;
    m_player.Finish();
}

void MonitorSession::EndPlay(const char* reason) {
    // A play the operator ended already is only waiting for its confirmations.
    if (m_playStarted && m_player.Running() && !m_playStopped)
        m_playEndReason = reason;
    m_player.Stop();
}

std::optional<MonitorSession::PlayEnd> MonitorSession::TakePlayEnd() {
    if (!m_playStarted || m_player.Running())
        return std::nullopt;
    m_playStarted = false;
    PlayEnd end;
    m_player.Stop();  // its thread has ended; this joins it
    end.sent = m_player.Sent();
    end.unsent = m_player.Unconfirmed();
    end.skipped = m_player.Skipped();
    end.failure = m_player.TakeFailure();
    if (end.failure.empty())
        end.failure = std::exchange(m_playEndReason, std::string());
    end.stopped = m_playStopped && end.failure.empty();
    return end;
}

int MonitorSession::NotifyCallback(CanChannel* channel, double absSeconds, double deltaSeconds,
                                   const CanMsg* msg) {
    if (!channel || !channel->owner)
        return 0;
    return static_cast<MonitorSession*>(channel->owner)->OnCanNotify(msg, absSeconds, deltaSeconds);
}

int MonitorSession::OnCanNotify(const CanMsg* msg, double absSeconds, double deltaSeconds) {
    if (msg) {
        Dispatch(*msg, absSeconds, deltaSeconds, true);
        m_dispatched = true;  // the tap that follows has nothing more to do
    }
    return 0;
}

void MonitorSession::TapCallback(CanChannel* channel, double absSeconds, const CanMsg* msg) {
    if (!channel || !channel->owner || !msg)
        return;
    auto* session = static_cast<MonitorSession*>(channel->owner);
    if (std::exchange(session->m_dispatched, false))
        return;
    session->Dispatch(*msg, absSeconds, 0.0, false);
}

void MonitorSession::Dispatch(const CanMsg& msg, double absSeconds, double deltaSeconds,
                              bool delivered) {
    const can::RecordClass kind = can::ClassifyType(msg.type);
    const CanChannel& channel = *m_channel;
    const RecordEvent event{
        msg,
        absSeconds,
        deltaSeconds,
        delivered,
        kind.IsFrame(),
        kind.IsReceived(),
        kind.IsFrame() && CanMsgIsExtended(msg),
        TicksToNs(CanMsgTicks(msg), channel.ticksPerMs.load(std::memory_order_relaxed)),
        ArrivalClockNs(),
        channel.baudrate.load(std::memory_order_relaxed),
    };
    for (int i = 0; i < m_sinkCount; ++i)
        m_sinks[i]->OnRecord(event);
}

std::int64_t MonitorSession::ArrivalClockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool MonitorSession::StartRecording(const std::string& path, std::string& error) {
    StopRecording();
    // Before anything is truncated: a recording into the file a replay or a play reads would
    // empty it under the reader.
    for (const std::string& read : m_readTraces) {
        if (platform::SameFile(path, read)) {
            error = "Die Aufzeichnung „" + path +
                    "“ kann nicht angelegt werden: Die Datei wird gerade gelesen (" + read + ").";
            return false;
        }
    }
    trace::RecorderOptions options;
    options.path = path;
    options.interfaceName = m_adapterName;
    options.bitrate = static_cast<std::uint32_t>(m_nBaudrate);
    options.startNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
    m_recorder = trace::TraceRecorder::Start(options, error);
    if (!m_recorder)
        return false;
    m_recorderSink.Attach(m_recorder.get());
    return true;
}

void MonitorSession::StopRecording() {
    if (!m_recorder)
        return;
    m_recorderSink.Detach();
    m_recorder->Stop();
    // A failure of the last write too is the operator's to hear of.
    if (m_recorder->Failed() && m_recordingFailure.empty())
        m_recordingFailure = m_recorder->FailureText();
    m_endedRecordingsLost += m_recorder->Lost();
    m_recorder.reset();
}

std::string MonitorSession::RecordingPath() const {
    return m_recorder ? m_recorder->Path() : std::string();
}

std::uint64_t MonitorSession::RecordedEvents() const {
    return m_recorder ? m_recorder->EventsWritten() : 0;
}

std::uint64_t MonitorSession::RecordingLost() const {
    return m_recorder ? m_recorder->Lost() : 0;
}

bool MonitorSession::RecordingFailed() const {
    return m_recorder && m_recorder->Failed();
}

std::string MonitorSession::TakeRecordingFailure() {
    if (m_recorder && m_recorder->Failed())
        StopRecording();
    return std::exchange(m_recordingFailure, std::string());
}

std::uint64_t MonitorSession::RecordingsLost() const {
    return m_endedRecordingsLost + RecordingLost();
}

void MonitorSession::AddReadTrace(const std::string& path) {
    m_readTraces.push_back(path);
}

std::string PlayEndText(const MonitorSession::PlayEnd& end) {
    std::string text = std::to_string(end.sent) +
                       (end.sent == 1 ? " Botschaft gesendet" : " Botschaften gesendet");
    if (end.unsent > 0)
        text += ", " + std::to_string(end.unsent) + " nicht mehr gesendet";
    if (end.skipped > 0)
        text +=
            ", " + std::to_string(end.skipped) + " mit 29-Bit-Identifier übersprungen (Basic CAN)";
    return text;
}
