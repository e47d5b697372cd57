// The CAN menu's commands on a view, with the dialogs answered through wxTEST_DIALOG and the
// adapter played by a scripted device under the adapter's path.
#include <cerrno>
#include <memory>

#include <gtest/gtest.h>

#include "channel/adapter_path.h"
#include "platform/device.h"
#include "platform/error.h"
#include "tests/support/message_box_capture.h"
#include "tests/support/scripted_device.h"
#include "tests/ui/dialogs/dialog_driver.h"
#include "tests/ui/dialogs/settings_file.h"
#include "tests/ui/dialogs/view_harness.h"
#include "ui/acceptance_dlg.h"
#include "ui/auto_messages_dlg.h"
#include "ui/baudrate_dlg.h"
#include "ui/command_ids.h"
#include "ui/open_channel_dlg.h"
#include "ui/send_dlg.h"

namespace {

using namespace dialogtest;
using testsupport::Little32;
using testsupport::ScriptedDevice;

// A scripted device under one of the adapter paths for the lifetime of the object.
class AdapterStandIn {
  public:
    explicit AdapterStandIn(int index) : path_(AdapterPath(index)) {
        platform::RegisterDevice(path_, device_);
    }
    ~AdapterStandIn() { platform::UnregisterDevice(path_); }
    ScriptedDevice* operator->() const { return device_.get(); }

    // The configuring requests in order (mode, format, filters, baud rate, commands).
    std::vector<testsupport::Request> Settings() const {
        std::vector<testsupport::Request> result;
        for (const auto& r : device_->Requests()) {
            if (r.code != IOCTL_CAN_READ && r.code != IOCTL_CAN_WAIT_EVENT &&
                r.code != IOCTL_CAN_GET_DEVICE_INFO && r.code != IOCTL_CAN_WRITE) {
                result.push_back(r);
            }
        }
        return result;
    }

  private:
    std::string path_;
    std::shared_ptr<ScriptedDevice> device_ = std::make_shared<ScriptedDevice>();
};

class ViewCommandsTest : public testing::Test {
  protected:
    void SetUp() override { RemoveSettingsFile(); }

    // Starts the view on the settings file as it stands now.
    CVeskView* Start() {
        harness = std::make_unique<ViewHarness>();
        return harness->View();
    }

    // "CAN Kanal öffnen", confirmed after `choose` played with the dialog.
    void Open(std::function<void(COpenChannelDlg*)> choose = {}) {
        wxTEST_DIALOG(harness->Command(ID_CAN_OPEN), Confirm<COpenChannelDlg>(choose));
    }

    std::unique_ptr<ViewHarness> harness;
    testsupport::MessageBoxCapture boxes;
};

TEST_F(ViewCommandsTest, TheFirstOpenAppliesTheDefaultFiltersAndRateInOrder) {
    AdapterStandIn adapter(0);
    CVeskView* view = Start();
    // Make the channel remember other values, so that it passes each one on to the device.
    view->m_channel->accCode = 0;
    view->m_channel->accMask = 0;
    view->m_channel->baudrate = 1;
    Open();
    ASSERT_TRUE(CanIsOpen(view->m_channel));

    const auto requests = adapter.Settings();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].code, IOCTL_CAN_SET_MODE);
    EXPECT_EQ(requests[0].in, std::vector<std::uint8_t>{0});
    EXPECT_EQ(requests[1].code, IOCTL_CAN_SET_FRAME_FORMAT);
    EXPECT_EQ(requests[1].in, std::vector<std::uint8_t>{0});
    EXPECT_EQ(requests[2].code, IOCTL_CAN_SET_ACCEPTANCE);
    EXPECT_EQ(Little32(requests[2].in, 0), 0xFFFFFFFFu);
    EXPECT_EQ(Little32(requests[2].in, 4), 0xFFFFFFFFu);
    EXPECT_EQ(requests[3].code, IOCTL_CAN_SET_SOFT_ACCEPTANCE);
    EXPECT_EQ(Little32(requests[3].in, 0), 0u);
    EXPECT_EQ(Little32(requests[3].in, 4), 0u);
    EXPECT_EQ(requests[4].code, IOCTL_CAN_SET_BAUDRATE);
    EXPECT_EQ(Little32(requests[4].in, 0), 20000u);
    EXPECT_EQ(view->m_channel->notify.load(), 1);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(SettingsFileExists());
}

