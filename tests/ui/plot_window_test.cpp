// The window "Signalverlauf" as the operator meets it: the points it holds live and from a trace,
// the gap where a frame lacks a signal, the cursor readout, the zoom limits, the search field,
// the exports and the notice when points are let go.
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/image.h>

#include "channel/can_channel.h"
#include "tests/support/plot_database.h"
#include "tests/support/scripted_device.h"
#include "tests/ui/app_harness.h"
#include "ui/command_ids.h"
#include "ui/plot_canvas.h"
#include "ui/plot_window.h"
#include "ui/signal_detail.h"

namespace fs = std::filesystem;
using namespace uitest;
using testsupport::Frame;
using testsupport::RegisteredDevice;

std::vector<std::string> uitest::StartArguments() {
    if (const char* ini = std::getenv("VESK_INI"))
        std::remove(ini);
    return {};
}

namespace {

constexpr std::int64_t kMs = 1'000'000;

constexpr const char* kDatabase = testdb::kMuxAndGang;

// Every 100 ms a Mux frame, M alternating 0 and 1; a Gang frame at 50 ms and 350 ms.
constexpr const char* kTrace =
    "(10.000000) can0 100#000A01 R\n"
    "(10.050000) can0 200#01 R\n"
    "(10.100000) can0 100#01FF02 R\n"
    "(10.200000) can0 100#000C03 R\n"
    "(10.300000) can0 100#01FE04 R\n"
    "(10.350000) can0 200#02 R\n"
    "(10.400000) can0 100#001005 R\n";

class PlotWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vesk-plot-ui-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        std::ofstream(dir / "plot.dbc") << kDatabase;
        std::ofstream(dir / "trace.log") << kTrace;
        View()->LoadDatabases({(dir / "plot.dbc").string()});
    }
    void TearDown() override {
        if (window)
            window->Destroy();
        Idle();
        View()->ClearDatabases();
        fs::remove_all(dir);
    }

    CPlotWindow* OpenTrace() {
        window = View()->PlotTrace((dir / "trace.log").string(), false);
        return window;
    }

    std::vector<std::string> Readout() {
        std::vector<std::string> rows;
        for (int r = 0; r < window->ReadoutRows(); ++r) {
            std::string row;
            for (int c = 0; c < 4; ++c)
                row += (c ? "|" : "") + window->ReadoutCell(r, c).utf8_string();
            rows.push_back(row);
        }
        return rows;
    }

    fs::path dir;
    CPlotWindow* window = nullptr;
};

TEST_F(PlotWindowTest, ATraceShowsItsSignalsAndTheCursorsReadEveryOne) {
    ASSERT_TRUE(OpenTrace());
    EXPECT_EQ(window->GetTitle().utf8_string(), "Signalverlauf – trace.log");
    window->ChooseOnly({"Mux.A", "Mux.B", "Gang.G"});
    // A holds its values and one gap for each run of frames that select B.
    const plot::SignalSeries& a = *window->Model().Series(*window->SeriesOf("Mux", "A"));
    EXPECT_EQ(a.Size(), 5u);
    window->Canvas()->SetCursorNs(0, 120 * kMs);
    window->Canvas()->SetCursorNs(1, 400 * kMs);
    const std::vector<std::string> expected = {
        "Zeit|0.120000 s|0.400000 s|0.280000 s",
        // At 120 ms the frame's multiplexer chose B: no value of B's appears in A.
        "Mux.A|nicht gewählt (Multiplexer)|8 V|",
        "Mux.B|-2 A|nicht gewählt (Multiplexer)|",
        "Gang.G|1 (Eins)|2 (Zwei)|1",
    };
    EXPECT_EQ(Readout(), expected);
    // Signals chosen again go from the readout and the legend, and come back.
    window->ChooseSignal("Mux", "B", false);
    EXPECT_EQ(window->ReadoutRows(), 3);
    EXPECT_EQ(window->Canvas()->Traces().size(), 2u);
}

