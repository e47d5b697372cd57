// The whole program in process for a window benchmark: a settings file of its own in a fresh
// temporary folder (holding only the baud rate, 1 Mbit/s), the application started with the
// given switches, and the clocks a benchmark reads.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <wx/init.h>

#include "ui/main_frame.h"
#include "ui/vesk_app.h"

namespace bench {

inline std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Processor time of the whole process (every thread) so far.
inline double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class BenchProgram {
  public:
    explicit BenchProgram(const std::string& name)
        : m_dir(std::filesystem::temp_directory_path() /
                (name + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(m_dir);
        std::ofstream(m_dir / "Vesk.ini") << "[Options]\nBaudrate=1000000\n";
        setenv("VESK_INI", (m_dir / "Vesk.ini").c_str(), 1);
        setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
    }
    ~BenchProgram() {
        if (m_started) {
            wxTheApp->OnExit();
            wxEntryCleanup();
        }
        std::filesystem::remove_all(m_dir);
    }
    BenchProgram(const BenchProgram&) = delete;
    BenchProgram& operator=(const BenchProgram&) = delete;

    const std::filesystem::path& Dir() const { return m_dir; }

    // Starts the application with `args`; its main window, or null when it did not start.
    CMainFrame* Start(char* argv0, std::vector<std::string> args) {
        auto* app = new CVeskApp;
        app->SetArguments(std::move(args));
        wxApp::SetInstance(app);
        int wxArgc = 1;
        char* wxArgv[] = {argv0, nullptr};
        m_started = wxEntryStart(wxArgc, wxArgv);
        if (!m_started || !wxTheApp->CallOnInit()) {
            std::fprintf(stderr, "the program did not start\n");
            return nullptr;
        }
        return app->GetMainFrame();
    }

  private:
    std::filesystem::path m_dir;
    bool m_started = false;
};

}  // namespace bench
