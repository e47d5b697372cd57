#include "devices/socketcan/error_frame_mapping.h"

#include <gtest/gtest.h>
#include <linux/can.h>
#include <linux/can/error.h>

#include <vector>

#include "can/sja1000_status.h"
#include "channel/device_protocol.h"

namespace {

namespace sr = can::sja1000;
using socketcan::ErrorState;
using socketcan::MapErrorFrame;

struct Mapped {
    std::vector<std::int32_t> types;
    std::vector<std::uint8_t> activities;
    int lost = 0;
};

Mapped Map(std::uint32_t classes, ErrorState& state, std::uint8_t d1 = 0, std::uint8_t d2 = 0,
           std::uint8_t d3 = 0) {
    const std::uint8_t data[8] = {0, d1, d2, d3, 0, 0, 0, 0};
    auto out = MapErrorFrame(CAN_ERR_FLAG | classes, data, state);
    Mapped m;
    for (int i = 0; i < out.count; ++i) {
        m.types.push_back(out.records[static_cast<std::size_t>(i)].type);
        m.activities.push_back(out.records[static_cast<std::size_t>(i)].activity);
    }
    m.lost = out.lostFrames;
    return m;
}

using Types = std::vector<std::int32_t>;
using Activities = std::vector<std::uint8_t>;

TEST(ErrorFrameMapping, BusErrorsSayWhetherTheyStruckOurTransmission) {
    ErrorState state;
    auto rx =
        Map(CAN_ERR_PROT | CAN_ERR_BUSERROR, state, 0, CAN_ERR_PROT_STUFF, CAN_ERR_PROT_LOC_DATA);
    EXPECT_EQ(rx.types, Types{CAN_EV_BUS_ERROR});
    EXPECT_EQ(rx.activities, Activities{sr::kSrReceiving});

    auto tx = Map(CAN_ERR_PROT | CAN_ERR_BUSERROR, state, 0, CAN_ERR_PROT_FORM | CAN_ERR_PROT_TX);
    EXPECT_EQ(tx.activities, Activities{sr::kSrTransmitting});
    // Unable to drive a bit level: only a transmitter can notice that.
    EXPECT_EQ(Map(CAN_ERR_PROT, state, 0, CAN_ERR_PROT_BIT0).activities,
              Activities{sr::kSrTransmitting});
    EXPECT_EQ(Map(CAN_ERR_ACK | CAN_ERR_PROT | CAN_ERR_BUSERROR, state).activities,
              Activities{sr::kSrTransmitting});
    EXPECT_EQ(Map(CAN_ERR_TX_TIMEOUT, state).activities, Activities{sr::kSrTransmitting});
    EXPECT_EQ(Map(CAN_ERR_TRX, state).types, Types{CAN_EV_BUS_ERROR});
    EXPECT_EQ(state, ErrorState{});  // bus errors alone change no state
}

TEST(ErrorFrameMapping, LostArbitrationLeavesTheControllerReceiving) {
    ErrorState state;
    auto m = Map(CAN_ERR_LOSTARB, state);
    EXPECT_EQ(m.types, Types{CAN_EV_ARBITRATION});
    EXPECT_EQ(m.activities, Activities{sr::kSrReceiving});
}

TEST(ErrorFrameMapping, StateChangesRaiseTheChipsErrorAndPassiveInterrupts) {
    ErrorState state;
    // Transmit errors climb: warning, passive, bus-off.
    auto warning = Map(CAN_ERR_CRTL, state, CAN_ERR_CRTL_TX_WARNING);
    EXPECT_EQ(warning.types, Types{CAN_EV_WARNING});
    EXPECT_EQ(warning.activities, Activities{sr::kSrTransmitting});
    EXPECT_EQ(state, (ErrorState{true, false, false}));

    EXPECT_EQ(Map(CAN_ERR_CRTL, state, CAN_ERR_CRTL_TX_PASSIVE).types, Types{CAN_EV_PASSIVE});
    EXPECT_EQ(state, (ErrorState{true, true, false}));

    // Bus-off changes the bus status: the error interrupt only, passive it was already.
    EXPECT_EQ(Map(CAN_ERR_BUSOFF, state).types, Types{CAN_EV_WARNING});
    EXPECT_EQ(state, (ErrorState{true, true, true}));

    // The restart brings everything back at once.
    EXPECT_EQ(Map(CAN_ERR_RESTARTED, state).types, (Types{CAN_EV_WARNING, CAN_EV_PASSIVE}));
    EXPECT_EQ(state, ErrorState{});
}

TEST(ErrorFrameMapping, ReceiveSideStatesAndRecoveryToErrorActive) {
    ErrorState state;
    // A driver that reports passive without warning first: both interrupts, as the chip's
    // counters pass both limits.
    auto passive = Map(CAN_ERR_CRTL, state, CAN_ERR_CRTL_RX_PASSIVE);
    EXPECT_EQ(passive.types, (Types{CAN_EV_WARNING, CAN_EV_PASSIVE}));
    EXPECT_EQ(passive.activities, (Activities{sr::kSrReceiving, sr::kSrReceiving}));

    EXPECT_EQ(Map(CAN_ERR_CRTL, state, CAN_ERR_CRTL_RX_WARNING).types, Types{CAN_EV_PASSIVE});
    EXPECT_EQ(state, (ErrorState{true, false, false}));
    EXPECT_EQ(Map(CAN_ERR_CRTL, state, CAN_ERR_CRTL_ACTIVE).types, Types{CAN_EV_WARNING});
    EXPECT_EQ(state, ErrorState{});
}

TEST(ErrorFrameMapping, RepeatedOrUnspecifiedControllerReportsRaiseNothing) {
    ErrorState state;
    Map(CAN_ERR_CRTL, state, CAN_ERR_CRTL_RX_WARNING);
    EXPECT_TRUE(Map(CAN_ERR_CRTL, state, CAN_ERR_CRTL_TX_WARNING).types.empty());
    EXPECT_TRUE(Map(CAN_ERR_CRTL, state, CAN_ERR_CRTL_UNSPEC).types.empty());
    EXPECT_EQ(state, (ErrorState{true, false, false}));
    EXPECT_TRUE(Map(0, state).types.empty());
}

TEST(ErrorFrameMapping, OverflowsLoseAReceivedFrameOrReportOurs) {
    ErrorState state;
    auto rx = Map(CAN_ERR_CRTL, state, CAN_ERR_CRTL_RX_OVERFLOW);
    EXPECT_TRUE(rx.types.empty());  // the record queue reports the loss
    EXPECT_EQ(rx.lost, 1);

    auto tx = Map(CAN_ERR_CRTL, state, CAN_ERR_CRTL_TX_OVERFLOW);
    EXPECT_EQ(tx.types, Types{CAN_EV_OVERRUN});
    EXPECT_EQ(tx.activities, Activities{sr::kSrTransmitting});
    EXPECT_EQ(tx.lost, 0);
    EXPECT_EQ(state, ErrorState{});
}

TEST(ErrorFrameMapping, OneFrameWithSeveralClassesGivesItsRecordsInOrder) {
    ErrorState state;
    auto m = Map(CAN_ERR_PROT | CAN_ERR_BUSERROR | CAN_ERR_LOSTARB | CAN_ERR_CRTL, state,
                 CAN_ERR_CRTL_TX_PASSIVE | CAN_ERR_CRTL_TX_OVERFLOW, CAN_ERR_PROT_BIT1);
    EXPECT_EQ(m.types, (Types{CAN_EV_BUS_ERROR, CAN_EV_ARBITRATION, CAN_EV_WARNING, CAN_EV_PASSIVE,
                              CAN_EV_OVERRUN}));
    // Bus-off wins over a controller report in the same frame.
    ErrorState other;
    EXPECT_EQ(Map(CAN_ERR_CRTL | CAN_ERR_BUSOFF, other, CAN_ERR_CRTL_TX_WARNING).types,
              (Types{CAN_EV_WARNING, CAN_EV_PASSIVE}));
    EXPECT_TRUE(other.busOff);
}

}  // namespace