TEST_F(ViewCommandsTest, TheLoadedFiltersAndRateReachTheDeviceAtEveryOpen) {
    WriteSettingsText(
        "[Options]\nAcceptanceCode=291\nAcceptanceMask=2047\nSoftAcceptanceCode=-2147483648\n"
        "SoftAcceptanceMask=15\nBaudrate=125000\n");
    AdapterStandIn adapter(0);
    CVeskView* view = Start();
    Open();
    CanClose(view->m_channel);
    adapter->ClearRequests();
    Open();  // again: the channel only skips the repeated hardware filter and rate

    const auto requests = adapter.Settings();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].code, IOCTL_CAN_SET_SOFT_ACCEPTANCE);
    EXPECT_EQ(Little32(requests[2].in, 0), 0x80000000u);
    EXPECT_EQ(Little32(requests[2].in, 4), 15u);
    EXPECT_EQ(view->m_channel->accCode, 291u);
    EXPECT_EQ(view->m_channel->accMask, 0x7ffu);
    EXPECT_EQ(view->m_channel->baudrate.load(), 125000u);
}

TEST_F(ViewCommandsTest, DeviceEntryThreeOpensItsOwnPath) {
    AdapterStandIn first(0);
    AdapterStandIn third(3);
    CVeskView* view = Start();
    Open([](COpenChannelDlg* dlg) { Choose(dlg, kIdOpenDevice, 3); });
    EXPECT_TRUE(CanIsOpen(view->m_channel));
    EXPECT_EQ(third->OpenCount(), 1);
    EXPECT_EQ(first->OpenCount(), 0);
}

TEST_F(ViewCommandsTest, BasicCanAfterPeliCanPassesTheExtendedFormatAllTheSame) {
    AdapterStandIn adapter(0);
    Start();
    Open([](COpenChannelDlg* dlg) {
        Choose(dlg, kIdOpenMode, 1);
        Choose(dlg, kIdOpenFormat, 1);
        Choose(dlg, kIdOpenMode, 0);
    });
    const auto requests = adapter.Settings();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0].code, IOCTL_CAN_SET_MODE);
    EXPECT_EQ(requests[0].in, std::vector<std::uint8_t>{0});
    EXPECT_EQ(requests[1].code, IOCTL_CAN_SET_FRAME_FORMAT);
    EXPECT_EQ(requests[1].in, std::vector<std::uint8_t>{1});
}

TEST_F(ViewCommandsTest, AFailedOpenShowsTheSystemTextAndLeavesTheChannelClosed) {
    CVeskView* view = Start();
    Open([](COpenChannelDlg* dlg) { Choose(dlg, kIdOpenDevice, 2); });  // nothing there
    EXPECT_FALSE(CanIsOpen(view->m_channel));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, platform::ErrorText(platform::kErrorNotFound));
    EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MessageIcon::kInformation);

    // A device that answers its information request wrongly: error code 0.
    AdapterStandIn adapter(0);
    adapter->SetDeviceInfo(7, 0, 0);
    Open();
    EXPECT_FALSE(CanIsOpen(view->m_channel));
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[1].text, platform::ErrorText(0));
    EXPECT_EQ(adapter->CloseCount(), 1);
}

TEST_F(ViewCommandsTest, ARateRefusedAtTheOpenIsReportedAndTheOpenGoesOn) {
    WriteSettingsText("[Options]\nBaudrate=50000\n");
    AdapterStandIn adapter(0);
    adapter->RefuseBaudrate(50000);
    CVeskView* view = Start();
    view->Session().SetShowData(false);
    Open();
    EXPECT_TRUE(CanIsOpen(view->m_channel));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Can't set baudrate");
    EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MessageIcon::kExclamation);
    EXPECT_EQ(view->m_channel->notify.load(), 0);  // the last step still ran
    EXPECT_EQ(view->m_nBaudrate, 50000);
}

