// How the program ends: closing the window while the channel is open and a cyclic job runs, and
// the windowless start for embedding or automation, which ends on a signal.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "channel/can_channel.h"
#include "platform/thread.h"
#include "tests/support/scripted_device.h"
#include "tests/ui/app_harness.h"

using namespace uitest;
using testsupport::RegisteredDevice;

std::vector<std::string> uitest::StartArguments() {
    return {};
}

namespace {

// Whether the process runs the program and has a handler for the signal (its SigCgt mask in
// /proc). Until the exec the child is this test's image, which catches the signal too.
bool Catches(pid_t pid, int signal) {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    if (error || !std::filesystem::equivalent(exe, VESK_PROGRAM, error))
        return false;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (signal - 1)) & 1u;
        }
    }
    return false;
}

// Waits for the child with a generous bound; -1 when it did not end in time.
int WaitForExit(pid_t pid, std::chrono::seconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// Starts the program. Everything the child needs is prepared before fork(): a process with
// threads may only make async-signal-safe calls between fork() and exec, and allocating is none.
// `withoutDisplay` starts it with DISPLAY unset; `errFd`, when not -1, becomes its stderr.
pid_t Start(const std::vector<std::string>& args, bool withoutDisplay = false, int errFd = -1) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (!withoutDisplay || std::string_view(*e).rfind("DISPLAY=", 0) != 0)
            env.emplace_back(*e);
    }
    std::vector<char*> argv{const_cast<char*>(VESK_PROGRAM)};
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        if (errFd != -1)
            dup2(errFd, STDERR_FILENO);
        execve(VESK_PROGRAM, argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// Also while the start shows the box for a document that cannot be opened.
TEST(ShutdownTest, WindowlessStartEndsCleanlyOnSigterm) {
    const std::pair<const char*, int> cases[] = {
        {"/Embedding", SIGTERM}, {"/Embedding", SIGINT}, {"/no/such/folder/x.vsk", SIGTERM}};
    for (const auto& [arg, signal] : cases) {
        const pid_t pid = Start({arg});
        ASSERT_GT(pid, 0);
        // Starting takes a moment on a loaded machine; the handler is in place once it is ready.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!Catches(pid, signal) && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(Catches(pid, signal)) << "the program never got ready";
        kill(pid, signal);
        EXPECT_EQ(WaitForExit(pid, std::chrono::seconds(60)), 0) << arg << " signal " << signal;
    }
}

// A wrong switch answers on the terminal with status 2, before and without any window: also
// where there is no display to open one.
TEST(ShutdownTest, AWrongSwitchIsReportedOnStderrWithoutADisplay) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t pid = Start({"--no-such-switch"}, /*withoutDisplay=*/true, pipeFds[1]);
    close(pipeFds[1]);
    std::string err;
    char buffer[512];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        err.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    EXPECT_EQ(WaitForExit(pid, std::chrono::seconds(60)), 2);
    EXPECT_NE(err.find("Unbekannte Option: --no-such-switch"), std::string::npos) << err;
    EXPECT_NE(err.find("Aufruf: vesk"), std::string::npos) << err;
}

TEST(ShutdownTest, HelpPrintsTheUsageAndEnds) {
    const pid_t pid = Start({"--help"});
    EXPECT_EQ(WaitForExit(pid, std::chrono::seconds(60)), 0);
}

// Last: it ends the program under test.
TEST(ShutdownTest, ClosingTheWindowEndsChannelAndCyclicJobFirst) {
    const int before = platform::testing::RunningThreadCount();
    RegisteredDevice adapter;
    CVeskView* view = View();
    ASSERT_NE(view, nullptr);
    int error = 0;
    ASSERT_EQ(CanOpen(view->m_channel, adapter.path(), 0, 0, &error), 1);
    const std::uint8_t data[2] = {0x12, 0x34};
    ASSERT_EQ(CanStartCyclic(view->m_channel, 1, 0x123, 0, 2, data, 5), 1);
    ASSERT_TRUE(adapter->WaitUntil([&] { return adapter->Writes().size() >= 3; }));
    EXPECT_EQ(platform::testing::RunningThreadCount(), before + 3);  // receive, bus load, job

    wxWeakRef<CMainFrame> frame(Frame());
    Command(wxID_EXIT);  // "&Beenden"
    Idle();              // the frame goes on the next idle pass

    EXPECT_FALSE(frame);
    EXPECT_EQ(adapter->CloseCount(), 1);
    EXPECT_EQ(platform::testing::RunningThreadCount(), before);
}

}  // namespace
