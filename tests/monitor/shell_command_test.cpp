// The command line, without a display.
#include <cstdio>
#include <cstdlib>
#include <optional>

#include <gtest/gtest.h>

#include "monitor/shell_command.h"
#include "tests/support/captured_stream.h"

namespace {

using Action = ShellCommand::Action;

ShellCommand Parse(std::vector<std::string> args) {
    return ParseShellCommand(args);
}

TEST(ShellCommandTest, NothingStartsWithANewDocumentAndAFileOpensIt) {
    EXPECT_EQ(Parse({}).action, Action::kFileNew);
    const ShellCommand open = Parse({"/home/user/bus.vsk"});
    EXPECT_TRUE(open.error.empty()) << open.error;
    EXPECT_EQ(open.action, Action::kFileOpen);
    EXPECT_EQ(open.file, "/home/user/bus.vsk");
}

TEST(ShellCommandTest, EmbeddingAndAutomationInEverySpelling) {
    for (const char* s : {"--embedding", "-Embedding", "/Embedding", "/EMBEDDING", "--automation",
                          "-Automation", "/Automation"}) {
        const ShellCommand cmd = Parse({s});
        EXPECT_TRUE(cmd.error.empty()) << s << ": " << cmd.error;
        EXPECT_EQ(cmd.action, Action::kAutomation) << s;
    }
}

TEST(ShellCommandTest, PrintSwitchesTakeTheFileAndThePrinter) {
    const ShellCommand p = Parse({"/p", "a.vsk"});
    EXPECT_EQ(p.action, Action::kFilePrint);
    EXPECT_EQ(p.file, "a.vsk");

    const ShellCommand pt = Parse({"/pt", "a.vsk", "Laser", "drv", "LPT1"});
    EXPECT_TRUE(pt.error.empty()) << pt.error;
    EXPECT_EQ(pt.action, Action::kFilePrintTo);
    EXPECT_EQ(pt.file, "a.vsk");
    EXPECT_EQ(pt.printer, "Laser");
    EXPECT_EQ(pt.driver, "drv");
    EXPECT_EQ(pt.port, "LPT1");

    EXPECT_FALSE(Parse({"--print"}).error.empty());  // nothing to print
}

TEST(ShellCommandTest, SimulationOptionsKeepTheirValuesInOrder) {
    const ShellCommand cmd = Parse({"--scenario", "flood", "--device", "1=sim:quiet",
                                    "--device=3=sim:default", "--open-channel", "x.vsk"});
    EXPECT_TRUE(cmd.error.empty()) << cmd.error;
    EXPECT_EQ(cmd.scenario, "flood");
    EXPECT_EQ(cmd.deviceMappings, (std::vector<std::string>{"1=sim:quiet", "3=sim:default"}));
    EXPECT_TRUE(cmd.openChannel);
    EXPECT_EQ(cmd.action, Action::kFileOpen);
    EXPECT_EQ(cmd.file, "x.vsk");
}

TEST(ShellCommandTest, MistakesAreReportedNotIgnored) {
    EXPECT_FALSE(Parse({"--scenaro", "flood"}).error.empty());  // unknown option
    EXPECT_FALSE(Parse({"--scenario"}).error.empty());          // value missing
    EXPECT_FALSE(Parse({"--embedding=1"}).error.empty());       // a switch takes no value
    EXPECT_FALSE(Parse({"a.vsk", "b.vsk"}).error.empty());      // one document only
}

TEST(ShellCommandTest, SlashWordsThatAreNoSwitchAreFiles) {
    const ShellCommand cmd = Parse({"/tmp/p"});
    EXPECT_EQ(cmd.action, Action::kFileOpen);
    EXPECT_EQ(cmd.file, "/tmp/p");
    // After "--" everything is a file, even what looks like a switch.
    const ShellCommand dashed = Parse({"--", "--embedding"});
    EXPECT_EQ(dashed.action, Action::kFileOpen);
    EXPECT_EQ(dashed.file, "--embedding");
}

TEST(ShellCommandTest, EachSendTakesTheCycleTimeAfterIt) {
    const ShellCommand cmd = Parse({"--headless", "--send", "A X=1 Y=\"b c\"", "--cycle", "10",
                                    "--dbc", "a.dbc", "--send=B", "--cycle=0", "--send", "C"});
    ASSERT_TRUE(cmd.error.empty()) << cmd.error;
    ASSERT_EQ(cmd.sends.size(), 3u);
    EXPECT_EQ(cmd.sends[0].text, "A X=1 Y=\"b c\"");
    EXPECT_EQ(cmd.sends[0].cycleMs, 10u);
    EXPECT_EQ(cmd.sends[1].text, "B");
    EXPECT_EQ(cmd.sends[1].cycleMs, 0u);  // refused later, with the window's reason
    EXPECT_FALSE(cmd.sends[2].cycleMs);
}

TEST(ShellCommandTest, HelpAndUnregisterEndTheRun) {
    EXPECT_EQ(Parse({"--help"}).action, Action::kHelp);
    EXPECT_EQ(Parse({"/?"}).action, Action::kHelp);
    EXPECT_EQ(Parse({"/UnregServer"}).action, Action::kUnregister);
}

TEST(ShellCommandTest, TheUsageListsEverySwitchAndEveryKindOfDevice) {
    const std::string usage = ShellCommandUsage();
    for (const std::string& name : KnownSwitches()) {
        const std::string written = (name.size() == 1 ? "-" : "--") + name;
        const bool listed =
            usage.find(written) != std::string::npos || usage.find("/" + name) != std::string::npos;
        EXPECT_TRUE(listed) << name;
    }
    for (const char* device : {"N=sim", "N=sim:NAME", "N=socketcan:IFACE"})
        EXPECT_NE(usage.find(device), std::string::npos) << device;
}

// What a command line decides before any window: the text, where it goes, and the status.
TEST(ShellCommandTest, WrongSwitchesAndHelpAnswerOnTheTerminal) {
    struct Case {
        std::vector<std::string> args;
        std::optional<int> status;
        bool usageOnOut, usageOnErr;
        const char* errText;
    };
    const Case cases[] = {
        {{"--no-such-switch"}, kExitUsage, false, true, "Unbekannte Option: --no-such-switch"},
        {{"--device"}, kExitUsage, false, true, "braucht einen Wert"},
        {{"--help"}, 0, true, false, ""},
        {{"--play", "bus.log"}, kExitUsage, false, true, "nur mit --headless"},
        {{"--headless", "--play", "bus.txt"}, kExitUsage, false, true, "bus.txt"},
        {{"--headless", "--send", "M S=1"}, kExitUsage, false, true, "Datenbank (--dbc DATEI)"},
        {{"--headless", "--dbc", "a.dbc", "--cycle", "10"},
         kExitUsage,
         false,
         true,
         "--cycle gilt für das --send davor"},
        {{"--headless", "--dbc", "a.dbc", "--send", "M", "--cycle", "-5"},
         kExitUsage,
         false,
         true,
         "Millisekunden, nicht -5"},
        {{"--send", "M"}, kExitUsage, false, true, "--send und --cycle gelten nur mit --headless"},
        {{"a.vsk"}, std::nullopt, false, false, ""},
        {{"--plot", "bus.log"}, kExitUsage, false, true, "--plot und --signal brauchen mindestens"},
        {{"--signal", "Motor", "--dbc", "a.dbc"}, kExitUsage, false, true, "BOTSCHAFT.SIGNAL"},
        {{"--headless", "--plot", "bus.log", "--dbc", "a.dbc"},
         kExitUsage,
         false,
         true,
         "--plot und --signal gelten nur mit dem Fenster"},
        {{"--plot", "bus.log", "--dbc", "a.dbc"}, std::nullopt, false, false, ""},
    };
    for (const Case& c : cases) {
        testsupport::CapturedStream out, err;
        const auto status = ExitBeforeWindow(Parse(c.args), out.Get(), err.Get());
        const std::string o = out.Text(), e = err.Text();
        EXPECT_EQ(status, c.status) << c.args[0];
        EXPECT_EQ(o.find("Aufruf: vesk") != std::string::npos, c.usageOnOut) << c.args[0];
        EXPECT_EQ(e.find("Aufruf: vesk") != std::string::npos, c.usageOnErr) << c.args[0];
        EXPECT_NE(e.find(c.errText), std::string::npos) << c.args[0] << ": " << e;
    }
}

}  // namespace