TEST_F(ViewCommandsTest, CancelledOpenDoesNothing) {
    AdapterStandIn adapter(0);
    CVeskView* view = Start();
    wxTEST_DIALOG(harness->Command(ID_CAN_OPEN), Dismiss<COpenChannelDlg>());
    EXPECT_FALSE(CanIsOpen(view->m_channel));
    EXPECT_EQ(adapter->OpenCount(), 0);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ViewCommandsTest, TheBaudRateDialogRefusesOutOfRangeRatesAndStoresAcceptedOnes) {
    AdapterStandIn adapter(0);
    CVeskView* view = Start();
    Open();
    wxTEST_DIALOG(harness->Command(ID_CAN_BAUDRATE), Answer<CBaudrateDlg>([](CBaudrateDlg* dlg) {
                      EXPECT_EQ(Text(dlg, kIdBaudrate), "20000");
                      for (const char* refused : {"9999", "1000001"}) {
                          SetText(dlg, kIdBaudrate, refused);
                          EXPECT_FALSE(PressOk(dlg)) << refused;
                      }
                      SetText(dlg, kIdBaudrate, "1000000");
                      EXPECT_TRUE(PressOk(dlg));
                      return static_cast<int>(wxID_OK);
                  }));
    EXPECT_EQ(boxes.Boxes().size(), 2u);  // the two prompts
    EXPECT_EQ(view->m_nBaudrate, 1000000);
    EXPECT_EQ(SettingsValue("Options", "Baudrate"), "1000000");
    EXPECT_EQ(adapter->Count(IOCTL_CAN_SET_BAUDRATE), 1u);

    wxTEST_DIALOG(harness->Command(ID_CAN_BAUDRATE), Confirm<CBaudrateDlg>([](CBaudrateDlg* dlg) {
                      EXPECT_EQ(Text(dlg, kIdBaudrate), "1000000");
                      SetText(dlg, kIdBaudrate, "10000");
                  }));
    EXPECT_EQ(view->m_nBaudrate, 10000);
    EXPECT_EQ(SettingsValue("Options", "Baudrate"), "10000");

    // The same rate again: the channel does not ask the device, and the key is written anyway.
    RemoveSettingsFile();
    wxTEST_DIALOG(harness->Command(ID_CAN_BAUDRATE), Confirm<CBaudrateDlg>());
    EXPECT_EQ(SettingsValue("Options", "Baudrate"), "10000");
    EXPECT_EQ(adapter->Count(IOCTL_CAN_SET_BAUDRATE), 2u);
}

TEST_F(ViewCommandsTest, ARateTheDeviceRefusesChangesNothingAndWritesNothing) {
    AdapterStandIn adapter(0);
    adapter->RefuseBaudrate(125000);
    CVeskView* view = Start();
    Open();
    wxTEST_DIALOG(harness->Command(ID_CAN_BAUDRATE), Confirm<CBaudrateDlg>([](CBaudrateDlg* dlg) {
                      SetText(dlg, kIdBaudrate, "125000");
                  }));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Can't set baudrate");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MessageIcon::kExclamation);
    EXPECT_EQ(view->m_nBaudrate, 20000);
    EXPECT_FALSE(SettingsFileExists());

    wxTEST_DIALOG(harness->Command(ID_CAN_BAUDRATE), Dismiss<CBaudrateDlg>([](CBaudrateDlg* dlg) {
                      SetText(dlg, kIdBaudrate, "500000");
                  }));
    EXPECT_EQ(view->m_nBaudrate, 20000);
    EXPECT_FALSE(SettingsFileExists());
}

TEST_F(ViewCommandsTest, TheHardwareFilterReadsHexAndRewritesBothKeys) {
    AdapterStandIn adapter(0);
    CVeskView* view = Start();
    Open();
    adapter->ClearRequests();
    wxTEST_DIALOG(harness->Command(ID_CAN_HW_FILTER),
                  Confirm<CAcceptanceDlg>([](CAcceptanceDlg* dlg) {
                      EXPECT_EQ(Text(dlg, kIdFilterCode), "ffffffff");
                      EXPECT_EQ(Text(dlg, kIdFilterMask), "ffffffff");
                      SetText(dlg, kIdFilterCode, "7ff");
                  }));
    EXPECT_EQ(view->m_filters.acceptanceCode, 0x7ffu);
    EXPECT_EQ(view->m_filters.acceptanceMask, 0xFFFFFFFFu);
    EXPECT_EQ(SettingsValue("Options", "AcceptanceCode"), "2047");
    EXPECT_EQ(SettingsValue("Options", "AcceptanceMask"), "-1");
    const auto requests = adapter.Settings();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].code, IOCTL_CAN_SET_ACCEPTANCE);
    EXPECT_EQ(Little32(requests[0].in, 0), 0x7ffu);
    EXPECT_EQ(Little32(requests[0].in, 4), 0xFFFFFFFFu);

    // An emptied field keeps its value; both keys are written again all the same.
    RemoveSettingsFile();
    wxTEST_DIALOG(harness->Command(ID_CAN_HW_FILTER),
                  Confirm<CAcceptanceDlg>([](CAcceptanceDlg* dlg) {
                      EXPECT_EQ(Text(dlg, kIdFilterCode), "000007ff");
                      SetText(dlg, kIdFilterCode, "");
                      SetText(dlg, kIdFilterMask, "0x80000000");
                  }));
    EXPECT_EQ(view->m_filters.acceptanceCode, 0x7ffu);
    EXPECT_EQ(SettingsValue("Options", "AcceptanceCode"), "2047");
    EXPECT_EQ(SettingsValue("Options", "AcceptanceMask"), "-2147483648");
    EXPECT_FALSE(SettingsValue("Options", "SoftAcceptanceCode"));
}

