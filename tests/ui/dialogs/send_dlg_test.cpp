// The transmit dialog on a channel opened on a scripted device.
#include <cstdlib>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/frame.h>

#include "channel/can_channel.h"
#include "monitor/signal_sender.h"
#include "tests/support/message_box_capture.h"
#include "tests/support/scripted_device.h"
#include "tests/ui/dialogs/dialog_driver.h"
#include "tests/ui/dialogs/settings_file.h"
#include "ui/field_validators.h"
#include "ui/send_dlg.h"

namespace {

using namespace dialogtest;

std::vector<std::uint8_t> Bytes(const CanMsg& msg) {
    return std::vector<std::uint8_t>(msg.data, msg.data + std::min<int>(msg.dlc, kCanMaxSendBytes));
}

class SendDlgTest : public testing::Test {
  protected:
    void SetUp() override {
        RemoveSettingsFile();
        channel = CanCreateChannel(nullptr, nullptr, nullptr);
        ASSERT_NE(channel, nullptr);
    }
    void TearDown() override {
        delete dlg;
        CanDestroyChannel(channel);
    }

    void Open() {
        int error = 0;
        ASSERT_EQ(CanOpen(channel, device.path(), 0, 0, &error), 1) << error;
        device->ClearRequests();
    }

    // The dialog as the view creates it, then shown as "Botschaften senden" shows it.
    void CreateAndShow() {
        dlg = new CSendDlg;
        ASSERT_TRUE(dlg->Create(nullptr, channel));
        dlg->TransferDataToWindow();
        dlg->Show();
    }

    std::vector<CanMsg> Writes() const { return device->Writes(); }

    std::vector<std::uint8_t> Commands() const {
        std::vector<std::uint8_t> commands;
        for (const auto& r : device->Requests()) {
            if (r.code == IOCTL_CAN_COMMAND && !r.in.empty())
                commands.push_back(r.in[0]);
        }
        return commands;
    }

    testsupport::RegisteredDevice device;
    CanChannel* channel = nullptr;
    CSendDlg* dlg = nullptr;
};

TEST_F(SendDlgTest, CreationLoadsTheDataSectionIntoTheMembersOnly) {
    WriteSettingsText("[Data]\nId1=7ff\nMsg1=11 22\nId5=100\nMsg5=aa\nChk1=1\nChk4=1\nWait5=250\n");
    dlg = new CSendDlg;
    ASSERT_TRUE(dlg->Create(nullptr, channel));
    EXPECT_FALSE(dlg->IsShown());
    EXPECT_EQ(dlg->m_strId1, "7ff");
    EXPECT_EQ(dlg->m_strMsg1, "11 22");
    EXPECT_EQ(dlg->m_strId5, "100");
    EXPECT_EQ(dlg->m_strMsg5, "aa");
    EXPECT_EQ(dlg->m_nWait, 250);
    EXPECT_EQ(dlg->m_bChk1, 1);
    EXPECT_EQ(dlg->m_bChk2, 0);
    EXPECT_EQ(dlg->m_bChk4, 1);
    // The controls still hold the constructor's values until the dialog is shown.
    EXPECT_EQ(Text(dlg, kIdSendId1), "");
    EXPECT_EQ(Text(dlg, kIdSendWait), "0");

    dlg->TransferDataToWindow();
    EXPECT_EQ(Text(dlg, kIdSendId1), "7ff");
    EXPECT_EQ(Text(dlg, kIdSendWait), "250");
    EXPECT_TRUE(Find<wxCheckBox>(dlg, kIdSendChk4)->GetValue());
}

TEST_F(SendDlgTest, WithoutSettingsTheIntervalIs50AndNoRowIsChecked) {
    CreateAndShow();
    EXPECT_EQ(Text(dlg, kIdSendWait), "50");
    for (int id : {kIdSendChk1, kIdSendChk2, kIdSendChk3, kIdSendChk4}) {
        EXPECT_FALSE(Find<wxCheckBox>(dlg, id)->GetValue());
    }
    EXPECT_EQ(dlg->GetTitle().utf8_string(), "Botschaft senden");
    EXPECT_EQ(dlg->GetDefaultItem(), dlg->FindWindow(wxID_OK));  // Enter sends the rows
}

TEST_F(SendDlgTest, StartSendsTheCheckedRowsWithAnIdentifier) {
    Open();
    CreateAndShow();
    SetCheck(dlg, kIdSendChk1, true);
    SetText(dlg, kIdSendId1, "7FF");
    SetText(dlg, kIdSendMsg1, "11 22");
    SetCheck(dlg, kIdSendChk2, false);  // unchecked: skipped whatever it holds
    SetText(dlg, kIdSendId2, "123");
    SetText(dlg, kIdSendMsg2, "33");
    SetCheck(dlg, kIdSendChk3, true);  // checked without identifier: skipped
    SetText(dlg, kIdSendId3, "");
    SetText(dlg, kIdSendMsg3, "44");
    SetCheck(dlg, kIdSendChk4, true);
    SetText(dlg, kIdSendId4, " 100");
    SetText(dlg, kIdSendMsg4, "0 1 2 3 4 5 6 7 8 9 a");
    Press(dlg, wxID_OK);

    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].id, 0x7ffu);
    EXPECT_EQ(writes[0].rtr, 0);
    EXPECT_EQ(Bytes(writes[0]), (std::vector<std::uint8_t>{0x11, 0x22}));
    EXPECT_EQ(writes[1].id, 0x100u);
    EXPECT_EQ(writes[1].dlc, 10);  // more than ten values: the first ten
    EXPECT_EQ(Bytes(writes[1]), (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(dlg->IsShown());
}

TEST_F(SendDlgTest, RowsWithTextOnlyOrNineValuesOrA0xPrefixSendAsTyped) {
    Open();
    CreateAndShow();
    SetCheck(dlg, kIdSendChk1, true);
    SetText(dlg, kIdSendId1, "0x123");
    SetText(dlg, kIdSendMsg1, "");
    SetCheck(dlg, kIdSendChk2, true);
    SetText(dlg, kIdSendId2, "1");
    SetText(dlg, kIdSendMsg2, "1 2 3 4 5 6 7 8 9");
    Press(dlg, wxID_OK);

    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].id, 0x123u);
    EXPECT_EQ(writes[0].dlc, 0);  // no data bytes
    EXPECT_EQ(writes[1].dlc, 9);
}

