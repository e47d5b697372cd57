#include "devices/socketcan/frame_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/test_record.h"

namespace {

using socketcan::FromKernelFrame;
using socketcan::ToKernelFrame;

CanMsg Request(std::uint32_t id, std::uint8_t dlc, std::uint8_t rtr = 0) {
    std::vector<std::uint8_t> data(kCanMaxSendBytes);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(0xA0 + i);
    return testsupport::Record({.id = id, .dlc = dlc, .rtr = rtr, .data = std::move(data)});
}

TEST(FrameConversion, TransmitRequestBecomesTheFrameTheModeAllows) {
    can_frame standard = ToKernelFrame(Request(0x12345678, 2), false);
    EXPECT_EQ(standard.can_id, 0x678u);  // 11 bits, no flags
    EXPECT_EQ(standard.len, 2);
    EXPECT_EQ(standard.data[0], 0xA0);
    EXPECT_EQ(standard.data[1], 0xA1);
    EXPECT_EQ(standard.data[2], 0);  // nothing beyond the length

    can_frame extended = ToKernelFrame(Request(0xF2345678, 0), true);
    EXPECT_EQ(extended.can_id, 0x12345678u | CAN_EFF_FLAG);
    EXPECT_EQ(extended.len, 0);

    can_frame remote = ToKernelFrame(Request(0x301, 4, 1), false);
    EXPECT_EQ(remote.can_id, 0x301u | CAN_RTR_FLAG);
    EXPECT_EQ(remote.len, 4);
    EXPECT_TRUE(std::all_of(remote.data, remote.data + 8, [](auto b) { return b == 0; }));
}

TEST(FrameConversion, LongRequestsSendEightBytes) {
    can_frame ten = ToKernelFrame(Request(0x100, 10), false);
    EXPECT_EQ(ten.len, 8);
    EXPECT_EQ(ten.len8_dlc, 10);  // the code asked for, where the interface passes it on
    EXPECT_EQ(ten.data[7], 0xA7);

    can_frame huge = ToKernelFrame(Request(0x100, 200), false);
    EXPECT_EQ(huge.len, 8);
    EXPECT_EQ(huge.len8_dlc, 0);  // no such code on the bus
    EXPECT_EQ(ToKernelFrame(Request(0x100, 8), false).len8_dlc, 0);
}

TEST(FrameConversion, ReceivedFramesKeepFormatRemoteAndRawCode) {
    can_frame k{};
    k.can_id = 0x18FEF100u | CAN_EFF_FLAG;
    k.len = 3;
    k.data[0] = 1;
    k.data[2] = 3;
    can::Frame f = FromKernelFrame(k);
    EXPECT_TRUE(f.extended);
    EXPECT_FALSE(f.rtr);
    EXPECT_EQ(f.id, 0x18FEF100u);
    EXPECT_EQ(f.dlc, 3);
    EXPECT_EQ(f.data[0], 1);
    EXPECT_EQ(f.data[2], 3);

    can_frame remote{};
    remote.can_id = 0x7FFu | CAN_RTR_FLAG;
    remote.len = 5;
    remote.data[0] = 0xEE;  // whatever lies there is no data of a remote frame
    f = FromKernelFrame(remote);
    EXPECT_FALSE(f.extended);
    EXPECT_TRUE(f.rtr);
    EXPECT_EQ(f.id, 0x7FFu);
    EXPECT_EQ(f.dlc, 5);
    EXPECT_EQ(f.data[0], 0);

    can_frame raw{};
    raw.len = 8;
    raw.len8_dlc = 12;
    EXPECT_EQ(FromKernelFrame(raw).dlc, 12);
    raw.len = 7;  // a raw code only accompanies 8 bytes
    EXPECT_EQ(FromKernelFrame(raw).dlc, 7);
}

}  // namespace
