// The operator's whole round on the simulated adapter, through the menu and the dialogs: open,
// set the baud rate, send a frame, set an automatic reply and watch it answer another node.
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "channel/adapter_path.h"
#include "devices/sim/sim_driver.h"
#include "log/log_row.h"
#include "tests/support/message_box_capture.h"
#include "tests/ui/dialogs/dialog_driver.h"
#include "tests/ui/dialogs/settings_file.h"
#include "tests/ui/dialogs/view_harness.h"
#include "ui/auto_messages_dlg.h"
#include "ui/baudrate_dlg.h"
#include "ui/command_ids.h"
#include "ui/open_channel_dlg.h"
#include "ui/send_dlg.h"

namespace {

using namespace dialogtest;

bool HasRow(const LogModel& log, const char* kind, const char* id) {
    for (std::size_t i = 0; i < log.RowCount(); ++i) {
        const LogRow& row = log.Row(i);
        if (FormatLogCell(row, 0) == kind && FormatLogCell(row, 3) == id)
            return true;
    }
    return false;
}

bool Transmitted(const std::vector<can::Frame>& frames, std::uint32_t id) {
    for (const auto& f : frames) {
        if (f.id == id)
            return true;
    }
    return false;
}

// The receive thread delivers on its own time: the bus moves on by hand and the table is
// refreshed until `done` holds, within a generous bound.
bool RunBusUntil(sim::SimDriver& bus, CVeskView* view, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        bus.Advance(sim::kMillisecond);
        view->DrainRows();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

TEST(CommandsEndToEnd, OpenSetRateSendAndAnswerOnTheSimulatedAdapter) {
    RemoveSettingsFile();
    testsupport::MessageBoxCapture boxes;
    sim::SimDriver bus(sim::Scenario::kQuiet);
    const std::string path = AdapterPath(0);
    bus.Register(path);
    {
        ViewHarness harness;
        CVeskView* view = harness.View();

        wxTEST_DIALOG(harness.Command(ID_CAN_OPEN), Confirm<COpenChannelDlg>());
        ASSERT_TRUE(CanIsOpen(view->m_channel));

        wxTEST_DIALOG(
            harness.Command(ID_CAN_BAUDRATE),
            Confirm<CBaudrateDlg>([](CBaudrateDlg* dlg) { SetText(dlg, kIdBaudrate, "125000"); }));
        EXPECT_EQ(bus.Baudrate(), 125000u);
        EXPECT_EQ(SettingsValue("Options", "Baudrate"), "125000");

        harness.Command(ID_CAN_SEND);
        CSendDlg* send = view->m_dlgSend.get();
        ASSERT_NE(send, nullptr);
        SetCheck(send, kIdSendChk1, true);
        SetText(send, kIdSendId1, "123");
        SetText(send, kIdSendMsg1, "11 22 33");
        Press(send, wxID_OK);
        std::vector<can::Frame> sent;
        ASSERT_TRUE(RunBusUntil(bus, view, [&] {
            for (const auto& f : bus.TakeTransmitted())
                sent.push_back(f);
            return HasRow(view->m_log, "Transmitted", "0123");
        }));
        ASSERT_TRUE(Transmitted(sent, 0x123));
        EXPECT_EQ(sent[0].dlc, 3);
        EXPECT_EQ(sent[0].data[2], 0x33);

        wxTEST_DIALOG(harness.Command(ID_CAN_AUTO_REPLIES),
                      Confirm<CAutoMessagesDlg>([](CAutoMessagesDlg* dlg) {
                          SetText(dlg, kReplyControlIds[0].triggerId, "200");
                          SetText(dlg, kReplyControlIds[0].triggerData, "aa");
                          SetText(dlg, kReplyControlIds[0].replyId, "201");
                          SetText(dlg, kReplyControlIds[0].replyData, "55 66");
                      }));
        can::Frame question;
        question.id = 0x200;
        question.dlc = 2;
        question.data = {0xaa, 0x01};
        ASSERT_TRUE(bus.InjectFrame(question));
        sent.clear();
        ASSERT_TRUE(RunBusUntil(bus, view, [&] {
            for (const auto& f : bus.TakeTransmitted())
                sent.push_back(f);
            return Transmitted(sent, 0x201) && HasRow(view->m_log, "Transmitted", "0201");
        }));
        EXPECT_TRUE(HasRow(view->m_log, "Received", "0200"));
        EXPECT_EQ(sent.back().dlc, 2);
        EXPECT_EQ(sent.back().data[0], 0x55);
        EXPECT_EQ(SettingsValue("AutoIds", "0"), "513");

        harness.Command(ID_CAN_CLOSE);
        EXPECT_FALSE(CanIsOpen(view->m_channel));
    }
    platform::UnregisterDevice(path);
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