TEST_F(PlotWindowTest, TheSearchFieldNarrowsTheList) {
    ASSERT_TRUE(OpenTrace());
    const struct {
        const char* search;
        std::vector<std::string> listed;
    } cases[] = {
        {"", {"Mux.M", "Mux.A", "Mux.B", "Mux.C", "Gang.G"}},
        {"gang", {"Gang.G"}},
        {"MUX.b", {"Mux.B"}},
        {"xyz", {}},
    };
    for (const auto& c : cases) {
        window->SetSearch(wxString::FromUTF8(c.search));
        EXPECT_EQ(window->ListedSignals(), c.listed) << c.search;
    }
}

TEST_F(PlotWindowTest, WheelDragAndKeysZoomAndPanWithinTheLimits) {
    ASSERT_TRUE(OpenTrace());
    CPlotCanvas& canvas = *window->Canvas();
    canvas.SetSize(800, 400);
    const wxRect area = canvas.PlotArea();
    const wxPoint mid(area.x + area.width / 2, area.y + area.height / 2);
    auto wheel = [&](int steps, int modifiers) {
        wxMouseEvent e(wxEVT_MOUSEWHEEL);
        e.m_wheelRotation = 120 * steps;
        e.m_wheelDelta = 120;
        e.m_x = mid.x;
        e.m_y = mid.y;
        e.m_controlDown = modifiers & wxMOD_CONTROL;
        e.m_shiftDown = modifiers & wxMOD_SHIFT;
        canvas.ProcessWindowEvent(e);
    };
    auto key = [&](int code, int modifiers) {
        wxKeyEvent e(wxEVT_KEY_DOWN);
        e.m_keyCode = code;
        e.m_controlDown = modifiers & wxMOD_CONTROL;
        e.m_shiftDown = modifiers & wxMOD_SHIFT;
        canvas.ProcessWindowEvent(e);
    };
    using V = plot::PlotViewport;
    const struct {
        const char* what;
        std::function<void()> act;  // done 200 times
        std::int64_t timeSpan;      // 0: unchanged
        double valueSpan;           // 0: unchanged
    } cases[] = {
        {"wheel in", [&] { wheel(1, 0); }, V::kMinTimeSpanNs, 0},
        {"wheel out", [&] { wheel(-1, 0); }, V::kMaxTimeSpanNs, 0},
        {"ctrl wheel in", [&] { wheel(1, wxMOD_CONTROL); }, 0, V::kMinValueSpan},
        {"shift wheel out", [&] { wheel(-1, wxMOD_SHIFT); }, V::kMaxTimeSpanNs, V::kMaxValueSpan},
        {"key +", [&] { key('+', 0); }, V::kMinTimeSpanNs, 0},
        {"ctrl key -", [&] { key('-', wxMOD_CONTROL); }, 0, V::kMaxValueSpan},
    };
    for (const auto& c : cases) {
        window->ShowAll();
        const std::int64_t span = canvas.Viewport().SpanNs();
        const double values = canvas.Viewport().High() - canvas.Viewport().Low();
        for (int i = 0; i < 200; ++i)
            c.act();
        EXPECT_EQ(canvas.Viewport().SpanNs(), c.timeSpan ? c.timeSpan : span) << c.what;
        EXPECT_NEAR(canvas.Viewport().High() - canvas.Viewport().Low(),
                    c.valueSpan ? c.valueSpan : values, (c.valueSpan ? c.valueSpan : values) * 1e-3)
            << c.what;
    }

    // A drag by a tenth of the width moves the range by a tenth of its span, on the time axis
    // only with Shift; the arrow keys move it the same way.
    window->ShowAll();
    const std::int64_t from = canvas.Viewport().FromNs(), span = canvas.Viewport().SpanNs();
    const double low = canvas.Viewport().Low();
    auto mouse = [&](wxEventType type, int x, bool shift) {
        wxMouseEvent e(type);
        e.m_x = x;
        e.m_y = mid.y + (type == wxEVT_MOTION ? 20 : 0);
        e.m_shiftDown = shift;
        e.m_leftDown = type != wxEVT_LEFT_UP;
        canvas.ProcessWindowEvent(e);
    };
    mouse(wxEVT_LEFT_DOWN, mid.x, true);
    mouse(wxEVT_MOTION, mid.x - area.width / 10, true);
    mouse(wxEVT_LEFT_UP, mid.x - area.width / 10, true);
    EXPECT_NEAR(static_cast<double>(canvas.Viewport().FromNs() - from), span / 10.0, span / 200.0);
    EXPECT_EQ(canvas.Viewport().Low(), low);
    key(WXK_LEFT, 0);
    EXPECT_NEAR(static_cast<double>(canvas.Viewport().FromNs() - from), 0, span / 200.0);
}

