#include "tests/devices/adapter_contract.h"

#include <cstring>

#include "can/sja1000_status.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/event.h"
#include "tests/devices/sim/device_requests.h"

namespace {

namespace sr = can::sja1000;
using simtest::Frame;
using simtest::Ids;
using simtest::kShapes;
using simtest::TxMsg;
using simtest::Types;

TEST_P(AdapterContract, MalformedRequestsFailWithEinvalAndChangeNothing) {
    Start();
    bench_->Receive({Frame(0x100, {1})});
    ASSERT_EQ(adapter_->QueuedRecords(), 1u);

    // Inputs that would change something if their size were taken at face value.
    std::uint8_t in[64];
    std::memset(in, 0x01, sizeof in);
    std::uint8_t out[64];
    for (const simtest::RequestShape& s : kShapes) {
        for (std::uint32_t inSize : {s.in - 1, s.in + 1}) {
            if (inSize > 40)
                continue;  // s.in - 1 wrapped
            EXPECT_EQ(device_->Request(s.code, in, inSize, out, s.out),
                      platform::kErrorInvalidParameter)
                << std::hex << s.code << " in " << inSize;
        }
        for (std::uint32_t outSize : {s.out - 1, s.out + 1}) {
            if (outSize > 40)
                continue;
            EXPECT_EQ(device_->Request(s.code, in, s.in, out, outSize),
                      platform::kErrorInvalidParameter)
                << std::hex << s.code << " out " << outSize;
        }
    }
    // Unknown codes, a neighbour's method bits, and the wait request without an event.
    for (std::uint32_t code : {0u, 0x162000u, 0x162008u, 0x16205Cu + 4, CanIoctl(0x812),
                               IOCTL_CAN_WRITE | 3, IOCTL_CAN_WAIT_EVENT}) {
        EXPECT_EQ(device_->Request(code, in, 0), platform::kErrorInvalidParameter)
            << std::hex << code;
    }
    for (std::uint8_t mode : {2, 0x80, 0xFF})
        EXPECT_EQ(device_->SetMode(mode), platform::kErrorInvalidParameter) << int{mode};
    for (std::uint8_t command : {0, 4, 7, 0x55, 0xFF})
        EXPECT_EQ(device_->Command(command), platform::kErrorInvalidParameter) << int{command};
    platform::Handle event = platform::CreateEvent();
    EXPECT_FALSE(platform::DeviceIoControl(device_->Handle(), IOCTL_CAN_READ, nullptr, 0, nullptr,
                                           0, nullptr, event));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidParameter);
    platform::CloseHandle(event);

    EXPECT_EQ(adapter_->Baudrate(), 20000u);
    EXPECT_EQ(adapter_->AcceptanceCode(), 0xFFFFFFFFu);
    EXPECT_EQ(adapter_->AcceptanceMask(), 0xFFFFFFFFu);
    EXPECT_EQ(adapter_->SoftAcceptanceCode(), 0u);
    EXPECT_EQ(adapter_->SoftAcceptanceMask(), 0u);
    EXPECT_EQ(adapter_->Mode(), CAN_MODE_BASIC);
    EXPECT_FALSE(adapter_->ExtendedFormat());
    EXPECT_FALSE(adapter_->FormatReporting());
    // The record queued before is still there, untouched.
    auto records = device_->ReadAll();
    ASSERT_EQ(Types(records), std::vector<std::int32_t>{CAN_EV_RX});
    EXPECT_EQ(records[0].id, 0x100u);
    EXPECT_EQ(records[0].data[0], 1);
}

TEST_P(AdapterContract, RateFiltersAndReportingSurviveAReopenWhileModeAndFormatStartAfresh) {
    Start();
    ASSERT_EQ(device_->SetBaudrate(125000), 0);
    ASSERT_EQ(device_->SetAcceptance(0x60, 0x01), 0);  // Basic CAN: 0x300..0x30F
    ASSERT_EQ(device_->SetSoftAcceptance(0x300, 0x7FE), 0);
    ASSERT_EQ(device_->SetMode(CAN_MODE_PELICAN), 0);
    ASSERT_EQ(device_->SetFrameFormat(CAN_FORMAT_EXTENDED), 0);
    ASSERT_EQ(device_->Command(CAN_CMD_FORMAT_REPORT_ON), 0);
    Reopen();

    EXPECT_EQ(adapter_->Baudrate(), 125000u);
    EXPECT_EQ(adapter_->AcceptanceCode(), 0x60u);
    EXPECT_EQ(adapter_->AcceptanceMask(), 0x01u);
    EXPECT_EQ(adapter_->SoftAcceptanceCode(), 0x300u);
    EXPECT_EQ(adapter_->SoftAcceptanceMask(), 0x7FEu);
    EXPECT_TRUE(adapter_->FormatReporting());
    EXPECT_EQ(adapter_->Mode(), CAN_MODE_BASIC);
    EXPECT_FALSE(adapter_->ExtendedFormat());

    // Both filters are in effect, in Basic CAN, which takes no extended frame.
    auto records = Receive({Frame(0x2FF), Frame(0x300), Frame(0x300, {}, true), Frame(0x301),
                            Frame(0x302), Frame(0x30F), Frame(0x310)});
    EXPECT_EQ(Ids(records), (std::vector<std::uint32_t>{0x300, 0x301}));
    EXPECT_EQ(Types(records), (std::vector<std::int32_t>{CAN_EV_RX_STD, CAN_EV_RX_STD}));
}

