#include "monitor/signal_sender.h"

#include <algorithm>
#include <cstring>

#include "can/frame_records.h"

namespace {

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

}  // namespace

std::optional<CanMsg> EncodeForChannel(const dbc::Message& message,
                                       std::span<const dbc::SignalAssignment> values, int mode,
                                       std::string& error) {
    if (message.length > kCanMaxFrameBytes) {
        error = "Botschaft " + Quoted(message.name) + " hat " + std::to_string(message.length) +
                " Bytes; ein CAN-Frame trägt höchstens " + std::to_string(kCanMaxFrameBytes) + ".";
        return std::nullopt;
    }
    if (message.extended && mode != CAN_MODE_PELICAN) {
        error = "Botschaft " + Quoted(message.name) +
                " hat einen 29-Bit-Identifier; im Modus Basic CAN (2.0A) gehen nur 11 Bit.";
        return std::nullopt;
    }
    const std::vector<dbc::SignalValue> signalValues = dbc::ToSignalValues(values);
    const dbc::EncodeResult encoded = dbc::Encode(message, signalValues);
    if (!encoded.frame) {
        error = encoded.error;
        return std::nullopt;
    }
    can::Frame frame;
    frame.id = message.id;
    frame.extended = message.extended;
    frame.dlc = static_cast<std::uint8_t>(encoded.frame->length);
    std::copy_n(encoded.frame->data.begin(), frame.dlc, frame.data.begin());
    return can::SendRequest(frame);
}

bool CheckCycleTime(std::uint32_t ms, std::string& error) {
    if (ms >= 1 && ms <= kMaxSignalCycleMs)
        return true;
    error = "Die Zykluszeit " + std::to_string(ms) + " ms liegt außerhalb von 1 … " +
            std::to_string(kMaxSignalCycleMs) + " ms.";
    return false;
}

std::optional<NamedSend> FindNamedSend(const dbc::DatabaseSet& databases, std::string_view text,
                                       std::string& error) {
    auto parsed = dbc::ParseSignalAssignments(text, error);
    if (!parsed)
        return std::nullopt;
    std::vector<const dbc::Database*> list;
    for (const auto& db : databases.Databases())
        list.push_back(db.get());
    NamedSend send;
    send.message = dbc::FindMessageByText(list, parsed->message);
    if (!send.message) {
        error = "Keine geladene Datenbank kennt die Botschaft " + Quoted(parsed->message) + ".";
        return std::nullopt;
    }
    send.values = std::move(parsed->values);
    return send;
}

bool SignalSender::SendOnce(const dbc::Message& message,
                            std::span<const dbc::SignalAssignment> values, std::string& error) {
    if (!CanIsOpen(m_channel)) {
        error = "Der CAN-Kanal ist nicht geöffnet.";
        return false;
    }
    const auto msg = EncodeForChannel(message, values, m_channel->mode, error);
    if (!msg)
        return false;
    if (const int failure = CanWriteMsg(m_channel, &*msg); failure != 0) {
        error = "Botschaft " + Quoted(message.name) + " nicht gesendet (Fehler " +
                std::to_string(failure) + ").";
        return false;
    }
    return true;
}

bool SignalSender::SendCyclic(const dbc::Message& message,
                              std::span<const dbc::SignalAssignment> values, std::uint32_t cycleMs,
                              std::string& error) {
    if (!CanIsOpen(m_channel)) {
        error = "Der CAN-Kanal ist nicht geöffnet.";
        return false;
    }
    if (!CheckCycleTime(cycleMs, error))
        return false;
    const auto msg = EncodeForChannel(message, values, m_channel->mode, error);
    if (!msg)
        return false;
    DropEnded();
    if (Job* job = Find(message.id, message.extended)) {
        CanSetCyclicMsg(m_channel, job->key, *msg);
        CanStartCyclic(m_channel, job->key, 0, 0, 0, nullptr, cycleMs);  // retimes it
        job->cycleMs = cycleMs;
        return true;
    }
    if (m_jobs.size() >= static_cast<std::size_t>(kMaxSignalJobs)) {
        error = "Es laufen schon " + std::to_string(kMaxSignalJobs) +
                " zyklische Botschaften; halten Sie eine an, bevor Sie eine weitere starten.";
        return false;
    }
    int key = kSignalJobFirstKey;
    while (std::any_of(m_jobs.begin(), m_jobs.end(), [&](const Job& j) { return j.key == key; }))
        ++key;
    if (!CanStartCyclicMsg(m_channel, key, *msg, cycleMs)) {
        error = "Botschaft " + Quoted(message.name) +
                ": der zyklische Sendeauftrag ließ sich "
                "nicht starten.";
        return false;
    }
    m_jobs.push_back({key, message.name, message.id, message.extended, cycleMs});
    return true;
}

bool SignalSender::Update(const dbc::Message& message,
                          std::span<const dbc::SignalAssignment> values, std::string& error) {
    DropEnded();
    Job* job = Find(message.id, message.extended);
    if (!job)
        return true;
    const auto msg = EncodeForChannel(message, values, m_channel->mode, error);
    if (!msg)
        return false;
    CanSetCyclicMsg(m_channel, job->key, *msg);
    return true;
}

bool SignalSender::Stop(std::uint32_t id, bool extended) {
    Job* job = Find(id, extended);
    if (!job)
        return false;
    CanStopCyclic(m_channel, job->key);
    m_jobs.erase(m_jobs.begin() + (job - m_jobs.data()));
    return true;
}

void SignalSender::StopAll() {
    for (const Job& job : m_jobs)
        CanStopCyclic(m_channel, job.key);
    m_jobs.clear();
}

const std::vector<SignalSender::Job>& SignalSender::Jobs() {
    DropEnded();
    return m_jobs;
}

bool SignalSender::IsRunning(std::uint32_t id, bool extended) {
    DropEnded();
    return Find(id, extended) != nullptr;
}

SignalSender::Job* SignalSender::Find(std::uint32_t id, bool extended) {
    for (Job& job : m_jobs) {
        if (job.id == id && job.extended == extended)
            return &job;
    }
    return nullptr;
}

// A closed channel has stopped its jobs.
void SignalSender::DropEnded() {
    std::erase_if(m_jobs, [&](const Job& job) { return !CanFindCyclic(m_channel, job.key); });
}
