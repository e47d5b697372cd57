// The window of vesk.exe under Wine: started on a simulated adapter with its channel open, a
// frame sent, a recording started and ended. With VESK_SCREENSHOT set, the screen with the window
// on it is kept as a bitmap there.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>

#include "channel/can_channel.h"
#include "tests/ui/app_harness.h"
#include "ui/command_ids.h"

namespace fs = std::filesystem;
using namespace uitest;

std::vector<std::string> uitest::StartArguments() {
    if (const char* ini = std::getenv("VESK_INI"))
        std::remove(ini);
    // No traffic of its own on the bus, so that the sent frame is the only one recorded.
    return {"--device", "0=sim:quiet", "--open-channel"};
}

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void KeepScreen(const std::string& path) {
    wxScreenDC screen;
    const wxSize size = screen.GetSize();
    wxBitmap bitmap(size.x, size.y, 24);
    {
        wxMemoryDC memory(bitmap);
        memory.Blit(0, 0, size.x, size.y, &screen, 0, 0);
    }
    EXPECT_TRUE(bitmap.SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_BMP)) << path;
}

TEST(WindowOnWindows, SendsAFrameAndRecordsIt) {
    ASSERT_NE(View(), nullptr);
    ASSERT_TRUE(CanIsOpen(View()->m_channel));
    const fs::path file = fs::temp_directory_path() / "vesk-wine-window.log";
    ASSERT_TRUE(View()->StartRecording(file.string()));

    const std::uint8_t data[] = {0x11, 0x22, 0x33};
    ASSERT_EQ(CanSend(View()->m_channel, 0x123, 0, 3, data), 0);
    // The adapter confirms the frame on its own clock; the table shows it once it has.
    std::size_t rows = 0;
    for (int pass = 0; pass < 500 && rows == 0; ++pass) {
        Idle();
        rows += View()->DrainRows();
        wxMilliSleep(10);
    }
    ASSERT_GT(rows, 0u);
    Frame()->UpdatePanes();
    EXPECT_NE(PaneText(CMainFrame::kPaneRecording).find("vesk-wine-window.log"), std::string::npos);
    Frame()->Update();
    if (const char* screenshot = std::getenv("VESK_SCREENSHOT"))
        KeepScreen(screenshot);

    Command(ID_RECORD_STOP);
    EXPECT_NE(ReadFile(file).find("123#112233"), std::string::npos) << ReadFile(file);
    fs::remove(file);
}

}  // namespace