TEST_P(AdapterContract, FormatReportingAndModeDecideTypesAndTransmittedIdentifiers) {
    Start();
    // Basic CAN sends 11-bit identifiers whatever the frame format says.
    ASSERT_EQ(device_->SetFrameFormat(CAN_FORMAT_EXTENDED), 0);
    auto records = Transmit({TxMsg(0x1ABCDEF, {5})});
    EXPECT_EQ(Ids(records), std::vector<std::uint32_t>{0x5EF});
    EXPECT_EQ(Types(records), std::vector<std::int32_t>{CAN_EV_TX});

    ASSERT_EQ(device_->SetMode(CAN_MODE_PELICAN), 0);
    struct Case {
        std::uint8_t command;
        std::vector<std::int32_t> types;
    };
    for (const Case& c :
         {Case{CAN_CMD_FORMAT_REPORT_ON,
               {CAN_EV_RX_EXT, CAN_EV_RX_STD, CAN_EV_TX_STD, CAN_EV_TX_EXT}},
          Case{CAN_CMD_FORMAT_REPORT_OFF, {CAN_EV_RX, CAN_EV_RX, CAN_EV_TX, CAN_EV_TX}}}) {
        ASSERT_EQ(device_->Command(c.command), 0);
        // A 29-bit identifier that fits in 11 bits (it wins the bus against 0x100): only the
        // record's own format tells it.
        records = Receive({Frame(0x123, {}, true), Frame(0x100)});
        ASSERT_EQ(device_->SetFrameFormat(CAN_FORMAT_STANDARD), 0);
        auto sent = Transmit({TxMsg(0x1ABCDEF)});
        ASSERT_EQ(device_->SetFrameFormat(CAN_FORMAT_EXTENDED), 0);
        auto sentExtended = Transmit({TxMsg(0x1ABCDEF)});
        records.insert(records.end(), sent.begin(), sent.end());
        records.insert(records.end(), sentExtended.begin(), sentExtended.end());
        EXPECT_EQ(Types(records), c.types) << int{c.command};
        EXPECT_EQ(Ids(records), (std::vector<std::uint32_t>{0x123, 0x100, 0x5EF, 0x1ABCDEF}));
        std::vector<bool> extended;
        for (const CanMsg& r : records)
            extended.push_back(CanMsgIsExtended(r));
        EXPECT_EQ(extended, (std::vector<bool>{true, false, false, true})) << int{c.command};
    }
}

// A played trace mixes 11-bit and 29-bit frames: a written record may name its own format.
TEST_P(AdapterContract, AWriteMayNameItsOwnIdentifierFormat) {
    Start();
    auto typed = [](std::int32_t type, std::uint32_t id) {
        CanMsg m = TxMsg(id, {7});
        m.type = type;
        return m;
    };
    // Basic CAN has no 29-bit identifiers to send: refused, nothing goes out.
    EXPECT_EQ(device_->Write(typed(CAN_EV_TX_EXT, 0x1ABCDEF)), platform::kErrorInvalidParameter);
    EXPECT_TRUE(device_->ReadAll().empty());

    ASSERT_EQ(device_->SetMode(CAN_MODE_PELICAN), 0);
    for (const std::uint8_t format : {CAN_FORMAT_STANDARD, CAN_FORMAT_EXTENDED}) {
        ASSERT_EQ(device_->SetFrameFormat(format), 0);
        ASSERT_EQ(device_->Command(CAN_CMD_FORMAT_REPORT_ON), 0);
        const auto records = Transmit({typed(CAN_EV_TX_EXT, 0x1ABCDEF),
                                       typed(CAN_EV_TX_STD, 0x1ABCDEF), typed(0, 0x1ABCDEF)});
        EXPECT_EQ(Types(records),
                  (std::vector<std::int32_t>{
                      CAN_EV_TX_EXT, CAN_EV_TX_STD,
                      format == CAN_FORMAT_EXTENDED ? CAN_EV_TX_EXT : CAN_EV_TX_STD}))
            << int{format};
        EXPECT_EQ(Ids(records),
                  (std::vector<std::uint32_t>{0x1ABCDEF, 0x5EF,
                                              format == CAN_FORMAT_EXTENDED ? 0x1ABCDEFu : 0x5EFu}))
            << int{format};
    }
}