TEST_F(SendDlgTest, StartSendsNothingThatWouldGoOutAsAnotherFrameThanTyped) {
    Open();  // Basic CAN: 11-bit identifiers
    CreateAndShow();
    const struct {
        const char* id;
        const char* data;
        int markedField;  // 0: the row goes out
        const char* problem;
    } rows[] = {
        {"123", "11 22", 0, ""},
        {"18fef100", "11", kIdSendId1, "Die CAN-ID 18fef100 hat mehr als 11 Bit (höchstens 7ff)."},
        {"zz", "11", kIdSendId1, "Die CAN-ID „zz“ ist keine Hexadezimalzahl."},
        {"-1", "11", kIdSendId1, "Die CAN-ID „-1“ ist keine Hexadezimalzahl."},
        {"100", "123 zz 4", kIdSendMsg1,
         "Die Daten enthalten „zz“, das ist keine Hexadezimalzahl."},
    };
    SetCheck(dlg, kIdSendChk1, true);
    SetCheck(dlg, kIdSendChk2, true);
    SetText(dlg, kIdSendId2, "7ff");  // a good row beside a refused one waits as well
    for (const auto& row : rows) {
        device->ClearRequests();
        SetText(dlg, kIdSendId1, row.id);
        SetText(dlg, kIdSendMsg1, row.data);
        Press(dlg, wxID_OK);
        EXPECT_EQ(dlg->Problem().utf8_string(), row.problem) << row.id;
        EXPECT_EQ(Writes().size(), row.markedField ? 0u : 2u) << row.id;
        for (int field : {kIdSendId1, kIdSendMsg1, kIdSendId2}) {
            const bool marked = dlg->FindWindow(field)->GetBackgroundColour() != wxNullColour &&
                                !dlg->FindWindow(field)->GetToolTipText().empty();
            EXPECT_EQ(marked, field == row.markedField) << row.id << " field " << field;
        }
    }

    device->ClearRequests();
    SetText(dlg, kIdSendId5, "800");
    Press(dlg, kIdSendStartEndless);
    EXPECT_EQ(CanFindCyclic(channel, kEndlessJobKey), nullptr);
    EXPECT_EQ(dlg->Problem().utf8_string(), "Die CAN-ID 800 hat mehr als 11 Bit (höchstens 7ff).");
}

