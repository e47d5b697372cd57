// Start-up and end of the program in its own process, one case per run: the command line comes
// from VESK_TEST_ARGS, and CTest picks the case with a filter (see CMakeLists.txt). A program
// starts and ends only once, so each case is a run of its own.
#include <dlfcn.h>
#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/stockitem.h>
#include <wx/textctrl.h>

#include "platform/message_box.h"
#include "tests/ui/app_harness.h"
#include "ui/baudrate_dlg.h"
#include "ui/command_ids.h"
#include "ui/send_dlg.h"

using namespace uitest;

std::vector<std::string> uitest::StartArguments() {
    std::vector<std::string> args;
    std::istringstream words(std::getenv("VESK_TEST_ARGS") ? std::getenv("VESK_TEST_ARGS") : "");
    for (std::string word; words >> word;)
        args.push_back(word);
    return args;
}

namespace {

// Every message box that start-up shows, answered with OK.
std::vector<std::string> startBoxes;
const bool answerStartBoxes = [] {
    ExpectedDialogs() = [](wxDialog* dialog) -> std::optional<int> {
        if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) {
            startBoxes.push_back(box->GetMessage().utf8_string());
            return wxID_OK;
        }
        return std::nullopt;
    };
    return true;
}();

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A document that cannot be opened is named in a box, and the program goes on with a new one.
TEST(StartTest, ADocumentThatCannotBeOpenedIsReportedAndANewOneTakesItsPlace) {
    const std::string file = StartArguments().at(0);
    ASSERT_EQ(startBoxes.size(), 1u);
    EXPECT_NE(startBoxes[0].find("\u201e" + file + "\u201c kann nicht ge\u00f6ffnet werden"),
              std::string::npos)
        << startBoxes[0];
    ASSERT_NE(View(), nullptr);
    EXPECT_EQ(View()->GetDocument()->GetUserReadableName().utf8_string(), "Unbenannt");
    EXPECT_EQ(Frame()->GetTitle().utf8_string(), "Unbenannt - vesk");
}

TEST(StartTest, PrintingADocumentThatCannotBeOpenedEndsWithAFailure) {
    ASSERT_EQ(startBoxes.size(), 1u);
    EXPECT_NE(startBoxes[0].find("kann nicht ge\u00f6ffnet werden"), std::string::npos);
    EXPECT_EQ(Frame(), nullptr);
    EXPECT_EQ(App().OnRun(), 1);
}

// Under a German desktop the toolkit's own parts are German too: wx's stock buttons in the file
// chooser, GTK's names of keys in accelerators. Runs under de_DE.UTF-8 (see CMakeLists.txt).
TEST(StartTest, TheToolkitSpeaksTheDesktopsLanguage) {
    using ResponseWidget = void* (*)(void*, int);
    using ButtonLabel = const char* (*)(void*);
    using AcceleratorLabel = char* (*)(unsigned, unsigned);
    using Free = void (*)(void*);
    const auto responseWidget =
        reinterpret_cast<ResponseWidget>(dlsym(RTLD_DEFAULT, "gtk_dialog_get_widget_for_response"));
    const auto buttonLabel =
        reinterpret_cast<ButtonLabel>(dlsym(RTLD_DEFAULT, "gtk_button_get_label"));
    const auto acceleratorLabel =
        reinterpret_cast<AcceleratorLabel>(dlsym(RTLD_DEFAULT, "gtk_accelerator_get_label"));
    const auto gFree = reinterpret_cast<Free>(dlsym(RTLD_DEFAULT, "g_free"));
    struct StockItem {
        char* id;
        char* label;
        unsigned modifier, key;
        char* domain;
    };
    using StockLookup = int (*)(const char*, StockItem*);
    const auto stockLookup = reinterpret_cast<StockLookup>(dlsym(RTLD_DEFAULT, "gtk_stock_lookup"));
    ASSERT_TRUE(responseWidget && buttonLabel && acceleratorLabel && gFree && stockLookup);
    // A stock button shows the stock item's label, in GTK's translation.
    const auto shownLabel = [&](void* button) -> std::string {
        const std::string label = buttonLabel(button) ? buttonLabel(button) : "";
        StockItem item{};
        if (label.starts_with("gtk-") && stockLookup(label.c_str(), &item))
            return item.label;
        return label;
    };

    wxFileDialog dialog(Frame(), wxString::FromUTF8("Speichern unter"), "", "trace.log", "*.log",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    constexpr int kGtkResponseAccept = -3, kGtkResponseCancel = -6;
    void* cancel = responseWidget(dialog.GetHandle(), kGtkResponseCancel);
    void* save = responseWidget(dialog.GetHandle(), kGtkResponseAccept);
    ASSERT_TRUE(cancel && save);
    EXPECT_EQ(shownLabel(cancel), "_Abbrechen");
    EXPECT_EQ(shownLabel(save), "_Speichern");
    // wx's own dialogs (progress, help viewer) take wx's catalogue.
    EXPECT_EQ(wxGetStockLabel(wxID_CANCEL), "Ab&brechen");

    constexpr unsigned kKeyQ = 0x71, kControlMask = 1u << 2;
    char* accelerator = acceleratorLabel(kKeyQ, kControlMask);
    EXPECT_STREQ(accelerator, "Strg+Q");
    gFree(accelerator);
    // Numbers keep their C form for the files the program writes.
    EXPECT_EQ(wxString::Format("%.2f", 0.01), "0.01");
}

// A signal while a modal window is open: the window is answered with Cancel, the command that
// opened it finishes, and the program ends from its main loop with status 0 without writing the
// settings.
struct ModalKind {
    const char* name;
    std::function<void()> open;  // opens the modal window (runs in the main loop)
    // Runs inside the first window's own loop; null when the first window is the one to signal.
    std::function<void(wxDialog*)> insideFirst;
};

void Press(wxWindow* dialog, int id) {
    wxCommandEvent press(wxEVT_BUTTON, id);
    press.SetEventObject(dialog->FindWindow(id));
    dialog->GetEventHandler()->ProcessEvent(press);
}

void TypeInto(wxWindow* dialog, int id, const char* text) {
    auto* field = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(id));
    ASSERT_NE(field, nullptr);
    field->ChangeValue(text);
}

