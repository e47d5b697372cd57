// The modal dialogs on their own: templates, data exchange and validation.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/listbox.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include "channel/adapter_path.h"
#include "tests/support/message_box_capture.h"
#include "tests/ui/dialogs/dialog_driver.h"
#include "ui/acceptance_dlg.h"
#include "ui/auto_messages_dlg.h"
#include "ui/baudrate_dlg.h"
#include "ui/dialog_template.h"
#include "ui/field_validators.h"
#include "ui/open_channel_dlg.h"

namespace {

using namespace dialogtest;

std::string Entry(wxWindow* dialog, int id, unsigned index) {
    auto* combo = Find<wxItemContainerImmutable>(dialog, id);
    return combo ? combo->GetString(index).utf8_string() : std::string();
}

int Selection(wxWindow* dialog, int id) {
    auto* combo = Find<wxItemContainerImmutable>(dialog, id);
    return combo ? combo->GetSelection() : -2;
}

bool HasLabel(wxWindow* dialog, const char* utf8) {
    for (wxWindow* child : dialog->GetChildren()) {
        auto* label = dynamic_cast<wxStaticText*>(child);
        if (!label)
            continue;
        wxString text = label->GetLabel();
        text.Replace("\n", " ");  // a wrapped label breaks its lines at blanks
        if (text == wxString::FromUTF8(utf8))
            return true;
    }
    return false;
}

// The template's place of a control, in pixels of the dialog's font.
void ExpectPlaced(wxWindow* dialog, int id, int x, int y, int cx) {
    wxWindow* control = dialog->FindWindow(id);
    ASSERT_NE(control, nullptr) << id;
    EXPECT_EQ(control->GetPosition(), DluToPixels(*dialog, x, y)) << id;
    EXPECT_EQ(control->GetSize().x, DluToPixels(*dialog, wxSize(cx, 0)).x) << id;
}

TEST(OpenChannelDlg, OpensOnTheFirstEntriesWithTheFormatListDisabled) {
    COpenChannelDlg dlg(nullptr);
    EXPECT_EQ(dlg.GetTitle().utf8_string(), "CAN öffnen");
    dlg.m_nDevice = dlg.m_nFormat = dlg.m_nMode = 0;
    dlg.Show();

    ASSERT_EQ(dlg.m_cbDevice->GetCount(), 4u);
    EXPECT_EQ(Entry(&dlg, kIdOpenDevice, 0), "\\\\KVARO");
    EXPECT_EQ(Entry(&dlg, kIdOpenDevice, 1), "\\\\KVARO1 (nur NT)");
    EXPECT_EQ(Entry(&dlg, kIdOpenDevice, 3), "\\\\KVARO3 (nur NT)");
    EXPECT_EQ(Entry(&dlg, kIdOpenMode, 0), "Basic CAN (2.0A)");
    EXPECT_EQ(Entry(&dlg, kIdOpenMode, 1), "PeliCan (2.0B)");
    EXPECT_EQ(Entry(&dlg, kIdOpenFormat, 0), "Standard (11 Bit)");
    EXPECT_EQ(Entry(&dlg, kIdOpenFormat, 1), "Extended (29 Bit)");

    EXPECT_EQ(Selection(&dlg, kIdOpenDevice), 0);
    EXPECT_EQ(Selection(&dlg, kIdOpenMode), 0);
    EXPECT_EQ(Selection(&dlg, kIdOpenFormat), 0);
    EXPECT_FALSE(dlg.m_cbFormat->IsEnabled());
    EXPECT_TRUE(dlg.m_cbDevice->IsEnabled());
}

TEST(OpenChannelDlg, TheModeSwitchesTheFormatListAndKeepsItsSelection) {
    COpenChannelDlg dlg(nullptr);
    dlg.m_nDevice = dlg.m_nFormat = dlg.m_nMode = 0;
    dlg.Show();

    Choose(&dlg, kIdOpenMode, 1);
    EXPECT_TRUE(dlg.m_cbFormat->IsEnabled());
    Choose(&dlg, kIdOpenFormat, 1);
    Choose(&dlg, kIdOpenMode, 0);
    EXPECT_FALSE(dlg.m_cbFormat->IsEnabled());
    EXPECT_EQ(Selection(&dlg, kIdOpenFormat), 1);

    ASSERT_TRUE(PressOk(&dlg));
    EXPECT_EQ(dlg.m_nMode, 0);
    EXPECT_EQ(dlg.m_nFormat, 1);
    EXPECT_EQ(dlg.m_nDevice, 0);
}

TEST(OpenChannelDlg, OkTakesTheChosenDeviceEntry) {
    COpenChannelDlg dlg(nullptr);
    dlg.m_nDevice = dlg.m_nFormat = dlg.m_nMode = 0;
    dlg.Show();
    Choose(&dlg, kIdOpenDevice, 3);
    Choose(&dlg, kIdOpenMode, 1);
    ASSERT_TRUE(PressOk(&dlg));
    EXPECT_EQ(dlg.m_nDevice, 3);
    EXPECT_EQ(dlg.m_nMode, 1);
    EXPECT_EQ(dlg.m_nFormat, 0);
}

TEST(OpenChannelDlg, DevicePathsCarryTheEntryNumberFromTheSecondDeviceOn) {
    EXPECT_EQ(AdapterPath(0), "\\\\.\\Kvaro");
    EXPECT_EQ(AdapterPath(1), "\\\\.\\Kvaro1");
    EXPECT_EQ(AdapterPath(3), "\\\\.\\Kvaro3");
    // Nothing selected: a path that no device has, so the open fails with the system's text.
    EXPECT_EQ(AdapterPath(-1), "\\\\.\\Kvaro-1");
}

TEST(BaudrateDlg, ShowsTheRateInDecimalAndAcceptsTheLimits) {
    for (const char* rate : {"10000", "1000000", " 125000 "}) {
        CBaudrateDlg dlg(nullptr);
        EXPECT_EQ(dlg.GetTitle().utf8_string(), "Baudrate");
        dlg.m_dwBaudrate = 20000;
        dlg.Show();
        EXPECT_EQ(Text(&dlg, kIdBaudrate), "20000");
        SetText(&dlg, kIdBaudrate, rate);
        EXPECT_TRUE(PressOk(&dlg)) << rate;
        EXPECT_EQ(dlg.m_dwBaudrate, std::stoul(rate));
    }
}

TEST(BaudrateDlg, RefusesRatesOutsideTheRangeAndStaysOpen) {
    for (const char* rate : {"9999", "1000001", "", "abc", "-20000", "20000x", "4294967296"}) {
        testsupport::MessageBoxCapture boxes;
        CBaudrateDlg dlg(nullptr);
        dlg.m_dwBaudrate = 20000;
        dlg.Show();
        SetText(&dlg, kIdBaudrate, rate);
        EXPECT_FALSE(PressOk(&dlg)) << rate;
        EXPECT_EQ(dlg.m_dwBaudrate, 20000u) << rate;
        ASSERT_EQ(boxes.Boxes().size(), 1u) << rate;
        EXPECT_EQ(boxes.Boxes()[0].text, RangePrompt(10000, 1000000).utf8_string());
        EXPECT_EQ(boxes.Boxes()[0].icon, platform::MessageIcon::kExclamation);
        EXPECT_NE(boxes.Boxes()[0].text.find("1000000"), std::string::npos);
    }
}

TEST(DialogTemplates, ControlsStandAtTheirTemplatePlacesInDialogUnits) {
    COpenChannelDlg open(nullptr);
    EXPECT_EQ(open.GetClientSize(), DluToPixels(open, wxSize(186, 106)));
    ExpectPlaced(&open, kIdOpenMode, 7, 70, 112);
    ExpectPlaced(&open, wxID_CANCEL, 129, 24, 50);

    CBaudrateDlg baud(nullptr);
    EXPECT_EQ(baud.GetClientSize(), DluToPixels(baud, wxSize(186, 46)));
    ExpectPlaced(&baud, kIdBaudrate, 13, 16, 71);

    CAcceptanceDlg hardware(nullptr);
    ExpectPlaced(&hardware, kIdFilterCode, 33, 28, 51);
    // The long label wraps inside its box and keeps its words.
    EXPECT_TRUE(HasLabel(&hardware, "Die Werte werden direkt in den SJA1000 geschrieben"));
    ExpectPlaced(&hardware, wxID_OK, 106, 7, 50);

    CSoftAcceptanceDlg software(nullptr);
    EXPECT_EQ(software.GetClientSize(), DluToPixels(software, wxSize(172, 47)));
    ExpectPlaced(&software, kIdFilterMask, 39, 7, 56);
    ExpectPlaced(&software, wxID_CANCEL, 115, 26, 50);

    CAutoMessagesDlg replies(nullptr);
    ExpectPlaced(&replies, kReplyControlIds[2].replyData, 187, 63, 92);
    ExpectPlaced(&replies, wxID_CANCEL, 65, 106, 50);

    // Dialog units follow the font: the same template is larger in a larger font.
    CBaudrateDlg large(nullptr);
    large.SetFont(large.GetFont().Scaled(2.0f));
    EXPECT_GT(DluToPixels(large, 13, 16).x, DluToPixels(baud, 13, 16).x);
}

TEST(DialogTemplates, OkIsTheDefaultButton) {
    COpenChannelDlg open(nullptr);
    CBaudrateDlg baud(nullptr);
    CAcceptanceDlg hardware(nullptr);
    CAutoMessagesDlg replies(nullptr);
    for (wxDialog* dlg : std::initializer_list<wxDialog*>{&open, &baud, &hardware, &replies}) {
        EXPECT_EQ(dlg->GetDefaultItem(), dlg->FindWindow(wxID_OK)) << dlg->GetTitle();
    }
}

// --- The keyboard, as in every desktop dialog ---------------------------------------------------

void Pending() {
    wxTheApp->ProcessPendingEvents();
}

bool WholeTextSelected(wxWindow* dialog, int id) {
    auto* edit = Find<wxTextCtrl>(dialog, id);
    long from = -1, to = -1;
    edit->GetSelection(&from, &to);
    return !edit->IsEmpty() && from == 0 && to == edit->GetLastPosition();
}

// Typing into the field that has the focus when a dialog opens, or that Tab reaches, replaces its
// text: "7f0" typed into the mask field must not become "7f0ffffffff".
TEST(DialogKeyboard, AFieldReachedByTheKeyboardIsTakenWhole) {
    CAcceptanceDlg filter(nullptr);
    filter.m_strMask = "ffffffff";
    filter.m_strCode = "00000123";
    filter.Show();
    Pending();
    EXPECT_TRUE(WholeTextSelected(&filter, kIdFilterMask)) << "the first field, as it opens";

    auto* code = Find<wxTextCtrl>(&filter, kIdFilterCode);
    code->SetInsertionPoint(0);  // where the toolkit leaves the cursor
    wxFocusEvent tab(wxEVT_SET_FOCUS, code->GetId());
    tab.SetEventObject(code);
    code->ProcessWindowEvent(tab);
    Pending();
    EXPECT_TRUE(WholeTextSelected(&filter, kIdFilterCode)) << "a field that Tab reaches";

    // The toolkit would hand the focus to OK, the first control by place; typed digits must
    // reach the rate at every opening.
    for (int opening = 0; opening < 6; ++opening) {
        CBaudrateDlg baud(nullptr);
        baud.m_dwBaudrate = 125000;
        // Looked at once the dialog's own loop has handled what its opening brought.
        wxTimer look;
        look.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            EXPECT_EQ(wxWindow::FindFocus(), baud.FindWindow(kIdBaudrate)) << opening;
            EXPECT_TRUE(WholeTextSelected(&baud, kIdBaudrate)) << opening;
            baud.EndModal(wxID_CANCEL);
        });
        look.StartOnce(300);
        baud.ShowModal();
    }
}