TEST_F(SendDlgTest, BothStartButtonsWriteAll15KeysEvenWithNothingToSend) {
    CreateAndShow();  // channel closed: nothing goes out, nothing is reported
    testsupport::MessageBoxCapture boxes;
    SetText(dlg, kIdSendId2, "abc");
    SetText(dlg, kIdSendMsg5, "ff ee");
    SetText(dlg, kIdSendWait, "20");
    SetCheck(dlg, kIdSendChk3, true);
    Press(dlg, wxID_OK);

    const char* keys[] = {"Id1", "Msg1", "Id2",   "Msg2", "Id3",  "Msg3", "Id4", "Msg4",
                          "Id5", "Msg5", "Wait5", "Chk1", "Chk2", "Chk3", "Chk4"};
    for (const char* key : keys)
        EXPECT_TRUE(SettingsValue("Data", key)) << key;
    EXPECT_EQ(SettingsValue("Data", "Id2"), "abc");
    EXPECT_EQ(SettingsValue("Data", "Msg5"), "ff ee");
    EXPECT_EQ(SettingsValue("Data", "Wait5"), "20");
    EXPECT_EQ(SettingsValue("Data", "Chk3"), "1");
    EXPECT_EQ(SettingsValue("Data", "Chk1"), "0");

    RemoveSettingsFile();
    SetText(dlg, kIdSendId5, "");
    Press(dlg, kIdSendStartEndless);
    for (const char* key : keys)
        EXPECT_TRUE(SettingsValue("Data", key)) << key;
    EXPECT_EQ(SettingsValue("Data", "Id5"), "");
    EXPECT_TRUE(Writes().empty());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(SendDlgTest, ARefusedIntervalStopsTheTransferButStartGoesOn) {
    Open();
    CreateAndShow();
    SetCheck(dlg, kIdSendChk1, true);
    SetText(dlg, kIdSendId1, "100");
    Press(dlg, wxID_OK);
    device->ClearRequests();

    testsupport::MessageBoxCapture boxes;
    SetText(dlg, kIdSendId1, "101");  // before the interval: taken
    SetText(dlg, kIdSendWait, "fast");
    SetText(dlg, kIdSendId2, "202");    // after it: keeps its old value
    SetCheck(dlg, kIdSendChk1, false);  // the check boxes come last: row 1 stays checked
    SetCheck(dlg, kIdSendChk2, true);
    Press(dlg, wxID_OK);

    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, IntegerPrompt().utf8_string());
    EXPECT_EQ(dlg->m_strId1, "101");
    EXPECT_EQ(dlg->m_nWait, 50);
    EXPECT_EQ(dlg->m_strId2, "");
    EXPECT_EQ(dlg->m_bChk1, 1);
    EXPECT_EQ(dlg->m_bChk2, 0);
    EXPECT_EQ(SettingsValue("Data", "Id1"), "101");
    EXPECT_EQ(SettingsValue("Data", "Id2"), "");
    EXPECT_EQ(SettingsValue("Data", "Wait5"), "50");
    EXPECT_EQ(SettingsValue("Data", "Chk1"), "1");
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].id, 0x101u);
}

TEST_F(SendDlgTest, CloseHidesOnlyWithAValidIntervalAndNeitherSendsNorSaves) {
    Open();
    CreateAndShow();
    testsupport::MessageBoxCapture boxes;
    SetCheck(dlg, kIdSendChk1, true);
    SetText(dlg, kIdSendId1, "1");
    SetText(dlg, kIdSendWait, "1.5");
    Press(dlg, kIdSendClose);
    EXPECT_TRUE(dlg->IsShown());
    EXPECT_EQ(boxes.Boxes().size(), 1u);

    // A negative pause would stop the endless row after one frame.
    SetText(dlg, kIdSendWait, "-5");
    Press(dlg, kIdSendClose);
    EXPECT_TRUE(dlg->IsShown());
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[1].text, RangePrompt(0, INT32_MAX).utf8_string());

    SetText(dlg, kIdSendWait, "5");
    Press(dlg, kIdSendClose);
    EXPECT_FALSE(dlg->IsShown());
    EXPECT_EQ(dlg->m_nWait, 5);
    EXPECT_EQ(dlg->m_bChk1, 1);
    EXPECT_TRUE(Writes().empty());
    EXPECT_FALSE(SettingsFileExists());

    // Shown again: the members come back, the typed text since the last read is lost.
    SetText(dlg, kIdSendId1, "typed but not read");
    dlg->TransferDataToWindow();
    dlg->Show();
    EXPECT_EQ(Text(dlg, kIdSendId1), "1");
}

