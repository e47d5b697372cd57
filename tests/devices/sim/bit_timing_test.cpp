#include "devices/common/bit_timing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(BitTiming, SupportsExactlyTheRatesA16MHzControllerReaches) {
    const std::vector<std::uint32_t> expected = {10000,  12500,  12800,  15625,  16000,  20000,
                                                 25000,  31250,  32000,  40000,  50000,  62500,
                                                 64000,  80000,  100000, 125000, 160000, 200000,
                                                 250000, 320000, 400000, 500000, 800000, 1000000};
    EXPECT_EQ(devices::SupportedBaudrates(), expected);
    for (std::uint32_t rate : expected) {
        auto t = devices::FindBitTiming(rate);
        ASSERT_TRUE(t) << rate;
        EXPECT_EQ(t->Baudrate(), rate);
        EXPECT_TRUE(t->brp >= 1 && t->brp <= 64 && t->tseg1 >= 1 && t->tseg1 <= 16 &&
                    t->tseg2 >= 1 && t->tseg2 <= 8)
            << rate;
        // 12800 bit/s has a single setting: 25 quanta, sampled at 68 %.
        EXPECT_GE(t->SamplePointPermille(), rate == 12800 ? 680 : 750) << rate;
        EXPECT_LE(t->SamplePointPermille(), 900) << rate;
    }
}

TEST(BitTiming, RefusesRatesItCannotReachOrThatLieOutsideTheRange) {
    for (std::uint32_t rate : {0u, 5000u, 9999u, 10001u, 19999u, 33333u, 83333u, 100001u, 115200u,
                               1000001u, 2000000u, 8000000u}) {
        EXPECT_FALSE(devices::IsSupportedBaudrate(rate)) << rate;
    }
}

TEST(BitTiming, GivesTheUsualRegisterValues) {
    auto t125 = devices::FindBitTiming(125000);
    auto t500 = devices::FindBitTiming(500000);
    auto t20 = devices::FindBitTiming(20000);
    ASSERT_TRUE(t125 && t500 && t20);
    EXPECT_EQ(t125->Btr0(), 0x03);
    EXPECT_EQ(t125->Btr1(), 0x1C);
    EXPECT_EQ(t500->Btr0(), 0x00);
    EXPECT_EQ(t500->Btr1(), 0x1C);
    EXPECT_EQ(t20->Btr0(), 0x18);
    EXPECT_EQ(t20->Btr1(), 0x1C);
}

}  // namespace
