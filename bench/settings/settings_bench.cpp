// Cost of the settings file's load and save sequences on a real file. Every save is an atomic
// replacement with two flushes to the disk, so the figures depend on the disk under the folder:
// pass --settings-folder=<path> to measure another one (default: a new folder in $TMPDIR or /tmp).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "settings/private_profile.h"
#include "settings/settings.h"

namespace {

settings::SendSettings TypicalSendSettings(int round) {
    settings::SendSettings send;
    for (std::size_t i = 0; i < send.id.size(); ++i) {
        send.id[i] = std::to_string(0x100 + i);
        send.msg[i] = "11 22 33 44 55 66 77 " + std::to_string(round % 100);
    }
    send.wait = 50 + round % 10;
    send.chk = {1, 0, round % 2, 0};
    return send;
}

// What a press of a Start button costs: all 15 [Data] keys, changed values.
void BM_SaveSendSettings(benchmark::State& state) {
    int round = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings::SaveSendSettings(TypicalSendSettings(round++)));
    }
}
BENCHMARK(BM_SaveSendSettings)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same 15 keys written one by one through the platform-shaped function.
void BM_SaveSendSettingsKeyByKey(benchmark::State& state) {
    int round = 0;
    for (auto _ : state) {
        const auto send = TypicalSendSettings(round++);
        for (std::size_t i = 0; i < send.id.size(); ++i) {
            const std::string n = std::to_string(i + 1);
            WritePrivateProfileStringA("Data", ("Id" + n).c_str(), send.id[i].c_str(),
                                       settings::kSettingsFile);
            WritePrivateProfileStringA("Data", ("Msg" + n).c_str(), send.msg[i].c_str(),
                                       settings::kSettingsFile);
        }
        WritePrivateProfileStringA("Data", "Wait5", std::to_string(send.wait).c_str(),
                                   settings::kSettingsFile);
        for (std::size_t i = 0; i < send.chk.size(); ++i) {
            WritePrivateProfileStringA("Data", ("Chk" + std::to_string(i + 1)).c_str(),
                                       send.chk[i] != 0 ? "1" : "0", settings::kSettingsFile);
        }
    }
}
BENCHMARK(BM_SaveSendSettingsKeyByKey)->Unit(benchmark::kMillisecond)->UseRealTime();

// A save whose values are already in the file does not touch the disk.
void BM_SaveSendSettingsUnchanged(benchmark::State& state) {
    const auto send = TypicalSendSettings(0);
    settings::SaveSendSettings(send);
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings::SaveSendSettings(send));
    }
}
BENCHMARK(BM_SaveSendSettingsUnchanged)->Unit(benchmark::kMicrosecond);

void BM_LoadAtStartUp(benchmark::State& state) {
    settings::SaveSendSettings(TypicalSendSettings(0));
    settings::SaveReplies({});
    settings::SaveAcceptance(0xFFFFFFFF, 0xFFFFFFFF);
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings::LoadSendSettings());
        benchmark::DoNotOptimize(settings::LoadOptions());
        benchmark::DoNotOptimize(settings::LoadReplies());
    }
}
BENCHMARK(BM_LoadAtStartUp)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    bool ownFolder = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--settings-folder=", 18) == 0) {
            folder = argv[i] + 18;
        }
    }
    if (folder.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vesk-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            return 1;
        }
        folder = pattern;
        ownFolder = true;
    }
    const std::string file = folder + "/Vesk.ini";
    std::filesystem::remove(file);
    ::setenv("VESK_INI", file.c_str(), 1);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(ownFolder ? std::filesystem::path(folder)
                                          : std::filesystem::path(file));
    return 0;
}
