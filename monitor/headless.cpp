#include "monitor/headless.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>

#include "monitor/monitor_session.h"
#include "monitor/trace_player.h"
#include "platform/end_signal.h"
#include "platform/message_box.h"
#include "trace/trace_reader.h"

namespace {

// Bounds the wait for the last confirmations of a finished play or of single sends.
constexpr auto kPlayFinishBound = std::chrono::seconds(3);

// Every message to send, checked before the channel opens: found, its values encodable, its
// frame one that the channel's mode can send, its cycle time in range.
bool PrepareSends(const HeadlessOptions& options, const MonitorSession& session,
                  std::string& error) {
    const auto databases = session.Databases().Set();
    for (const HeadlessOptions::Send& send : options.sends) {
        const auto named = FindNamedSend(*databases, send.text, error);
        if (!named || (send.cycleMs && !CheckCycleTime(*send.cycleMs, error)) ||
            !EncodeForChannel(*named->message, named->values, options.mode, error)) {
            return false;
        }
    }
    return true;
}

// Sends the single messages and starts the cyclic ones; how many were sent once, or -1 and the
// reason when one was refused.
int StartSends(const HeadlessOptions& options, MonitorSession& session, std::string& error) {
    const auto databases = session.Databases().Set();
    int once = 0;
    for (const HeadlessOptions::Send& send : options.sends) {
        const auto named = FindNamedSend(*databases, send.text, error);
        if (!named)
            return -1;
        const bool sent =
            send.cycleMs
                ? session.Sender().SendCyclic(*named->message, named->values, *send.cycleMs, error)
                : session.Sender().SendOnce(*named->message, named->values, error);
        if (!sent)
            return -1;
        once += send.cycleMs ? 0 : 1;
    }
    return once;
}

}  // namespace

void BlockEndSignals() {
    platform::HoldEndRequests();
}

