// What the SJA1000 would have reported for a SocketCAN error frame.
//
// The kernel describes bus trouble as error frames (CAN_ERR_FLAG) with classes in the identifier
// and details in the data bytes. The program's log knows the SJA1000's interrupt conditions, so
// each error frame becomes the records that chip would have raised:
//
//   class / detail                                   records
//   protocol violation, bus error, missing ACK,      4 bus error; the transmit bit in the status
//   transmit timeout, transceiver fault                when it struck our own transmission
//   lost arbitration                                 9 arbitration (the controller goes on
//                                                      receiving, so the receive bit)
//   controller: warning / passive / active,          7 on a change of the error status (ES) or
//   bus-off, restarted                                 the bus status (BS), 8 on entering or
//                                                      leaving error passive, as the chip's error
//                                                      and error-passive interrupts fire
//   controller: receive overflow                     one frame lost: the caller counts it, which
//                                                      gives 5 data overrun once until cleared
//   controller: transmit overflow                    5 with the transmit bit, the lost frame
//                                                      being one of ours
//
// One error frame may carry several classes; its records come in the order of the table.
// Bus-off implies error passive and the error status, as on the chip, whose counters are past
// both limits then; a restart or "error active" brings all three back.
#pragma once

#include <array>
#include <cstdint>

namespace socketcan {

// The controller's error state as the status register shows it.
struct ErrorState {
    bool warning = false;  // ES: an error counter at 96 or more
    bool passive = false;  // an error counter at 128 or more
    bool busOff = false;   // BS

    bool operator==(const ErrorState&) const = default;
};

struct BusEventRecord {
    std::int32_t type = 0;
    std::uint8_t activity = 0;  // status bits: transmitting or receiving when it happened
};

struct ErrorFrameRecords {
    static constexpr int kMaxRecords = 5;
    std::array<BusEventRecord, kMaxRecords> records{};
    int count = 0;
    // Received frames the controller lost (receive overflow).
    int lostFrames = 0;
};

// Maps one error frame (its can_id with CAN_ERR_FLAG and its 8 data bytes) and moves `state`
// to the state the frame reports.
ErrorFrameRecords MapErrorFrame(std::uint32_t canId, const std::uint8_t (&data)[8],
                                ErrorState& state);

}  // namespace socketcan
