// Sending database messages by their signals' physical values: once, or cyclically as jobs of the
// channel (channel/cyclic_job.h), one job per message, each under a key of its own.
//
// Keys start at kSignalJobFirstKey, far above the transmit dialog's key 1, so the two never meet.
// A job belongs to the channel: closing it stops every job, and the sender's list then drops it.
// Runs on the thread that drives the session.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "channel/can_channel.h"
#include "dbc/database_set.h"
#include "dbc/signal_assignments.h"

inline constexpr int kSignalJobFirstKey = 0x1000;
// Jobs at most at a time: each is a thread, and beyond this many the bus is full anyway.
inline constexpr int kMaxSignalJobs = 64;
inline constexpr std::uint32_t kMaxSignalCycleMs = 3'600'000;

// The record that sends the message with these values on a channel in `mode` (CAN_MODE_*): the
// encoder's refusals, and refused too when the message is longer than a CAN frame or has a 29-bit
// identifier that a Basic CAN controller cannot send.
std::optional<CanMsg> EncodeForChannel(const dbc::Message& message,
                                       std::span<const dbc::SignalAssignment> values, int mode,
                                       std::string& error);

// A cycle time the sender takes: 1 ms to kMaxSignalCycleMs; otherwise false and a German text.
bool CheckCycleTime(std::uint32_t ms, std::string& error);

// The message a text names ("Motor Drehzahl=1200 Gang=Fahrt", see dbc/signal_assignments.h)
// in the loaded databases, with its values; refused when unreadable or no database has it.
struct NamedSend {
    const dbc::Message* message = nullptr;
    std::vector<dbc::SignalAssignment> values;
};
std::optional<NamedSend> FindNamedSend(const dbc::DatabaseSet& databases, std::string_view text,
                                       std::string& error);

class SignalSender {
  public:
    struct Job {
        int key = 0;
        std::string name;  // the message's
        std::uint32_t id = 0;
        bool extended = false;
        std::uint32_t cycleMs = 0;
    };

    explicit SignalSender(CanChannel* const& channel) : m_channel(channel) {}

    // False and a German text when refused; nothing is sent then.
    bool SendOnce(const dbc::Message& message, std::span<const dbc::SignalAssignment> values,
                  std::string& error);
    // Starts the message's job, or gives its running job these values and this cycle time.
    bool SendCyclic(const dbc::Message& message, std::span<const dbc::SignalAssignment> values,
                    std::uint32_t cycleMs, std::string& error);
    // A running job sends these values from its next send on; a refused value leaves it sending
    // what it sent. True, and nothing done, when the message has no job.
    bool Update(const dbc::Message& message, std::span<const dbc::SignalAssignment> values,
                std::string& error);
    bool Stop(std::uint32_t id, bool extended);
    void StopAll();

    // The jobs that run, in the order they were started.
    const std::vector<Job>& Jobs();
    bool IsRunning(std::uint32_t id, bool extended);

  private:
    Job* Find(std::uint32_t id, bool extended);
    void DropEnded();

    CanChannel* const& m_channel;
    std::vector<Job> m_jobs;
};