int RunHeadless(const HeadlessOptions& options, std::FILE* status) {
    // Without a window the layers' message boxes are lines on the terminal.
    platform::SetMessageBoxHook(
        [status](const std::string& text, const std::string& caption, platform::MessageIcon) {
            std::fprintf(status, "vesk: %s: %s\n", caption.c_str(), text.c_str());
        });
    int result = 0;
    {
        MonitorSession session;
        session.LoadSettings();
        session.SetAdapterName(options.adapterName);
        for (const std::string& path : options.readTraces)
            session.AddReadTrace(path);
        std::string error;
        std::shared_ptr<const trace::TraceFile> play;
        if (!options.playPath.empty()) {
            session.AddReadTrace(options.playPath);
            auto file = trace::ReadTrace(options.playPath, error);
            if (file)
                play = std::make_shared<const trace::TraceFile>(std::move(*file));
        }
        // Once, when the play has ended (or never, while it runs).
        const auto reportPlayEnd = [&] {
            if (const auto end = session.TakePlayEnd()) {
                if (!end->failure.empty())
                    std::fprintf(status, "vesk: %s\n", end->failure.c_str());
                std::fprintf(status, "vesk: %s\n", PlayEndText(*end).c_str());
            }
        };
        // Whenever a recording fails, the run says so and ends with status 1.
        const auto reportRecordingFailure = [&] {
            if (const std::string failure = session.TakeRecordingFailure(); !failure.empty()) {
                std::fprintf(status, "vesk: %s\n", failure.c_str());
                result = 1;
            }
        };
        bool databasesRead = true;
        for (const std::string& path : options.databases) {
            std::vector<std::string> warnings;
            databasesRead = session.LoadDatabase(path, error, warnings, /*save=*/false);
            for (const std::string& warning : warnings)
                std::fprintf(status, "vesk: %s\n", warning.c_str());
            if (!databasesRead)
                break;
        }
        if (!databasesRead) {
            std::fprintf(status, "vesk: %s\n", error.c_str());
            result = 1;
        } else if (!options.playPath.empty() && !play) {
            std::fprintf(status, "vesk: %s\n", error.c_str());
            result = 1;
        } else if (!PrepareSends(options, session, error)) {
            std::fprintf(status, "vesk: %s\n", error.c_str());
            result = 2;
        } else if (!options.recordPath.empty() &&
                   !session.StartRecording(options.recordPath, error)) {
            std::fprintf(status, "vesk: %s\n", error.c_str());
            result = 1;
        } else if (!session.Open(options.adapter, options.mode, options.format,
                                 options.adapterName)) {
            result = 1;  // the open printed the system's text
        } else {
            if (play)
                session.StartPlaying(play, options.playPath, options.playPasses);
            const std::uint64_t sentBefore = session.FramesSent();
            const int once = StartSends(options, session, error);
            const bool onceOnly =
                once > 0 && !options.duration && !play && session.Sender().Jobs().empty();
            if (once < 0) {
                std::fprintf(status, "vesk: %s\n", error.c_str());
                result = 2;
            }
            const auto start = std::chrono::steady_clock::now();
            const auto end = options.duration
                                 ? start + std::chrono::microseconds(static_cast<long long>(
                                               std::llround(*options.duration * 1e6)))
                                 : std::chrono::steady_clock::time_point::max();
            auto nextLine = start + std::chrono::seconds(1);
            bool signalled = false;
            for (;;) {
                const auto now = std::chrono::steady_clock::now();
                if (now >= end || result == 2)
                    break;
                // Single sends alone: the run is over once the bus has carried them.
                if (onceOnly && (session.FramesSent() >= sentBefore + static_cast<unsigned>(once) ||
                                 now - start >= kPlayFinishBound))
                    break;
                // Without a duration a play's end is the run's end.
                if (play && !options.duration && !session.IsPlaying())
                    break;
                auto until = std::min(end, nextLine);
                if ((play && !options.duration) || onceOnly)
                    until = std::min(until, now + std::chrono::milliseconds(20));
                const long ms = static_cast<long>(
                    std::chrono::ceil<std::chrono::milliseconds>(until - now).count());
                if (platform::WaitForEndRequest(ms)) {
                    signalled = true;
                    break;
                }
                if (std::chrono::steady_clock::now() >= nextLine) {
                    nextLine += std::chrono::seconds(1);
                    const BusLoadFigures load = session.ExactLoad(MonitorSession::ArrivalClockNs());
                    std::fprintf(status,
                                 "empfangen %llu  gesendet %llu  verloren %llu  Buslast %.2f %%  "
                                 "exakt %.2f %%",
                                 static_cast<unsigned long long>(session.FramesReceived()),
                                 static_cast<unsigned long long>(session.FramesSent()),
                                 static_cast<unsigned long long>(session.FramesLost() +
                                                                 session.RecordingsLost()),
                                 session.EstimatedLoad(), load.percent);
                    if (play) {
                        std::fprintf(status, "  gespielt %llu",
                                     static_cast<unsigned long long>(session.Player().Sent()));
                    }
                    if (!options.databases.empty()) {
                        std::fprintf(status, "  dekodiert %llu",
                                     static_cast<unsigned long long>(session.FramesDecoded()));
                    }
                    if (session.IsRecording()) {
                        std::fprintf(status, "  aufgezeichnet %llu",
                                     static_cast<unsigned long long>(session.RecordedEvents()));
                    }
                    std::fputc('\n', status);
                    std::fflush(status);
                }
                reportRecordingFailure();
                reportPlayEnd();
            }
            // What the play wrote goes on the bus before the channel closes, unless a signal
            // asks for the end now.
            session.StopPlaying();
            const auto bound = std::chrono::steady_clock::now() + kPlayFinishBound;
            while (!signalled && session.IsPlaying() && std::chrono::steady_clock::now() < bound) {
                if (platform::WaitForEndRequest(10))
                    signalled = true;
            }
        }
        session.Close();
        reportPlayEnd();
        session.StopRecording();
        reportRecordingFailure();
    }
    platform::SetMessageBoxHook({});
    return result;
}
