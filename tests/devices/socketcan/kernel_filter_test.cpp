#include "devices/socketcan/kernel_filter.h"

#include <gtest/gtest.h>

#include <vector>

#include "devices/common/acceptance_filter.h"

namespace {

using socketcan::KernelFilterList;
using socketcan::OwnId;

// The kernel's decision for one received frame (net/can/af_can.c: how a filter entry is stored,
// then matched): an entry whose mask has the extended flag while its identifier has not passes
// standard frames only, with the mask cut to 11 bits and the flags; the identifier is stored
// masked; an inverted entry passes what does not match.
bool KernelPasses(const std::vector<can_filter>& list, std::uint32_t canId) {
    for (can_filter f : list) {
        const bool inverted = (f.can_id & CAN_INV_FILTER) != 0;
        std::uint32_t mask = f.can_mask;
        if (mask & CAN_ERR_FLAG)
            continue;  // an error-frame entry
        if ((mask & CAN_EFF_FLAG) && !(f.can_id & CAN_EFF_FLAG)) {
            mask &= CAN_SFF_MASK | CAN_EFF_FLAG | CAN_RTR_FLAG;
        }
        const std::uint32_t id = f.can_id & mask;
        if (((canId & mask) == id) != inverted)
            return true;
    }
    return false;
}

std::uint32_t KernelId(std::uint32_t id, bool extended, bool rtr) {
    return id | (extended ? CAN_EFF_FLAG : 0u) | (rtr ? CAN_RTR_FLAG : 0u);
}

struct Filter {
    std::uint32_t code;
    std::uint32_t mask;
};

std::vector<Filter> Filters() {
    std::vector<Filter> filters = {
        {0, 0},                    // the default: everything
        {0xFFFFFFFF, 0},           // mask 0: everything, whatever the code
        {0x100, 0x7FF},            // exactly 0x100 (and extended ids ending in it)
        {0x100, 0x1FFFFFFF},       // exactly 0x100 among all 29 bits
        {0x123, 0x700},            // 0x100..0x1FF
        {0x800, 0x800},            // bit 11 set: no standard frame
        {0x18FEF100, 0x1FFFFF00},  // a block of extended ids
        {0x80000000, 0x80000000},  // a 1 above bit 28 must match: nothing
        {0x20000000, 0xFFFFFFFF},
        {0x7FF, 0xFFFFFFFF},
    };
    std::uint32_t x = 12345;  // a few arbitrary pairs besides
    for (int i = 0; i < 40; ++i) {
        x = x * 1103515245u + 12345u;
        std::uint32_t code = x;
        x = x * 1103515245u + 12345u;
        std::uint32_t mask = x & (i % 2 ? 0x1FFFFFFFu : 0x7FFu) & (x >> 7);
        filters.push_back({code, mask});
    }
    return filters;
}

std::vector<std::uint32_t> StandardIds() {
    std::vector<std::uint32_t> ids = {0, 1, 0x100, 0x123, 0x1FF, 0x7FF};
    for (std::uint32_t i = 0; i < 0x800; i += 37)
        ids.push_back(i);
    return ids;
}

std::vector<std::uint32_t> ExtendedIds() {
    std::vector<std::uint32_t> ids = {0, 0x100, 0x800, 0x7FF, 0x18FEF100, 0x18FEF1FF, 0x1FFFFFFF};
    std::uint32_t x = 99;
    for (int i = 0; i < 300; ++i) {
        x = x * 1664525u + 1013904223u;
        ids.push_back(x & CAN_EFF_MASK);
    }
    return ids;
}

TEST(KernelFilter, KernelPassesExactlyWhatTheSoftwareFilterPasses) {
    for (const Filter& f : Filters()) {
        for (bool standardOnly : {false, true}) {
            auto list = KernelFilterList(f.code, f.mask, standardOnly, {});
            SCOPED_TRACE(testing::Message() << std::hex << "code " << f.code << " mask " << f.mask
                                            << (standardOnly ? " standard only" : ""));
            for (bool rtr : {false, true}) {
                for (std::uint32_t id : StandardIds()) {
                    EXPECT_EQ(KernelPasses(list, KernelId(id, false, rtr)),
                              devices::SoftwareFilterAccepts(f.code, f.mask, id))
                        << "standard " << id;
                }
                for (std::uint32_t id : ExtendedIds()) {
                    bool expected =
                        !standardOnly && devices::SoftwareFilterAccepts(f.code, f.mask, id);
                    EXPECT_EQ(KernelPasses(list, KernelId(id, true, rtr)), expected)
                        << "extended " << id;
                }
            }
        }
    }
}

TEST(KernelFilter, OwnIdentifiersTheFilterRejectsStillComeBack) {
    const std::vector<OwnId> own = {{0x200, false}, {0x18DA00F1, true}};
    auto list = KernelFilterList(0x100, 0x7FF, false, own);
    EXPECT_TRUE(KernelPasses(list, 0x100));
    EXPECT_TRUE(KernelPasses(list, KernelId(0x200, false, false)));
    EXPECT_TRUE(KernelPasses(list, KernelId(0x200, false, true)));
    EXPECT_TRUE(KernelPasses(list, KernelId(0x18DA00F1, true, false)));
    // Only those exactly: neither the other format nor a neighbour.
    EXPECT_FALSE(KernelPasses(list, KernelId(0x200, true, false)));
    EXPECT_FALSE(KernelPasses(list, KernelId(0x201, false, false)));
    EXPECT_FALSE(KernelPasses(list, KernelId(0x18DA00F0, true, false)));
    EXPECT_FALSE(KernelPasses(list, KernelId(0x101, false, false)));

    // Basic CAN sends no extended frames, so there is nothing of that kind to let through.
    auto basic = KernelFilterList(0x100, 0x7FF, true, own);
    EXPECT_TRUE(KernelPasses(basic, 0x200));
    EXPECT_FALSE(KernelPasses(basic, KernelId(0x18DA00F1, true, false)));

    // Even a filter that passes nothing lets them through.
    auto none = KernelFilterList(0x80000000, 0x80000000, false, own);
    EXPECT_TRUE(KernelPasses(none, 0x200));
    EXPECT_FALSE(KernelPasses(none, 0x100));
}

TEST(KernelFilter, TooManyOwnIdentifiersOpenTheListForTheDeviceToFilter) {
    std::vector<OwnId> own;
    for (std::uint32_t i = 0; i <= socketcan::kMaxOwnEntries; ++i)
        own.push_back({0x400 + i, false});
    auto list = KernelFilterList(0x100, 0x7FF, false, own);
    EXPECT_TRUE(KernelPasses(list, 0x555));
    EXPECT_TRUE(KernelPasses(list, KernelId(0x1234567, true, false)));
    auto basic = KernelFilterList(0x100, 0x7FF, true, own);
    EXPECT_TRUE(KernelPasses(basic, 0x555));
    EXPECT_FALSE(KernelPasses(basic, KernelId(0x1234567, true, false)));

    own.pop_back();  // at the limit the exact entries still do
    EXPECT_FALSE(KernelPasses(KernelFilterList(0x100, 0x7FF, false, own), 0x555));
}

}  // namespace