void PressKey(wxWindow* target, int key) {
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = key;
    event.SetEventObject(target);
    target->ProcessWindowEvent(event);
}

// Enter in any field or list presses the default button; a push button with the focus keeps it.
TEST(DialogKeyboard, EnterInAFieldOrListPressesOk) {
    struct Case {
        const char* where;
        std::function<wxWindow*(COpenChannelDlg&)> target;
        bool closes;
    };
    const Case cases[] = {
        {"device field", [](COpenChannelDlg& d) { return d.m_cbDevice->GetEdit(); }, true},
        {"device list", [](COpenChannelDlg& d) { return d.m_cbDevice->GetList(); }, true},
        {"mode list", [](COpenChannelDlg& d) { return d.FindWindow(kIdOpenMode); }, true},
        {"Abbrechen", [](COpenChannelDlg& d) { return d.FindWindow(wxID_CANCEL); }, false},
    };
    for (const Case& c : cases) {
        COpenChannelDlg dlg(nullptr);
        dlg.m_nDevice = dlg.m_nFormat = dlg.m_nMode = 0;
        dlg.Show();
        Choose(&dlg, kIdOpenDevice, 2);
        PressKey(c.target(dlg), WXK_RETURN);
        EXPECT_EQ(!dlg.IsShown(), c.closes) << c.where;
        if (c.closes) {
            EXPECT_EQ(dlg.m_nDevice, 2) << c.where;
        }
    }
    CAcceptanceDlg filter(nullptr);
    filter.Show();
    SetText(&filter, kIdFilterCode, "7ff");
    PressKey(filter.FindWindow(kIdFilterCode), WXK_NUMPAD_ENTER);
    EXPECT_FALSE(filter.IsShown());
    EXPECT_EQ(filter.m_strCode, "7ff");
}