const ModalKind kKinds[] = {
    {"OpenChannel", [] { Command(ID_CAN_OPEN); }, nullptr},
    {"Baudrate", [] { Command(ID_CAN_BAUDRATE); }, nullptr},
    {"BaudratePrompt", [] { Command(ID_CAN_BAUDRATE); },
     [](wxDialog* dialog) {
         TypeInto(dialog, kIdBaudrate, "5");
         Press(dialog, wxID_OK);  // the range prompt opens over the dialog
     }},
    {"HardwareFilter", [] { Command(ID_CAN_HW_FILTER); }, nullptr},
    {"SoftwareFilter", [] { Command(ID_CAN_SOFT_FILTER); }, nullptr},
    {"AutoReplies", [] { Command(ID_CAN_AUTO_REPLIES); }, nullptr},
    {"About", [] { Command(wxID_ABOUT); }, nullptr},
    {"MessageBox",
     [] { platform::MessageBox("Eine Meldung", "vesk", platform::MessageIcon::kInformation); },
     nullptr},
    {"FileOpen", [] { Command(wxID_OPEN); }, nullptr},
    {"SendDialogIntervalPrompt",
     [] {
         Command(ID_CAN_SEND);
         CSendDlg* send = View()->m_dlgSend;
         TypeInto(send, kIdSendWait, "x");
         TypeInto(send, kIdSendId1, "123");
         Press(send, wxID_OK);  // the interval prompt; Start would then save and send
     },
     nullptr},
};

class SignalDuringModal : public testing::TestWithParam<ModalKind> {};

TEST_P(SignalDuringModal, EndsTheProgramCleanly) {
    const char* ini = std::getenv("VESK_INI");
    ASSERT_NE(ini, nullptr);
    { std::ofstream(ini) << "[Options]\nBaudrate=125000\n"; }
    const std::string before = ReadFile(ini);

    const ModalKind& kind = GetParam();
    int entered = 0;
    ExpectedDialogs() = [&](wxDialog* dialog) -> std::optional<int> {
        ++entered;
        const bool last = entered == 2 || !kind.insideFirst;
        if (!last) {
            wxTheApp->CallAfter([&kind, dialog] { kind.insideFirst(dialog); });
        } else if (last && entered <= 2) {
            wxTheApp->CallAfter([] { raise(SIGTERM); });
        }
        return wxID_NONE;  // runs for real
    };
    wxWeakRef<CMainFrame> frame(Frame());
    wxTheApp->CallAfter([&kind] { kind.open(); });
    const int status = App().OnRun();

    EXPECT_EQ(status, 0);
    EXPECT_GE(entered, kind.insideFirst ? 2 : 1);
    EXPECT_FALSE(frame) << "the window was not closed";
    EXPECT_EQ(ReadFile(ini), before) << "the settings were written";
}

INSTANTIATE_TEST_SUITE_P(Kinds, SignalDuringModal, testing::ValuesIn(kKinds),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