TEST_F(SendDlgTest, AbortEscapeAndTheCloseBoxAbortTheTransmissionAndStay) {
    Open();
    CreateAndShow();
    Press(dlg, wxID_CANCEL);
    EXPECT_TRUE(dlg->IsShown());

    wxKeyEvent escape(wxEVT_CHAR_HOOK);
    escape.m_keyCode = WXK_ESCAPE;
    escape.SetEventObject(dlg);
    dlg->ProcessWindowEvent(escape);
    EXPECT_TRUE(dlg->IsShown());

    EXPECT_FALSE(dlg->Close());  // the title bar's close box
    EXPECT_TRUE(dlg->IsShown());

    EXPECT_EQ(Commands(), (std::vector<std::uint8_t>{2, 2, 2}));
    EXPECT_TRUE(Writes().empty());
    EXPECT_FALSE(SettingsFileExists());
}

TEST_F(SendDlgTest, OpensCentredOnTheMainWindowWithTheFirstIdentifierTaken) {
    wxFrame main(nullptr, wxID_ANY, "main", wxPoint(100, 80), wxSize(900, 600));
    main.Show();
    dlg = new CSendDlg;
    ASSERT_TRUE(dlg->Create(&main, channel));
    dlg->m_strId1 = "7ff";
    dlg->Present(main);
    wxTheApp->ProcessPendingEvents();

    const wxPoint centre = dlg->GetScreenRect().GetPosition() + dlg->GetSize() / 2;
    const wxPoint mainCentre = main.GetScreenRect().GetPosition() + main.GetSize() / 2;
    EXPECT_LE(std::abs(centre.x - mainCentre.x), 2);
    EXPECT_LE(std::abs(centre.y - mainCentre.y), 2);
    auto* id1 = Find<wxTextCtrl>(dlg, kIdSendId1);
    long from = -1, to = -1;
    id1->GetSelection(&from, &to);
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, 3);
    delete dlg;
    dlg = nullptr;
}

TEST_F(SendDlgTest, EndlessStartRetimesARunningJobAndKeepsItsFrame) {
    Open();
    CreateAndShow();
    SetText(dlg, kIdSendId5, "100");
    SetText(dlg, kIdSendMsg5, "11 22");
    SetText(dlg, kIdSendWait, "5000");
    Press(dlg, kIdSendStartEndless);
    CyclicJob* job = CanFindCyclic(channel, kEndlessJobKey);
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->msg.id, 0x100u);
    EXPECT_EQ(job->interval.load(), 5000u);
    ASSERT_TRUE(device->WaitUntil([&] { return !device->Writes().empty(); }));

    SetText(dlg, kIdSendId5, "200");
    SetText(dlg, kIdSendMsg5, "33");
    SetText(dlg, kIdSendWait, "7000");
    Press(dlg, kIdSendStartEndless);
    ASSERT_EQ(CanFindCyclic(channel, kEndlessJobKey), job);
    EXPECT_EQ(job->msg.id, 0x100u);
    EXPECT_EQ(job->msg.dlc, 2);
    EXPECT_EQ(job->interval.load(), 7000u);
    EXPECT_EQ(SettingsValue("Data", "Id5"), "200");

    // Hiding the dialog leaves the job running; only "Stop" ends it, and no job of another
    // sender (a database message's).
    Press(dlg, kIdSendClose);
    EXPECT_FALSE(dlg->IsShown());
    EXPECT_NE(CanFindCyclic(channel, kEndlessJobKey), nullptr);
    ASSERT_EQ(CanStartCyclic(channel, kSignalJobFirstKey, 0x300, 0, 0, nullptr, 7000), 1);
    Press(dlg, kIdSendStopEndless);
    EXPECT_EQ(CanFindCyclic(channel, kEndlessJobKey), nullptr);
    EXPECT_NE(CanFindCyclic(channel, kSignalJobFirstKey), nullptr);
    CanStopCyclic(channel, kSignalJobFirstKey);

    const auto writes = Writes();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes[0].id, 0x100u);
    EXPECT_EQ(Bytes(writes[0]), (std::vector<std::uint8_t>{0x11, 0x22}));
}

}  // namespace