TEST_F(ViewCommandsTest, TheSoftwareFilterHasItsOwnValuesAndKeys) {
    AdapterStandIn adapter(0);
    CVeskView* view = Start();
    Open();
    adapter->ClearRequests();
    wxTEST_DIALOG(harness->Command(ID_CAN_SOFT_FILTER),
                  Confirm<CSoftAcceptanceDlg>([](CSoftAcceptanceDlg* dlg) {
                      EXPECT_EQ(Text(dlg, kIdFilterCode), "00000000");
                      EXPECT_EQ(Text(dlg, kIdFilterMask), "00000000");
                      SetText(dlg, kIdFilterCode, "123");
                      SetText(dlg, kIdFilterMask, "FFFFFFFF");
                  }));
    EXPECT_EQ(view->m_filters.softAcceptanceCode, 0x123u);
    EXPECT_EQ(view->m_filters.softAcceptanceMask, 0xFFFFFFFFu);
    EXPECT_EQ(view->m_filters.acceptanceCode, 0xFFFFFFFFu);
    EXPECT_EQ(SettingsValue("Options", "SoftAcceptanceCode"), "291");
    EXPECT_EQ(SettingsValue("Options", "SoftAcceptanceMask"), "-1");
    EXPECT_FALSE(SettingsValue("Options", "AcceptanceCode"));
    const auto requests = adapter.Settings();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].code, IOCTL_CAN_SET_SOFT_ACCEPTANCE);
    EXPECT_EQ(Little32(requests[0].in, 0), 0x123u);
}

TEST_F(ViewCommandsTest, CancelledFilterDialogsChangeAndWriteNothing) {
    AdapterStandIn adapter(0);
    CVeskView* view = Start();
    Open();
    adapter->ClearRequests();
    wxTEST_DIALOG(
        harness->Command(ID_CAN_HW_FILTER),
        Dismiss<CAcceptanceDlg>([](CAcceptanceDlg* dlg) { SetText(dlg, kIdFilterCode, "1"); }));
    wxTEST_DIALOG(harness->Command(ID_CAN_SOFT_FILTER),
                  Dismiss<CSoftAcceptanceDlg>(
                      [](CSoftAcceptanceDlg* dlg) { SetText(dlg, kIdFilterMask, "1"); }));
    EXPECT_EQ(view->m_filters.acceptanceCode, 0xFFFFFFFFu);
    EXPECT_EQ(view->m_filters.softAcceptanceMask, 0u);
    EXPECT_TRUE(adapter.Settings().empty());
    EXPECT_FALSE(SettingsFileExists());
}

TEST_F(ViewCommandsTest, ShowDataTogglesWhileClosedAndTheNextOpenAppliesIt) {
    AdapterStandIn adapter(0);
    CVeskView* view = Start();
    EXPECT_EQ(harness->MenuState(ID_CAN_SHOW_DATA), std::make_pair(true, true));
    harness->Command(ID_CAN_SHOW_DATA);
    EXPECT_EQ(view->m_bShowData, 0);
    EXPECT_EQ(harness->MenuState(ID_CAN_SHOW_DATA), std::make_pair(true, false));
    Open();
    EXPECT_EQ(view->m_channel->notify.load(), 0);
    harness->Command(ID_CAN_SHOW_DATA);
    EXPECT_EQ(view->m_channel->notify.load(), 1);
}

TEST_F(ViewCommandsTest, ExtendedDisplaySendsFiveThenSixAndKeepsItsMarkAcrossReopen) {
    AdapterStandIn adapter(0);
    CVeskView* view = Start();
    EXPECT_EQ(harness->MenuState(ID_CAN_EXTENDED_DISPLAY), std::make_pair(false, false));
    Open();
    adapter->ClearRequests();
    harness->Command(ID_CAN_EXTENDED_DISPLAY);
    EXPECT_EQ(harness->MenuState(ID_CAN_EXTENDED_DISPLAY), std::make_pair(true, true));
    harness->Command(ID_CAN_EXTENDED_DISPLAY);
    harness->Command(ID_CAN_EXTENDED_DISPLAY);
    const auto requests = adapter.Settings();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].in, std::vector<std::uint8_t>{5});
    EXPECT_EQ(requests[1].in, std::vector<std::uint8_t>{6});
    EXPECT_EQ(requests[2].in, std::vector<std::uint8_t>{5});

    harness->Command(ID_CAN_CLOSE);
    EXPECT_EQ(harness->MenuState(ID_CAN_EXTENDED_DISPLAY), std::make_pair(false, true));
    adapter->ClearRequests();
    Open();
    EXPECT_EQ(view->m_bExtendedDisplay, 1);
    for (const auto& r : adapter.Settings())
        EXPECT_NE(r.code, IOCTL_CAN_COMMAND);
}