// The device field is an edit field over a list that stays open with every entry in view.
TEST(DialogKeyboard, TheDeviceFieldShowsAllEntriesAndFollowsTyping) {
    COpenChannelDlg dlg(nullptr);
    dlg.m_nDevice = dlg.m_nFormat = dlg.m_nMode = 0;
    dlg.Show();
    Pending();
    CSimpleComboBox* device = dlg.m_cbDevice;
    EXPECT_GE(device->GetList()->GetCountPerPage(), 4);
    EXPECT_TRUE(device->GetList()->IsShown());
    EXPECT_EQ(device->GetValue(), "\\\\KVARO");
    EXPECT_TRUE(WholeTextSelected(device, device->GetEdit()->GetId()));

    device->GetEdit()->SetValue("\\\\kvaro2");  // typed: the first entry it begins
    EXPECT_EQ(device->GetSelection(), 2);
    device->GetEdit()->SetValue("\\\\KVARO9");
    EXPECT_EQ(device->GetSelection(), wxNOT_FOUND);
    ASSERT_TRUE(PressOk(&dlg));
    EXPECT_EQ(dlg.m_nDevice, -1) << "nothing chosen: the open fails with the system's text";
}

class AutoMessagesDlgTest : public testing::Test {
  protected:
    void SetUp() override {
        replies.SetEntry(0, {0x7ff, "11 22", 0x123, "aa bb"});
        replies.SetEntry(1, {5, "", 0, ""});
        replies.SetEntry(2, {0x1234, "1", 0x1fffffff, "112233"});
    }
    AutoReplies replies;
};