TEST_P(AdapterContract, WrittenFramesAreConfirmedWithWhatWentOut) {
    Start();
    auto records = Transmit({TxMsg(0x123, {0x11, 0x22}),
                             TxMsg(0x124, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), TxMsg(0x125, {}, 1)});
    ASSERT_EQ(Types(records), (std::vector<std::int32_t>{CAN_EV_TX, CAN_EV_TX, CAN_EV_TX}));
    EXPECT_EQ(Ids(records), (std::vector<std::uint32_t>{0x123, 0x124, 0x125}));
    EXPECT_EQ(records[0].dlc, 2);
    EXPECT_EQ(records[0].data[1], 0x22);
    // The code it was sent with; eight bytes went out.
    EXPECT_EQ(records[1].dlc, 10);
    EXPECT_EQ(records[1].data[7], 8);
    EXPECT_EQ(records[1].data[8], 0);
    EXPECT_EQ(records[2].rtr, 1);
    for (const CanMsg& r : records) {
        EXPECT_TRUE(r.status & sr::kSrTxComplete) << std::hex << r.id;
        EXPECT_EQ(r.lost, 0);
    }
    EXPECT_TRUE(records[2].status & sr::kSrTxBufferReleased);
}

TEST_P(AdapterContract, FullQueueLosesFramesReportsOverrunOnceAndCountsLost) {
    Start(8);
    auto flood = [&](int n) {
        std::vector<can::Frame> frames;
        for (int i = 0; i < n; ++i)
            frames.push_back(Frame(0x100 + static_cast<std::uint32_t>(i)));
        return Receive(frames);
    };

    auto records = flood(12);
    ASSERT_EQ(records.size(), 9u);
    EXPECT_EQ(records[7].id, 0x107u);
    EXPECT_EQ(records[8].type, CAN_EV_OVERRUN);
    EXPECT_TRUE(records[8].status & sr::kSrDataOverrun);
    records = flood(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].lost, 4);
    EXPECT_TRUE(records[0].status & sr::kSrDataOverrun);  // until cleared
    EXPECT_EQ(flood(1).at(0).lost, 0);

    // Reported once: the next overflow brings no second overrun record.
    EXPECT_EQ(Types(flood(10)), std::vector<std::int32_t>(8, CAN_EV_RX));
    EXPECT_EQ(flood(1).at(0).lost, 2);

    ASSERT_EQ(device_->Command(CAN_CMD_CLEAR_OVERRUN), 0);
    EXPECT_FALSE(flood(1).at(0).status & sr::kSrDataOverrun);
    records = flood(9);
    ASSERT_EQ(records.size(), 9u);
    EXPECT_EQ(records[8].type, CAN_EV_OVERRUN);
}

TEST_P(AdapterContract, WaitRequestCompletesWhenARecordIsReadyAndCancelIoEndsIt) {
    Start();
    platform::Handle event = platform::CreateEvent();
    ASSERT_NE(event, platform::kNoHandle);
    auto postWait = [&] {
        bool done = platform::DeviceIoControl(device_->Handle(), IOCTL_CAN_WAIT_EVENT, nullptr, 0,
                                              nullptr, 0, nullptr, event);
        return done ? 0 : platform::GetLastError();
    };
    auto signalled = [&] {
        return platform::WaitForSingleObject(event, 0) == platform::WaitResult::kSignalled;
    };

    EXPECT_EQ(postWait(), platform::kErrorIoPending);
    EXPECT_EQ(postWait(), platform::kErrorBusy);
    EXPECT_FALSE(signalled());
    bench_->Receive({Frame(0x100)});
    EXPECT_TRUE(signalled());

    EXPECT_EQ(postWait(), 0);  // the frame is still unread
    EXPECT_TRUE(signalled());
    EXPECT_EQ(device_->ReadAll().size(), 1u);

    EXPECT_EQ(postWait(), platform::kErrorIoPending);
    EXPECT_TRUE(platform::CancelIo(device_->Handle()));
    bench_->Receive({Frame(0x101)});
    EXPECT_FALSE(signalled());
    EXPECT_EQ(device_->ReadAll().size(), 1u);

    // A wait still pending when the handle closes is never signalled.
    EXPECT_EQ(postWait(), platform::kErrorIoPending);
    Reopen();
    bench_->Receive({Frame(0x102)});
    EXPECT_FALSE(signalled());
    EXPECT_EQ(Ids(device_->ReadAll()), std::vector<std::uint32_t>{0x102});
    platform::CloseHandle(event);
}

}  // namespace