TEST_F(PlotWindowTest, ExportsTheVisibleRangeAsCsvAndThePictureAsPng) {
    ASSERT_TRUE(OpenTrace());
    window->ChooseOnly({"Mux.C", "Gang.G"});
    window->Canvas()->Viewport().SetTime(150 * kMs, 360 * kMs);
    std::string error;
    const fs::path csv = dir / "range.csv", png = dir / "plot.png";
    ASSERT_TRUE(window->ExportCsv(csv.string(), error)) << error;
    std::stringstream text;
    text << std::ifstream(csv).rdbuf();
    EXPECT_EQ(text.str(),
              "time,id,extended,message,signal,raw,value,unit,label\n"
              "10.200000,100,0,Mux,C,3,3,,\n"
              "10.300000,100,0,Mux,C,4,4,,\n"
              "10.350000,200,0,Gang,G,2,2,,Zwei\n");
    window->Canvas()->SetSize(640, 320);
    ASSERT_TRUE(window->ExportPng(png.string(), error)) << error;
    // Written by our encoder, read by libpng through wx.
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    wxImage image;
    ASSERT_TRUE(image.LoadFile(wxString::FromUTF8(png.string()), wxBITMAP_TYPE_PNG));
    EXPECT_EQ(image.GetSize(), window->Canvas()->GetClientSize());
    EXPECT_GT(image.CountColours(16), 2u) << "the picture holds the plot, not a blank";
    // A folder that is not there is reported, not taken for done.
    EXPECT_FALSE(window->ExportCsv((dir / "no" / "x.csv").string(), error));
    EXPECT_NE(error.find("x.csv"), std::string::npos) << error;
}

TEST_F(PlotWindowTest, TheWindowSaysWhenPointsWereLetGo) {
    ASSERT_TRUE(OpenTrace());
    EXPECT_EQ(window->NoticeText(), wxString());
    // Five series of one block each, and room for two blocks.
    window->SetPointBudget(2 * plot::PointBlock::kPoints);
    EXPECT_EQ(window->Model().PointsHeld(), 7u);
    EXPECT_EQ(window->NoticeText().utf8_string(),
              " Ältere Punkte verworfen: 15 (es werden höchstens 8192 Punkte gehalten)");

    // The budget is the operator's setting: the next window starts with it (at least a million).
    window->SetPointBudget(3'000'000);
    window->Destroy();
    Idle();
    ASSERT_TRUE(OpenTrace());
    EXPECT_EQ(window->Model().PointBudget(), plot::PlotModel(3'000'000).PointBudget());
    window->SetPointBudget(plot::PlotModel::kDefaultPointBudget);
}

// --- Live, from a scripted adapter -------------------------------------------------------------

class PlotWindowLiveTest : public PlotWindowTest {
  protected:
    void SetUp() override {
        PlotWindowTest::SetUp();
        int error = -1;
        ASSERT_EQ(CanOpen(View()->m_channel, adapter.path(), 0, 0, &error), 1) << error;
    }
    void TearDown() override {
        CanClose(View()->m_channel);
        View()->DrainRows();
        window = nullptr;  // the view's own
        PlotWindowTest::TearDown();
    }

    // Received frames of Mux at `ms` with M and the value byte, until the session has them all.
    void Deliver(std::vector<std::array<int, 3>> frames) {
        std::vector<CanMsg> burst;
        for (const auto& [ms, mux, value] : frames) {
            CanMsg m = Frame(CAN_EV_RX, 0x100, 1250u * static_cast<std::uint64_t>(ms), 3);
            m.data[0] = static_cast<std::uint8_t>(mux);
            m.data[1] = static_cast<std::uint8_t>(value);
            m.data[2] = static_cast<std::uint8_t>(value + 1);
            burst.push_back(m);
        }
        const std::uint64_t wanted = View()->Session().FramesReceived() + frames.size();
        adapter->PushBurst(burst);
        ASSERT_TRUE(
            adapter->WaitUntil([&] { return View()->Session().FramesReceived() >= wanted; }));
    }

    RegisteredDevice adapter;
};