TEST_F(AutoMessagesDlgTest, OkReadsTheBoxesBackIntoTheEntries) {
    CAutoMessagesDlg dlg(nullptr);
    dlg.m_pReplies = &replies;
    dlg.Show();
    SetText(&dlg, kReplyControlIds[0].triggerId, "7FF");
    SetText(&dlg, kReplyControlIds[0].replyId, "");  // cleared: keeps 0x123
    SetText(&dlg, kReplyControlIds[1].triggerId, " 0x100");
    SetText(&dlg, kReplyControlIds[1].triggerData, "  01 02 ");
    SetText(&dlg, kReplyControlIds[1].replyId, "abc");
    SetText(&dlg, kReplyControlIds[1].replyData, "zz");
    SetText(&dlg, kReplyControlIds[2].triggerId, "nothing");  // keeps 0x1234
    SetText(&dlg, kReplyControlIds[3].replyId, "-1");
    ASSERT_TRUE(PressOk(&dlg));

    EXPECT_EQ(replies.Entry(0), (ReplyEntry{0x7ff, "11 22", 0x123, "aa bb"}));
    EXPECT_EQ(replies.Entry(1), (ReplyEntry{0x100, "  01 02 ", 0xabc, "zz"}));
    EXPECT_EQ(replies.Entry(2), (ReplyEntry{0x1234, "1", 0x1fffffff, "112233"}));
    EXPECT_EQ(replies.Entry(3), (ReplyEntry{0, "", 0xffffffff, ""}));
}

}  // namespace
