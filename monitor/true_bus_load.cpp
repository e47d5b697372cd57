#include "monitor/true_bus_load.h"

#include <algorithm>

#include "can/floor_div.h"
#include "can/frame_bits.h"
#include "can/frame_records.h"
#include "can/record_class.h"

int TrueBusLoad::RecordBits(const CanMsg& msg) {
    if (msg.type == CAN_EV_BUS_ERROR)
        return kErrorFrameBits;
    if (!can::IsFrameType(msg.type))
        return 0;
    return can::BusBits(can::FrameOfRecord(msg));
}

void TrueBusLoad::Add(const CanMsg& msg, std::int64_t endNs, std::int64_t arrivalNs,
                      std::uint32_t baudrate) {
    const int bits = RecordBits(msg);
    if (bits == 0)
        return;
    std::lock_guard lock(m_lock);
    // The device's clock placed on the arrival clock by the quickest arrival seen: a record that
    // waited in a batch or behind a stalled thread still counts where it was on the bus.
    if (m_offsetNs == kNoStep || arrivalNs - endNs < m_offsetNs)
        m_offsetNs = arrivalNs - endNs;
    const std::int64_t end = endNs + m_offsetNs;
    // On the bus from its start to its end stamp, then the intermission.
    const std::int64_t length = baudrate == 0 ? 0 : can::BitsToNanoseconds(bits, baudrate);
    const std::int64_t start =
        end - (baudrate == 0 ? 0 : can::BitsToNanoseconds(bits - can::kIntermissionBits, baudrate));
    Begin(start);
    m_totalBits += static_cast<std::uint64_t>(bits);
    // Split at step boundaries by time, so that a step never holds more than its time allows.
    std::int64_t step = can::FloorDiv(start, kStepNs);
    const std::int64_t lastStep =
        can::FloorDiv(start + std::max<std::int64_t>(length - 1, 0), kStepNs);
    std::uint64_t left = static_cast<std::uint64_t>(bits);
    for (; step <= lastStep && left > 0; ++step) {
        std::uint64_t share = left;
        if (step < lastStep) {
            const std::int64_t within = (step + 1) * kStepNs - start;
            share = std::min<std::uint64_t>(
                left, static_cast<std::uint64_t>(within) * baudrate / 1'000'000'000u -
                          (static_cast<std::uint64_t>(bits) - left));
        }
        AddToStep(step, share);
        left -= share;
    }
}

void TrueBusLoad::AddToStep(std::int64_t step, std::uint64_t bits) {
    FoldPeakThrough(step - 1);
    Step& s = m_ring[step & (kRingSteps - 1)];
    if (s.step > step)
        return;  // older than the ring: in the mean only
    if (s.step != step) {
        s.step = step;
        s.bits = 0;
    }
    s.bits += bits;
    m_lastDataStep = std::max(m_lastDataStep, step);
    // A step already in the peak: the windows that hold it are judged again.
    for (std::int64_t end = step; end <= m_foldedThrough && end < step + kWindowSteps; ++end)
        m_peakBits = std::max(m_peakBits, WindowBits(end));
}

BusLoadFigures TrueBusLoad::Sample(std::int64_t nowNs, std::uint32_t baudrate) {
    const std::int64_t nowStep = can::FloorDiv(nowNs, kStepNs);
    std::uint64_t windowBits = 0, peakBits = 0, totalBits = 0;
    std::int64_t elapsedNs = 0;
    {
        std::lock_guard lock(m_lock);
        Begin(nowNs);
        FoldPeakThrough(nowStep - 1);
        windowBits = WindowBits(nowStep - 1);
        peakBits = m_peakBits;
        totalBits = m_totalBits;
        elapsedNs = nowNs - m_startNs;
    }
    BusLoadFigures figures;
    if (baudrate == 0)
        return figures;
    // The window is exactly one second, so its bits per second are its bits.
    const double percentPerBit = 100.0 / baudrate;
    figures.percent = double(windowBits) * percentPerBit;
    figures.peakPercent = double(peakBits) * percentPerBit;
    if (elapsedNs > 0)
        figures.meanPercent = double(totalBits) * percentPerBit * 1e9 / double(elapsedNs);
    return figures;
}

void TrueBusLoad::Reset() {
    std::lock_guard lock(m_lock);
    std::fill(std::begin(m_ring), std::end(m_ring), Step{});
    m_lastDataStep = kNoStep;
    m_foldedThrough = kNoStep;
    m_peakBits = 0;
    m_totalBits = 0;
    m_startNs = kNoStep;
    m_offsetNs = kNoStep;
}

void TrueBusLoad::Begin(std::int64_t ns) {
    if (m_startNs == kNoStep) {
        m_startNs = ns;
        m_foldedThrough = can::FloorDiv(ns, kStepNs) - 1;
    }
}

std::uint64_t TrueBusLoad::WindowBits(std::int64_t lastStep) const {
    std::uint64_t bits = 0;
    for (std::int64_t step = lastStep - kWindowSteps + 1; step <= lastStep; ++step) {
        const Step& s = m_ring[step & (kRingSteps - 1)];
        if (s.step == step)
            bits += s.bits;
    }
    return bits;
}

void TrueBusLoad::FoldPeakThrough(std::int64_t lastStep) {
    if (lastStep <= m_foldedThrough)
        return;
    // Windows ending after the last step with data hold only part of what an earlier one held.
    const std::int64_t last = std::min(lastStep, m_lastDataStep + kWindowSteps - 1);
    for (std::int64_t end = m_foldedThrough + 1; end <= last; ++end)
        m_peakBits = std::max(m_peakBits, WindowBits(end));
    m_foldedThrough = lastStep;
}
