// What the adapter does on any Linux kernel, CAN or not: opening interfaces that cannot carry
// CAN, and reading links.
#include <gtest/gtest.h>
#include <net/if.h>

#include <cerrno>
#include <string>

#include "devices/socketcan/link_control.h"
#include "devices/socketcan/socketcan_adapter.h"
#include "platform/device.h"
#include "platform/error.h"

namespace {

int OpenError(const std::string& path) {
    platform::Handle h = platform::CreateFile(path.c_str());
    if (h != platform::kNoHandle) {
        platform::CloseHandle(h);
        return 0;
    }
    return platform::GetLastError();
}

TEST(SocketCanHost, OpeningAMissingInterfaceFailsWithNoSuchDevice) {
    const std::string path = "\\\\.\\HostTest.Missing";
    socketcan::RegisterSocketCanAdapter(path, "vesk-nonexist");
    EXPECT_EQ(OpenError(path), ENODEV);
    // The failed open left nothing behind: the next one gets the same answer, not "busy".
    EXPECT_EQ(OpenError(path), ENODEV);
    platform::UnregisterDevice(path);
}

TEST(SocketCanHost, InterfacesThatCarryNoCanAreNoSuchDeviceEither) {
    const std::string path = "\\\\.\\HostTest.Loopback";
    socketcan::RegisterSocketCanAdapter(path, "lo");
    EXPECT_EQ(OpenError(path), ENODEV);
    platform::UnregisterDevice(path);

    // A name the kernel could never have given an interface.
    socketcan::RegisterSocketCanAdapter(path, "an_interface_name_far_too_long");
    EXPECT_EQ(OpenError(path), ENODEV);
    platform::UnregisterDevice(path);
}

TEST(SocketCanHost, LinkQueriesReportKindStateAndBitTiming) {
    const int loopback = static_cast<int>(if_nametoindex("lo"));
    ASSERT_NE(loopback, 0);
    socketcan::LinkInfo link;
    ASSERT_EQ(socketcan::QueryLink(loopback, link), 0);
    EXPECT_EQ(link.index, loopback);
    EXPECT_EQ(link.name, "lo");
    EXPECT_TRUE(link.up);
    EXPECT_NE(link.type, socketcan::kLinkTypeCan);
    EXPECT_FALSE(link.HasBitTiming());
    EXPECT_EQ(link.bitrate, 0u);

    EXPECT_EQ(socketcan::QueryLink(0x7FFFFFF0, link), ENODEV);

    std::vector<socketcan::LinkInfo> links;
    ASSERT_EQ(socketcan::ListCanLinks(links), 0);
    for (std::size_t i = 0; i < links.size(); ++i) {
        EXPECT_EQ(links[i].type, socketcan::kLinkTypeCan);
        if (i > 0) {
            EXPECT_LT(links[i - 1].index, links[i].index);
        }
    }
}

}  // namespace
