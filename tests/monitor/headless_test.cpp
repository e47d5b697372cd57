// The program without a window, run in this process on a scripted adapter.
#include "monitor/headless.h"

#include <signal.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/device.h"
#include "tests/support/captured_stream.h"
#include "tests/support/environment.h"
#include "tests/support/scripted_device.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kAdapter0 = "\\\\.\\Kvaro";

struct Outcome {
    int status;
    std::string output;
};

Outcome RunWith(const HeadlessOptions& options) {
    testsupport::CapturedStream out;
    const int status = RunHeadless(options, out.Get());
    return Outcome{status, out.Text()};
}

class HeadlessTest : public testing::Test {
  protected:
    void SetUp() override {
        BlockEndSignals();
        platform::RegisterDevice(kAdapter0, adapter);
        dir = fs::temp_directory_path() /
              ("vesk-headless-test-" + std::to_string(testsupport::ProcessId()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        platform::UnregisterDevice(kAdapter0);
        fs::remove_all(dir);
    }
    std::shared_ptr<testsupport::ScriptedDevice> adapter =
        std::make_shared<testsupport::ScriptedDevice>();
    fs::path dir;
};

// SIGTERM, SIGINT or SIGHUP (a closed terminal) ends the run in order: status 0, the recording
// complete.
TEST_F(HeadlessTest, ASignalEndsTheRunWithTheRecordingComplete) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows' end request (a console event) stays set once taken";
#else
    int closes = 0;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const fs::path file = dir / ("run" + std::to_string(signal) + ".asc");
        HeadlessOptions options;
        options.recordPath = file.string();
        options.adapterName = "sim0";
        kill(getpid(), signal);  // waiting already: taken at the first look
        const Outcome run = RunWith(options);
        EXPECT_EQ(run.status, 0) << run.output;
        std::ifstream in(file);
        std::string all((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(all.rfind("End TriggerBlock\n"), all.size() - 17) << all;
        EXPECT_EQ(adapter->CloseCount(), ++closes) << "the channel was closed";
    }
#endif
}

// A recording that cannot be made, or fails at any moment (its last write too), ends the run
// with status 1 and says why; a file that a replay reads is never truncated.
TEST_F(HeadlessTest, ARecordingThatFailsEndsWithStatusOneAndItsReason) {
    const fs::path replayed = dir / "replayed.log";
    std::ofstream(replayed, std::ios::binary) << "(1.000000) can0 123#11\n";
    struct Case {
        fs::path record;
        const char* reason;
    };
    std::vector<Case> cases = {{dir / "." / "replayed.log", "wird gerade gelesen"}};
#if !defined(_WIN32)  // a disk that is always full
    const fs::path full = dir / "full.log";
    fs::create_symlink("/dev/full", full);
    cases.push_back({full, "wurde abgebrochen"});  // the first write fails, after the duration
#endif
    for (const Case& c : cases) {
        HeadlessOptions options;
        options.recordPath = c.record.string();
        options.readTraces = {replayed.string()};
        options.duration = 0.01;
        adapter->PushRecord(testsupport::Frame(CAN_EV_RX, 0x123, 1250, 1));
        const Outcome run = RunWith(options);
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
    }
    EXPECT_EQ(fs::file_size(replayed), 23u);
}

TEST_F(HeadlessTest, ItRunsForItsDurationAndSaysWhatItSees) {
    const fs::path database = dir / "motor.dbc";
    std::ofstream(database) << "BO_ 291 Motor: 1 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n"
                               "BO_ 2147483939 MotorExt: 1 X\n";
    HeadlessOptions options;
    options.duration = 1.2;
    options.databases = {database.string()};
    adapter->PushRecord(testsupport::Frame(CAN_EV_RX, 0x123, 1250, 1));
    adapter->PushRecord(testsupport::Frame(CAN_EV_RX, 0x124, 1250, 1));
    const Outcome run = RunWith(options);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("empfangen 2  gesendet 0  verloren 0  Buslast "), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find(" %  exakt "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("  dekodiert 1"), std::string::npos) << run.output;
}

TEST_F(HeadlessTest, AnAdapterOrDatabaseThatCannotBeOpenedEndsWithStatusOne) {
    const fs::path broken = dir / "broken.dbc";
    std::ofstream(broken) << "BO_ 291 M: 1 X\n SG_ S : 4|8@1+ (1,0) [0|0] \"\" X\n";
    struct Case {
        int adapter;
        std::vector<std::string> databases;
        const char* says;
    };
    const Case cases[] = {
        {3, {}, "Error"},  // nothing registered there
        {0, {broken.string()}, "broken.dbc, Zeile 2"},
    };
    for (const Case& c : cases) {
        HeadlessOptions options;
        options.adapter = c.adapter;
        options.databases = c.databases;
        options.duration = 5;
        const Outcome run = RunWith(options);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    }
}

}  // namespace

namespace {

// --send: the message's bytes go out and a run without duration ends once the bus carried
// them; a refused message ends the run with status 2 and its reason before the channel opens.
TEST_F(HeadlessTest, MessagesAreSentByTheirSignalsOrRefusedWithStatusTwo) {
    const fs::path database = dir / "motor.dbc";
    std::ofstream(database) << "BO_ 291 Motor: 2 X\n"
                               " SG_ Drehzahl : 0|16@1+ (0.5,0) [0|8000] \"1/min\" X\n";
    struct Case {
        std::vector<HeadlessOptions::Send> sends;
        int status;
        const char* says;                      // on stderr; empty: nothing in particular
        std::vector<std::vector<int>> writes;  // id, then the bytes
    };
    const Case cases[] = {
        {{{"Motor Drehzahl=1200", {}}, {"0x123 Drehzahl=0,5", {}}},
         0,
         "",
         {{0x123, 0x60, 0x09}, {0x123, 0x01, 0x00}}},
        {{{"Motor Drehzahl=8000.5", {}}},
         2,
         "vesk: Wert 8000.5 für Signal \"Drehzahl\" außerhalb des Bereichs 0 … 8000.",
         {}},
        {{{"Motor Drehzahl=1", 0u}}, 2, "Zykluszeit 0 ms", {}},
    };
    adapter->ConfirmWrites(true);
    for (const Case& c : cases) {
        adapter->ClearRequests();
        HeadlessOptions options;
        options.databases = {database.string()};
        options.sends = c.sends;
        const int opensBefore = adapter->OpenCount();
        const Outcome run = RunWith(options);
        EXPECT_EQ(run.status, c.status) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
        std::vector<std::vector<int>> writes;
        for (const CanMsg& m : adapter->Writes()) {
            writes.push_back({static_cast<int>(m.id)});
            writes.back().insert(writes.back().end(), m.data, m.data + m.dlc);
        }
        EXPECT_EQ(writes, c.writes) << c.sends[0].text;
        EXPECT_EQ(adapter->OpenCount() - opensBefore, c.status == 0 ? 1 : 0) << c.sends[0].text;
    }
}

}  // namespace
