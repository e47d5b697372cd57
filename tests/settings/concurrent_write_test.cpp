#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "settings/private_profile.h"
#include "settings/settings.h"
#include "tests/settings/scratch_folder.h"

namespace {

// Each write reads the file, changes it and replaces it; two writers that interleaved those steps
// would lose each other's keys.
TEST(ConcurrentWrites, NoWriterLosesAKey) {
    settings_test::ScratchFolder folder;
    constexpr int kThreads = 4;
    constexpr int kKeys = 25;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            const std::string section = "Writer" + std::to_string(t);
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "Key" + std::to_string(k);
                WritePrivateProfileStringA(section.c_str(), key.c_str(), std::to_string(k).c_str(),
                                           "Vesk.ini");
            }
            settings::SaveBaudrate(1000 + t);
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        const std::string section = "Writer" + std::to_string(t);
        for (int k = 0; k < kKeys; ++k) {
            const std::string key = "Key" + std::to_string(k);
            EXPECT_EQ(GetPrivateProfileIntA(section.c_str(), key.c_str(), -1, "Vesk.ini"),
                      static_cast<unsigned>(k))
                << section << "/" << key;
        }
    }
    const int baudrate = settings::LoadOptions().baudrate;
    EXPECT_TRUE(baudrate >= 1000 && baudrate < 1000 + kThreads);
}

}  // namespace
