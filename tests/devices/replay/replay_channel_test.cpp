// The replay adapter in real time, through the channel: its bus thread, the receive thread and
// the closer together (the suite runs under ThreadSanitizer too).

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "channel/can_channel.h"
#include "devices/replay/replay_adapter.h"
#include "platform/device.h"
#include "tests/support/callback_recorder.h"
#include "tests/support/environment.h"

namespace fs = std::filesystem;

TEST(ReplayChannel, ALoopingFilePlaysThroughTheChannelUntilItCloses) {
    const fs::path file =
        fs::temp_directory_path() /
        ("vesk-replay-channel-" + std::to_string(testsupport::ProcessId()) + ".log");
    // Three frames 2 ms apart, looped: some 1500 frames a second at 500 kbit/s.
    std::ofstream(file) << "(1.000000) can0 100#01 R\n(1.002000) can0 12345678#0203 R\n"
                           "(1.004000) can0 7FF#R2 R\n";
    const std::string path = "\\\\.\\ReplayChannel";
    replay::RegisterReplayAdapter(path, file.string(), /*loop=*/true);

    testsupport::CallbackRecorder recorder;
    CanChannel* channel =
        CanCreateChannel(nullptr, &recorder, &testsupport::CallbackRecorder::Callback);
    int error = 0;
    ASSERT_EQ(CanOpen(channel, path.c_str(), 1, 1, &error), 1) << error;  // PeliCAN, extended
    ASSERT_EQ(CanSetBaudrate(channel, 500000), 1);
    platform::FindDevice(path)->Configured();
    ASSERT_TRUE(recorder.WaitForCount(30)) << "the file's frames did not arrive";
    CanClose(channel);
    const auto records = recorder.Deliveries();
    ASSERT_GE(records.size(), 30u);
    for (std::size_t i = 0; i < 30; ++i) {
        static const std::uint32_t kIds[] = {0x100, 0x12345678, 0x7ff};
        EXPECT_EQ(records[i].msg.id, kIds[i % 3]) << i;
    }
    CanDestroyChannel(channel);
    platform::UnregisterDevice(path);
    fs::remove(file);
}