TEST_F(PlotWindowLiveTest, FollowsTheBusHoldsThePictureAndNeverShowsAnotherBranchsValue) {
    EXPECT_TRUE(MenuItem(ID_VIEW_PLOT).enabled);
    Command(ID_VIEW_PLOT);
    window = View()->ShowPlot();
    ASSERT_TRUE(window);
    window->ChooseOnly({"Mux.A", "Mux.C"});
    Deliver({{100, 0, 10}, {200, 1, 99}, {300, 0, 12}});
    window->Tick();
    const plot::SignalSeries& a = *window->Model().Series(*window->SeriesOf("Mux", "A"));
    const plot::SignalSeries& c = *window->Model().Series(*window->SeriesOf("Mux", "C"));
    EXPECT_EQ(a.Size(), 3u);  // 5, gap, 6
    EXPECT_EQ(c.Size(), 3u);
    // The range follows the newest frame.
    const std::int64_t newest = *c.LastTimeNs();
    EXPECT_EQ(window->Canvas()->Viewport().ToNs(), newest);
    window->Canvas()->SetCursorNs(0, newest - 50 * kMs);
    window->Canvas()->SetCursorNs(1, newest - 150 * kMs);
    EXPECT_EQ(Readout()[1], "Mux.A|nicht gewählt (Multiplexer)|5 V|");
    EXPECT_EQ(Readout()[2], "Mux.C|100|11|-89");

    // Held, the picture stays while the values go on arriving.
    window->Hold(true);
    Deliver({{400, 0, 20}, {500, 0, 22}});
    window->Tick();
    EXPECT_EQ(c.Size(), 5u);
    EXPECT_EQ(window->Canvas()->Viewport().ToNs(), newest);
    window->Hold(false);
    window->Tick();
    EXPECT_EQ(window->Canvas()->Viewport().ToNs(), *c.LastTimeNs());

    // A signal taken away takes its points along; the others go on.
    window->ChooseSignal("Mux", "A", false);
    Deliver({{600, 0, 30}});
    window->Tick();
    EXPECT_FALSE(window->SeriesOf("Mux", "A"));
    EXPECT_EQ(c.Size(), 6u);

    // A signal of the frame selected in the log, activated in the detail under it, joins the plot.
    View()->DrainRows();
    List()->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    View()->UpdateSignalDetail();
    ASSERT_EQ(View()->GetSignalDetail()->CellText(0, 0), "M");
    View()->GetSignalDetail()->PlotRow(0);
    EXPECT_TRUE(window->SeriesOf("Mux", "M"));
    EXPECT_TRUE(window->SeriesOf("Mux", "C"));
}

// While following, each picture takes the columns of the last one that no new value can reach;
// the picture must be the one drawn from all the points afresh.
TEST_F(PlotWindowLiveTest, AFollowingPictureIsTheOneDrawnAfresh) {
    window = View()->ShowPlot();
    ASSERT_TRUE(window);
    window->ChooseOnly({"Mux.C"});
    CPlotCanvas& canvas = *window->Canvas();
    const wxSize size(640, 300);
    wxBitmap bitmap(size.x, size.y, 24);
    auto draw = [&] {
        wxMemoryDC dc(bitmap);
        canvas.Render(dc, size);
        return std::vector<std::uint32_t>(
            canvas.AreaPicture().Data(),
            canvas.AreaPicture().Data() +
                canvas.AreaPicture().Width() * canvas.AreaPicture().Height());
    };
    int ms = 0;
    auto deliver = [&](int count, int step) {
        std::vector<std::array<int, 3>> frames;
        for (int i = 0; i < count; ++i, ms += step)
            frames.push_back({ms, 0, (i * 97) % 200});  // far apart from one to the next
        Deliver(frames);
        window->Tick();
    };
    deliver(200, 1);  // dense: many values a column
    draw();
    deliver(300, 40);  // sparse, the range moves on by many columns
    draw();
    ms -= 37;  // the next values join the newest column of the last picture
    deliver(50, 3);
    const std::vector<std::uint32_t> followed = draw();
    ASSERT_TRUE(canvas.Viewport().Following());
    canvas.SetTraces(canvas.Traces());  // forgets the columns kept
    EXPECT_TRUE(followed == draw());
}

}  // namespace