TEST_F(ViewCommandsTest, TheReplyDialogShowsTheLoadedEntriesAndWritesAll16Keys) {
    WriteSettingsText(
        "[AutoTriggerIDs]\n0=2047\n1=5\n2=4660\n[AutoIds]\n0=291\n"
        "[AutoTriggerData]\n0=11 22\n[AutoData]\n0=aa\n");
    CVeskView* view = Start();
    wxTEST_DIALOG(harness->Command(ID_CAN_AUTO_REPLIES),
                  Confirm<CAutoMessagesDlg>([](CAutoMessagesDlg* dlg) {
                      EXPECT_EQ(Text(dlg, kReplyControlIds[0].triggerId), "7ff");
                      EXPECT_EQ(Text(dlg, kReplyControlIds[1].triggerId), "005");
                      EXPECT_EQ(Text(dlg, kReplyControlIds[2].triggerId), "1234");
                      EXPECT_EQ(Text(dlg, kReplyControlIds[0].replyId), "123");
                      EXPECT_EQ(Text(dlg, kReplyControlIds[0].triggerData), "11 22");
                      SetText(dlg, kReplyControlIds[1].triggerId, "7FF");
                      SetText(dlg, kReplyControlIds[1].replyId, "100");
                      SetText(dlg, kReplyControlIds[1].replyData, "01 02");
                      SetText(dlg, kReplyControlIds[2].triggerId, "");
                  }));
    EXPECT_EQ(view->m_replies.Entry(1), (ReplyEntry{0x7ff, "", 0x100, "01 02"}));
    EXPECT_EQ(view->m_replies.Entry(2).triggerId, 0x1234u);

    const std::pair<const char*, const char*> expected[] = {{"AutoTriggerIDs", "2047"},
                                                            {"AutoIds", "291"},
                                                            {"AutoTriggerData", "11 22"},
                                                            {"AutoData", "aa"}};
    for (const auto& [section, value] : expected) {
        EXPECT_EQ(SettingsValue(section, "0"), value) << section;
        for (const char* key : {"1", "2", "3"}) {
            EXPECT_TRUE(SettingsValue(section, key)) << section << key;
        }
    }
    EXPECT_EQ(SettingsValue("AutoTriggerIDs", "1"), "2047");
    EXPECT_EQ(SettingsValue("AutoIds", "1"), "256");
    EXPECT_EQ(SettingsValue("AutoData", "1"), "01 02");
    EXPECT_EQ(SettingsValue("AutoTriggerIDs", "2"), "4660");
    EXPECT_EQ(SettingsValue("AutoIds", "3"), "0");
}

TEST_F(ViewCommandsTest, ACancelledReplyDialogChangesAndWritesNothing) {
    CVeskView* view = Start();
    wxTEST_DIALOG(harness->Command(ID_CAN_AUTO_REPLIES),
                  Dismiss<CAutoMessagesDlg>([](CAutoMessagesDlg* dlg) {
                      SetText(dlg, kReplyControlIds[0].replyId, "123");
                  }));
    EXPECT_EQ(view->m_replies.Entry(0), ReplyEntry{});
    EXPECT_FALSE(SettingsFileExists());
}

TEST_F(ViewCommandsTest, SendMessagesShowsTheTransmitDialogWithItsMembers) {
    WriteSettingsText("[Data]\nId3=7ff\nChk3=1\nWait5=20\n");
    CVeskView* view = Start();
    CSendDlg* dlg = view->m_dlgSend.get();
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(dlg->IsShown());

    harness->Command(ID_CAN_SEND);
    EXPECT_TRUE(dlg->IsShown());
    EXPECT_EQ(Text(dlg, kIdSendId3), "7ff");
    EXPECT_EQ(Text(dlg, kIdSendWait), "20");
    EXPECT_TRUE(Find<wxCheckBox>(dlg, kIdSendChk3)->GetValue());

    // Typed but never read by a button: the next "Botschaften senden" shows the members again.
    SetText(dlg, kIdSendId3, "123");
    Press(dlg, wxID_CANCEL);
    harness->Command(ID_CAN_SEND);
    EXPECT_EQ(Text(dlg, kIdSendId3), "7ff");
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
