#include "monitor/headless.h"

#include <signal.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>

#include "monitor/monitor_session.h"
#include "monitor/trace_player.h"
#include "platform/message_box.h"
#include "trace/trace_reader.h"

void BlockEndSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

namespace {

// Waits for SIGINT or SIGTERM at most `ms`; true when one came.
bool EndSignalWithin(long ms) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    const timespec timeout{ms / 1000, (ms % 1000) * 1'000'000};
    return sigtimedwait(&set, nullptr, &timeout) > 0;
}

}  // namespace

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
        std::string error;
        std::shared_ptr<const trace::TraceFile> play;
        if (!options.playPath.empty()) {
            auto file = trace::ReadTrace(options.playPath, error);
            if (file)
                play = std::make_shared<const trace::TraceFile>(std::move(*file));
        }
        if (!options.playPath.empty() && !play) {
            std::fprintf(status, "vesk: %s\n", error.c_str());
            result = 1;
        } else if (!options.recordPath.empty() &&
                   !session.StartRecording(options.recordPath, error)) {
            std::fprintf(status, "vesk: %s\n", error.c_str());
            result = 1;
        } else if (!session.Open(options.adapter, options.mode, options.format,
                                 options.adapterName)) {
            result = 1;  // the open printed the system's text
        } else {
            // Once, when the play has ended (or never, while it runs).
            const auto reportPlayEnd = [&] {
                if (const auto end = session.TakePlayEnd()) {
                    if (!end->failure.empty())
                        std::fprintf(status, "vesk: %s\n", end->failure.c_str());
                    std::fprintf(status, "vesk: %s\n", PlayEndText(*end).c_str());
                }
            };
            if (play)
                session.StartPlaying(play, options.playPath, options.playPasses);
            const auto start = std::chrono::steady_clock::now();
            const auto end = options.duration
                                 ? start + std::chrono::microseconds(static_cast<long long>(
                                               std::llround(*options.duration * 1e6)))
                                 : std::chrono::steady_clock::time_point::max();
            auto nextLine = start + std::chrono::seconds(1);
            for (;;) {
                const auto now = std::chrono::steady_clock::now();
                if (now >= end)
                    break;
                // Without a duration a play's end is the run's end.
                if (play && !options.duration && !session.IsPlaying())
                    break;
                auto until = std::min(end, nextLine);
                if (play && !options.duration)
                    until = std::min(until, now + std::chrono::milliseconds(20));
                const long ms = static_cast<long>(
                    std::chrono::ceil<std::chrono::milliseconds>(until - now).count());
                if (EndSignalWithin(ms))
                    break;
                if (std::chrono::steady_clock::now() >= nextLine) {
                    nextLine += std::chrono::seconds(1);
                    const BusLoadFigures load = session.m_trueLoad.Sample(
                        MonitorSession::ArrivalClockNs(), session.m_channel->baudrate.load());
                    std::fprintf(status,
                                 "empfangen %llu  gesendet %llu  verloren %llu  Buslast %.2f %%  "
                                 "exakt %.2f %%",
                                 static_cast<unsigned long long>(session.FramesReceived()),
                                 static_cast<unsigned long long>(session.FramesSent()),
                                 static_cast<unsigned long long>(session.FramesLost() +
                                                                 session.RecordingLost()),
                                 CanGetBusLoad(session.m_channel), load.percent);
                    if (play) {
                        std::fprintf(status, "  gespielt %llu",
                                     static_cast<unsigned long long>(session.Player().Sent()));
                    }
                    if (session.IsRecording()) {
                        std::fprintf(status, "  aufgezeichnet %llu",
                                     static_cast<unsigned long long>(session.RecordedEvents()));
                    }
                    std::fputc('\n', status);
                    std::fflush(status);
                }
                if (const std::string failure = session.TakeRecordingFailure(); !failure.empty())
                    std::fprintf(status, "vesk: %s\n", failure.c_str());
                reportPlayEnd();
            }
            session.StopPlaying();
            reportPlayEnd();
        }
        session.Close();
        session.StopRecording();
    }
    platform::SetMessageBoxHook({});
    return result;
}
