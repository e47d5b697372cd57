#include "devices/common/acceptance_filter.h"

#include <gtest/gtest.h>

#include <vector>

#include "channel/device_protocol.h"

namespace {

using devices::BasicCanFilterAccepts;
using devices::PeliCanFilterAccepts;

can::Frame Std(std::uint32_t id, std::vector<std::uint8_t> data = {}, bool rtr = false) {
    can::Frame f;
    f.id = id;
    f.rtr = rtr;
    f.dlc = static_cast<std::uint8_t>(data.size());
    for (std::size_t i = 0; i < data.size(); ++i)
        f.data[i] = data[i];
    return f;
}

can::Frame Ext(std::uint32_t id, bool rtr = false) {
    can::Frame f = Std(id, {}, rtr);
    f.extended = true;
    return f;
}

std::vector<std::uint32_t> PassingStandardIds(std::uint32_t code, std::uint32_t mask) {
    std::vector<std::uint32_t> ids;
    for (std::uint32_t id = 0; id <= 0x7FF; ++id) {
        if (BasicCanFilterAccepts(code, mask, Std(id)))
            ids.push_back(id);
    }
    return ids;
}

std::vector<std::uint32_t> Range(std::uint32_t first, std::uint32_t last) {
    std::vector<std::uint32_t> ids;
    for (std::uint32_t id = first; id <= last; ++id)
        ids.push_back(id);
    return ids;
}

TEST(BasicCanFilter, ComparesIdentifierBits10To3WithTheLowBytes) {
    EXPECT_EQ(PassingStandardIds(0x60, 0x01), Range(0x300, 0x30F));
    // Only the low bytes are registers in Basic CAN mode.
    EXPECT_EQ(PassingStandardIds(0xABCDEF60, 0x12345601), Range(0x300, 0x30F));
    EXPECT_EQ(PassingStandardIds(0x60, 0x00), Range(0x300, 0x307));
    EXPECT_EQ(PassingStandardIds(0x00, 0xFF).size(), 0x800u);
}

TEST(BasicCanFilter, IgnoresRtrAndDataButNeverTakesExtendedFrames) {
    EXPECT_TRUE(BasicCanFilterAccepts(0x60, 0x00, Std(0x301, {0xFF, 0xFF})));
    EXPECT_TRUE(BasicCanFilterAccepts(0x60, 0x00, Std(0x301, {}, true)));
    EXPECT_FALSE(BasicCanFilterAccepts(0xFFFFFFFF, 0xFFFFFFFF, Ext(0x300)));
    EXPECT_FALSE(devices::HardwareFilterAccepts(CAN_MODE_BASIC, 0, 0xFFFFFFFF, Ext(0x1234567)));
    EXPECT_TRUE(devices::HardwareFilterAccepts(CAN_MODE_PELICAN, 0, 0xFFFFFFFF, Ext(0x1234567)));
}

TEST(PeliCanFilter, StandardFramesCompareIdentifierAndRtr) {
    const std::uint32_t code = 0x123u << 21;
    EXPECT_TRUE(PeliCanFilterAccepts(code, 0x000FFFFF, Std(0x123, {1, 2, 3})));
    EXPECT_FALSE(PeliCanFilterAccepts(code, 0x000FFFFF, Std(0x122)));
    EXPECT_FALSE(PeliCanFilterAccepts(code, 0x000FFFFF, Std(0x123, {}, true)));
    EXPECT_TRUE(PeliCanFilterAccepts(code, 0x001FFFFF, Std(0x123, {}, true)));
    // Bits 19..16 are not part of a standard frame's word: set or cared for, they change nothing.
    EXPECT_TRUE(PeliCanFilterAccepts(code | 0x000F0000, 0x0000FFFF, Std(0x123)));
    // Identifier bit 0 is word bit 21.
    EXPECT_TRUE(PeliCanFilterAccepts(code, 0x002FFFFF, Std(0x122)));
}

TEST(PeliCanFilter, StandardFramesCompareTheDataBytesTheyCarry) {
    const std::uint32_t code = (0x123u << 21) | (0xAB << 8) | 0xCD;
    const std::uint32_t mask = 0x001F0000;  // identifier and both data bytes
    EXPECT_TRUE(PeliCanFilterAccepts(code, mask, Std(0x123, {0xAB, 0xCD, 0x99})));
    EXPECT_FALSE(PeliCanFilterAccepts(code, mask, Std(0x123, {0xAB, 0xCE})));
    EXPECT_FALSE(PeliCanFilterAccepts(code, mask, Std(0x123, {0xAA, 0xCD})));
    EXPECT_TRUE(PeliCanFilterAccepts(code, mask, Std(0x123, {0xAB})));
    EXPECT_FALSE(PeliCanFilterAccepts(code, mask, Std(0x123, {0xAC})));
    EXPECT_TRUE(PeliCanFilterAccepts(code, mask, Std(0x123)));
    can::Frame remote = Std(0x123, {}, true);
    remote.dlc = 2;
    remote.data = {0x11, 0x22};
    EXPECT_TRUE(PeliCanFilterAccepts(code, mask, remote));
}

TEST(PeliCanFilter, ExtendedFramesCompareIdentifierAndRtr) {
    const std::uint32_t code = 0x18FEF100u << 3;
    EXPECT_TRUE(PeliCanFilterAccepts(code, 0x3, Ext(0x18FEF100)));
    EXPECT_FALSE(PeliCanFilterAccepts(code, 0x3, Ext(0x18FEF101)));
    EXPECT_FALSE(PeliCanFilterAccepts(code, 0x3, Ext(0x18FEF100, true)));
    EXPECT_TRUE(PeliCanFilterAccepts(code, 0x7, Ext(0x18FEF100, true)));
    EXPECT_TRUE(PeliCanFilterAccepts(code | 0x3, 0x0, Ext(0x18FEF100)));  // unused bits
    EXPECT_TRUE(PeliCanFilterAccepts(code, 0x7FF << 3 | 0x3, Ext(0x18FEF7FF)));
    EXPECT_FALSE(PeliCanFilterAccepts(code, 0x3, Std(0x18FEF100 >> 18)));
}

TEST(PeliCanFilter, AllOnesMaskPassesEverything) {
    for (const can::Frame& f :
         {Std(0), Std(0x7FF, {1}, false), Std(0x55, {}, true), Ext(0x1FFFFFFF), Ext(0, true)}) {
        EXPECT_TRUE(PeliCanFilterAccepts(0, 0xFFFFFFFF, f)) << f.id;
    }
}

TEST(SoftwareFilter, MaskBitsMustMatchTheCode) {
    using devices::SoftwareFilterAccepts;
    EXPECT_TRUE(SoftwareFilterAccepts(0, 0, 0x7FF));
    EXPECT_TRUE(SoftwareFilterAccepts(0, 0, 0x1FFFFFFF));
    int passing = 0;
    for (std::uint32_t id = 0; id <= 0x7FF; ++id)
        passing += SoftwareFilterAccepts(0x100, 0x7FF, id);
    EXPECT_EQ(passing, 1);
    EXPECT_TRUE(SoftwareFilterAccepts(0x100, 0x7FF, 0x100));
    EXPECT_TRUE(SoftwareFilterAccepts(0x100, 0x700, 0x1FF));
    EXPECT_FALSE(SoftwareFilterAccepts(0x100, 0x700, 0x200));
    EXPECT_TRUE(SoftwareFilterAccepts(0x100, 0x7FF, 0x10000100));  // bits outside the mask
    EXPECT_FALSE(SoftwareFilterAccepts(0x100, 0x1FFFFFFF, 0x10000100));
}

}  // namespace
