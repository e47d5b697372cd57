#include "ui/plot_window.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include <wx/button.h>
#include <wx/checklst.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/listctrl.h>
#include <wx/progdlg.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/srchctrl.h>
#include <wx/stattext.h>
#include <wx/tglbtn.h>

#include "dbc/decoded_csv.h"
#include "monitor/monitor_session.h"
#include "monitor/trace_evaluation.h"
#include "platform/data_file.h"
#include "platform/message_box.h"
#include "plot/plot_csv.h"
#include "settings/settings.h"
#include "ui/plot_canvas.h"
#include "ui/utf8_text.h"

namespace {

constexpr std::int64_t kLiveSpanNs = 10'000'000'000;
constexpr std::size_t kInitiallyShown = 4;  // of a trace's signals

const wxColour& Colour(plot::SeriesId id) {
    static const wxColour palette[] = {
        {31, 119, 180}, {214, 39, 40},   {44, 160, 44},   {255, 127, 14}, {148, 103, 189},
        {140, 86, 75},  {227, 119, 194}, {127, 127, 127}, {188, 189, 34}, {23, 190, 207},
    };
    return palette[id % std::size(palette)];
}

std::string TimeText(std::int64_t ns) {
    char text[40];
    std::snprintf(text, sizeof text, "%.6f s", static_cast<double>(ns) * 1e-9);
    return text;
}

std::string NumberText(double v) {
    std::string text;
    dbc::AppendValueText(text, v);
    return text;
}

// Through platform/, so that a name beyond the ANSI code page reaches its file on Windows too.
bool WriteFile(const std::string& path, const std::string& text, std::string& error) {
    if (platform::WriteWholeFile(path, text))
        return true;
    error = "Die Datei „" + path + "“ kann nicht geschrieben werden.";
    return false;
}

}  // namespace

CPlotWindow::CPlotWindow(wxWindow* parent, MonitorSession& session)
    : wxFrame(parent, wxID_ANY, U8("Signalverlauf"), wxDefaultPosition, wxSize(1000, 640)),
      m_session(&session),
      m_model(std::make_unique<plot::PlotModel>(
          settings::LoadPlotPointBudget(plot::PlotModel::kDefaultPointBudget))),
      m_timer(this) {
    Build();
    m_droppedBefore = session.PlotFeed().Dropped();
    m_canvas->Viewport().SetTime(-kLiveSpanNs, 0);
    m_canvas->Viewport().Follow(true);
    TakeDatabases();
    m_timer.Start(kTickMs);
}

CPlotWindow::CPlotWindow(wxWindow* parent, std::unique_ptr<plot::PlotModel> model,
                         const std::string& traceName, std::int64_t originNs)
    : wxFrame(parent, wxID_ANY, U8("Signalverlauf – " + traceName), wxDefaultPosition,
              wxSize(1000, 640)),
      m_model(std::move(model)),
      m_originNs(originNs),
      m_timer(this) {
    Build();
    for (plot::SeriesId id : m_model->Ids()) {
        const plot::SeriesInfo& info = m_model->Series(id)->Info();
        m_entries.push_back({info.messageName, info.signal.name, info.frameId, info.extended, id});
        if (m_shown.size() < kInitiallyShown)
            m_shown.push_back(id);
    }
    FillList();
    UpdateTraces();
    m_canvas->ShowAll();
}

CPlotWindow::~CPlotWindow() {
    m_timer.Stop();
    DetachSession();
}

void CPlotWindow::DetachSession() {
    if (!m_session)
        return;
    m_session->PlotFeed().Select(nullptr);
    m_selection.reset();
    m_session = nullptr;
    m_timer.Stop();
}

void CPlotWindow::Build() {
    // Its events stay its own: the main frame hands what reaches it to the document manager,
    // which may be gone by the time a plot window is destroyed at the end of the program.
    SetExtraStyle(GetExtraStyle() | wxWS_EX_BLOCK_EVENTS);
    auto* panel = new wxPanel(this);
    auto* left = new wxBoxSizer(wxVERTICAL);
    m_search = new wxSearchCtrl(panel, wxID_ANY);
    m_search->SetDescriptiveText(U8("Signal suchen"));
    m_list = new wxCheckListBox(panel, wxID_ANY, wxDefaultPosition, wxSize(260, -1));
    left->Add(new wxStaticText(panel, wxID_ANY, U8("Botschaften und Signale:")), 0,
              wxLEFT | wxTOP | wxRIGHT, 6);
    left->Add(m_search, 0, wxEXPAND | wxALL, 6);
    left->Add(m_list, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 6);
    m_budget = new wxSpinCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                              wxSP_ARROW_KEYS, 1, 200,
                              static_cast<int>(m_model->PointBudget() / 1'000'000));
    auto* budget = new wxBoxSizer(wxHORIZONTAL);
    budget->Add(new wxStaticText(panel, wxID_ANY, U8("Punkte höchstens (Mio.):")), 0,
                wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    budget->Add(m_budget, 1);
    left->Add(budget, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 6);

    auto* bar = new wxBoxSizer(wxHORIZONTAL);
    m_hold = new wxToggleButton(panel, wxID_ANY, U8("Anhalten"));
    m_hold->Enable(m_session != nullptr);
    auto* all = new wxButton(panel, wxID_ANY, U8("Alles zeigen"));
    auto* csv = new wxButton(panel, wxID_ANY, U8("CSV exportieren..."));
    auto* png = new wxButton(panel, wxID_ANY, U8("Bild speichern..."));
    for (wxWindow* w : std::initializer_list<wxWindow*>{m_hold, all, csv, png})
        bar->Add(w, 0, wxRIGHT, 6);

    m_notice = new wxStaticText(panel, wxID_ANY, wxEmptyString);
    m_notice->SetBackgroundColour(wxColour(255, 236, 160));
    m_notice->SetForegroundColour(*wxBLACK);
    m_notice->Hide();
    m_canvas = new CPlotCanvas(panel, *m_model);
    m_readout = new wxListCtrl(panel, wxID_ANY, wxDefaultPosition, wxSize(-1, 130),
                               wxLC_REPORT | wxLC_SINGLE_SEL);
    const char* headings[] = {"Signal", "Cursor 1", "Cursor 2", "Differenz"};
    const int widths[] = {260, 170, 170, 150};
    for (int i = 0; i < 4; ++i)
        m_readout->AppendColumn(U8(headings[i]), wxLIST_FORMAT_LEFT, widths[i]);

    auto* right = new wxBoxSizer(wxVERTICAL);
    right->Add(bar, 0, wxEXPAND | wxALL, 6);
    right->Add(m_notice, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 6);
    right->Add(m_canvas, 1, wxEXPAND | wxLEFT | wxRIGHT, 6);
    right->Add(new wxStaticText(panel, wxID_ANY,
                                U8("Rechtsklick: Cursor 1, Umschalt+Rechtsklick: Cursor 2; Rad, "
                                   "Ziehen, +/−, Pfeile: zoomen und verschieben (Strg: Werte)")),
               0, wxLEFT | wxTOP, 6);
    right->Add(m_readout, 0, wxEXPAND | wxALL, 6);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(left, 0, wxEXPAND);
    top->Add(right, 1, wxEXPAND);
    panel->SetSizer(top);

    m_search->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { FillList(); });
    m_list->Bind(wxEVT_CHECKLISTBOX, [this](wxCommandEvent& e) {
        const auto row = static_cast<std::size_t>(e.GetInt());
        if (row < m_listed.size())
            Toggle(m_entries[m_listed[row]], m_list->IsChecked(static_cast<unsigned>(row)));
    });
    m_hold->Bind(wxEVT_TOGGLEBUTTON, [this](wxCommandEvent&) { Hold(m_hold->GetValue()); });
    all->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowAll(); });
    m_budget->Bind(wxEVT_SPINCTRL, [this](wxSpinEvent&) {
        SetPointBudget(static_cast<std::size_t>(m_budget->GetValue()) * 1'000'000);
    });
    csv->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        wxFileDialog dlg(this, U8("Sichtbaren Bereich als CSV exportieren"), wxString(),
                         U8("signalverlauf.csv"), U8("CSV-Dateien (*.csv)|*.csv"),
                         wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        std::string error;
        if (dlg.ShowModal() == wxID_OK && !ExportCsv(dlg.GetPath().utf8_string(), error))
            platform::MessageBox(error, "vesk", platform::MessageIcon::kError);
    });
    png->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        wxFileDialog dlg(this, U8("Bild speichern"), wxString(), U8("signalverlauf.png"),
                         U8("PNG-Bilder (*.png)|*.png"), wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        std::string error;
        if (dlg.ShowModal() == wxID_OK && !ExportPng(dlg.GetPath().utf8_string(), error))
            platform::MessageBox(error, "vesk", platform::MessageIcon::kError);
    });
    m_canvas->onViewChanged = [this] { UpdateReadout(); };
    m_canvas->onOperatorMoved = [this] { m_canvas->Viewport().Follow(false); };
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Tick(); });
}

void CPlotWindow::FillList() {
    const std::string wanted = m_search->GetValue().Lower().utf8_string();
    m_listed.clear();
    m_list->Freeze();
    m_list->Clear();
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        const std::string name = e.message + "." + e.signal;
        if (!wanted.empty() && U8(name).Lower().utf8_string().find(wanted) == std::string::npos)
            continue;
        m_listed.push_back(i);
        const unsigned row = static_cast<unsigned>(m_list->Append(U8(name)));
        m_list->Check(
            row, e.series && std::find(m_shown.begin(), m_shown.end(), *e.series) != m_shown.end());
    }
    m_list->Thaw();
}

void CPlotWindow::TakeDatabases() {
    if (!m_session)
        return;
    const auto set = m_session->Databases().Set();
    if (set == m_databases)
        return;
    std::vector<Entry> old = std::move(m_entries);
    m_entries.clear();
    m_databases = set;
    for (const auto& db : set->Databases()) {
        for (const dbc::Message& m : db->messages) {
            for (const dbc::Signal& s : m.signals)
                m_entries.push_back({m.name, s.name, m.id, m.extended, std::nullopt});
        }
    }
    // What was shown stays shown where the new databases still have it.
    for (const Entry& e : old) {
        if (!e.series)
            continue;
        auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& n) {
            return n.frameId == e.frameId && n.extended == e.extended && n.signal == e.signal;
        });
        if (it != m_entries.end()) {
            it->series = e.series;
        } else {
            m_shown.erase(std::remove(m_shown.begin(), m_shown.end(), *e.series), m_shown.end());
            m_model->RemoveSeries(*e.series);
        }
    }
    FillList();
    Reselect();
    UpdateTraces();
}

void CPlotWindow::Toggle(Entry& entry, bool on) {
    const bool shown =
        entry.series && std::find(m_shown.begin(), m_shown.end(), *entry.series) != m_shown.end();
    if (on == shown)
        return;
    if (on) {
        if (!entry.series && m_databases) {
            for (const auto& db : m_databases->Databases()) {
                const dbc::Message* m = db->FindMessage(entry.frameId, entry.extended);
                const int s = m ? m->FindSignal(entry.signal) : -1;
                if (s >= 0) {
                    entry.series = m_model->AddSeries(
                        plot::MakeSeriesInfo(*db, *m, static_cast<std::size_t>(s)));
                    break;
                }
            }
        }
        if (!entry.series)
            return;
        m_shown.push_back(*entry.series);
    } else {
        m_shown.erase(std::remove(m_shown.begin(), m_shown.end(), *entry.series), m_shown.end());
        // Live, a signal taken away takes its points along; a trace keeps all it read.
        if (m_session) {
            m_model->RemoveSeries(*entry.series);
            entry.series.reset();
        }
    }
    Reselect();
    UpdateTraces();
    if (!m_session && on && m_shown.size() == 1)
        m_canvas->ShowAll();
}

void CPlotWindow::Reselect() {
    if (!m_session || !m_databases)
        return;
    auto selection = std::make_unique<PlotSelection>(m_databases);
    for (const Entry& e : m_entries) {
        if (!e.series)
            continue;
        for (const auto& db : m_databases->Databases()) {
            const dbc::Message* m = db->FindMessage(e.frameId, e.extended);
            const int s = m ? m->FindSignal(e.signal) : -1;
            if (s >= 0) {
                selection->Add(*m, static_cast<std::size_t>(s), *e.series);
                break;
            }
        }
    }
    // Once Select returns the receive thread no longer reaches the old one.
    m_session->PlotFeed().Select(selection.get());
    m_selection = std::move(selection);
}

void CPlotWindow::UpdateTraces() {
    std::vector<CPlotCanvas::Trace> traces;
    for (plot::SeriesId id : m_shown)
        traces.push_back({id, Colour(id)});
    m_canvas->SetTraces(std::move(traces));
    UpdateReadout();
}

bool CPlotWindow::ChooseSignal(const std::string& message, const std::string& signal, bool on) {
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        Entry& e = m_entries[i];
        if (e.message != message || e.signal != signal)
            continue;
        Toggle(e, on);
        const auto row = std::find(m_listed.begin(), m_listed.end(), i);
        if (row != m_listed.end())
            m_list->Check(static_cast<unsigned>(row - m_listed.begin()), on);
        return true;
    }
    return false;
}

void CPlotWindow::ChooseOnly(const std::vector<std::string>& names) {
    SetSearch(wxString());
    for (std::size_t row = 0; row < m_listed.size(); ++row) {
        m_list->Check(static_cast<unsigned>(row), false);
        Toggle(m_entries[m_listed[row]], false);
    }
    std::string missing;
    for (const std::string& name : names) {
        const std::size_t dot = name.find('.');
        if (dot == std::string::npos ||
            !ChooseSignal(name.substr(0, dot), name.substr(dot + 1), true))
            missing += (missing.empty() ? "„" : ", „") + name + "“";
    }
    if (!missing.empty()) {
        platform::MessageBox("Diese Signale gibt es nicht: " + missing + ".", "vesk",
                             platform::MessageIcon::kExclamation);
    }
    m_canvas->ShowAll();
}

void CPlotWindow::SetSearch(const wxString& text) {
    m_search->ChangeValue(text);
    FillList();
}

std::vector<std::string> CPlotWindow::ListedSignals() const {
    std::vector<std::string> names;
    for (unsigned i = 0; i < m_list->GetCount(); ++i)
        names.push_back(m_list->GetString(i).utf8_string());
    return names;
}

std::optional<plot::SeriesId> CPlotWindow::SeriesOf(const std::string& message,
                                                    const std::string& signal) const {
    for (const Entry& e : m_entries) {
        if (e.message == message && e.signal == signal && e.series &&
            std::find(m_shown.begin(), m_shown.end(), *e.series) != m_shown.end())
            return e.series;
    }
    return std::nullopt;
}

void CPlotWindow::Hold(bool hold) {
    m_hold->SetValue(hold);
    if (hold == IsHeld())
        return;
    if (hold) {
        std::int64_t newest = m_canvas->Viewport().ToNs();
        for (plot::SeriesId id : m_shown) {
            if (const auto last = m_model->Series(id)->LastTimeNs())
                newest = std::max(newest, *last);
        }
        m_held = newest;
        m_canvas->SetDrawLimit(m_held);
        m_canvas->Viewport().Follow(false);
    } else {
        m_held.reset();
        m_canvas->SetDrawLimit(std::nullopt);
        m_canvas->Viewport().Follow(m_session != nullptr);
    }
    m_canvas->Refresh(false);
}

void CPlotWindow::ShowAll() {
    m_canvas->ShowAll();
    if (m_session && !IsHeld())
        m_canvas->Viewport().Follow(true);
}

void CPlotWindow::SetPointBudget(std::size_t points) {
    m_model->SetPointBudget(points);
    // The operator's choice, for this window and every next one.
    if (!settings::SavePlotPointBudget(m_model->PointBudget()))
        platform::MessageBox("Die Einstellung „Punkte höchstens“ kann nicht gespeichert werden.",
                             "vesk", platform::MessageIcon::kError);
    m_budget->SetValue(
        static_cast<int>(std::min<std::size_t>(m_model->PointBudget() / 1'000'000, 200)));
    UpdateNotice();
    m_canvas->Refresh(false);
}

bool CPlotWindow::ExportCsv(const std::string& path, std::string& error) const {
    const plot::PlotViewport& v = m_canvas->Viewport();
    const std::int64_t to = m_held ? std::min(v.ToNs(), *m_held) : v.ToNs();
    return WriteFile(path, plot::RangeCsv(*m_model, m_shown, v.FromNs(), to, m_originNs), error);
}

bool CPlotWindow::ExportPng(const std::string& path, std::string& error) const {
    return m_canvas->SavePng(path, error);
}

void CPlotWindow::Tick() {
    if (!m_session)
        return;
    TakeDatabases();
    m_session->PlotFeed().Drain(*m_model);
    plot::PlotViewport& view = m_canvas->Viewport();
    if (!IsHeld() && view.Following()) {
        std::optional<std::int64_t> newest;
        for (plot::SeriesId id : m_shown) {
            if (const auto last = m_model->Series(id)->LastTimeNs())
                newest = std::max(newest.value_or(*last), *last);
        }
        if (newest) {
            view.FollowTo(*newest);
            m_canvas->FitValues();
        }
        m_canvas->Refresh(false);
    }
    UpdateNotice();
    UpdateReadout();
}

wxString CPlotWindow::NoticeText() const {
    return m_notice->IsShown() ? m_notice->GetLabel() : wxString();
}

void CPlotWindow::UpdateNotice() {
    const std::uint64_t letGo = m_model->PointsLetGo();
    const std::uint64_t dropped = m_session ? m_session->PlotFeed().Dropped() - m_droppedBefore : 0;
    if (letGo == 0 && dropped == 0) {
        if (m_notice->IsShown()) {
            m_notice->Hide();
            m_notice->GetParent()->Layout();
        }
        return;
    }
    char text[256];
    int n = std::snprintf(text, sizeof text,
                          " Ältere Punkte verworfen: %" PRIu64
                          " (es werden höchstens %zu Punkte gehalten)",
                          letGo, m_model->PointBudget());
    if (dropped > 0 && n > 0 && static_cast<std::size_t>(n) < sizeof text) {
        std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n),
                      "; %" PRIu64 " Werte kamen nicht rechtzeitig an", dropped);
    }
    const wxString label = U8(text);
    if (m_notice->GetLabel() != label)
        m_notice->SetLabel(label);
    if (!m_notice->IsShown()) {
        m_notice->Show();
        m_notice->GetParent()->Layout();
    }
}

std::string CPlotWindow::ValueText(plot::SeriesId id, std::int64_t timeNs,
                                   std::optional<double>& value) const {
    value.reset();
    const plot::SignalSeries* s = m_model->Series(id);
    if (!s)
        return {};
    if (m_held && timeNs > *m_held)
        timeNs = *m_held;
    const auto p = s->AtOrBefore(timeNs);
    if (!p)
        return {};
    if (p->gap != plot::Gap::kNone) {
        return std::string(dbc::StateText(p->gap == plot::Gap::kShortFrame
                                              ? dbc::SignalState::kShortFrame
                                              : dbc::SignalState::kNotSelected));
    }
    value = s->Physical(p->raw);
    std::string text = NumberText(*value);
    if (!s->Info().signal.unit.empty())
        text += " " + s->Info().signal.unit;
    if (const std::string* label = s->Label(p->raw))
        text += " (" + *label + ")";
    return text;
}

int CPlotWindow::ReadoutRows() const {
    return m_readout->GetItemCount();
}

wxString CPlotWindow::ReadoutCell(int row, int column) const {
    return m_readout->GetItemText(row, column);
}

void CPlotWindow::UpdateReadout() {
    const auto c1 = m_canvas->CursorNs(0), c2 = m_canvas->CursorNs(1);
    // Without cursors the readout holds the names only, which change with the choice alone.
    if (!c1 && !c2 && m_readoutNamesOf == m_shown)
        return;
    if (!c1 && !c2)
        m_readoutNamesOf = m_shown;
    else
        m_readoutNamesOf.reset();
    std::vector<std::array<std::string, 4>> rows;
    std::array<std::string, 4> times{"Zeit", c1 ? TimeText(*c1) : "", c2 ? TimeText(*c2) : "", ""};
    if (c1 && c2)
        times[3] = TimeText(*c2 - *c1);
    rows.push_back(times);
    for (plot::SeriesId id : m_shown) {
        const plot::SignalSeries* s = m_model->Series(id);
        if (!s)
            continue;
        std::array<std::string, 4> row;
        row[0] = s->Info().messageName + "." + s->Info().signal.name;
        std::optional<double> v1, v2;
        if (c1)
            row[1] = ValueText(id, *c1, v1);
        if (c2)
            row[2] = ValueText(id, *c2, v2);
        if (v1 && v2)
            row[3] = NumberText(*v2 - *v1);
        rows.push_back(row);
    }
    // Only cells whose text changed are set, so that the updates of every tick do not flicker.
    while (m_readout->GetItemCount() > static_cast<int>(rows.size()))
        m_readout->DeleteItem(m_readout->GetItemCount() - 1);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const long row = static_cast<long>(r);
        if (row >= m_readout->GetItemCount())
            m_readout->InsertItem(row, wxString());
        for (int c = 0; c < 4; ++c) {
            const wxString text = U8(rows[r][static_cast<std::size_t>(c)]);
            if (m_readout->GetItemText(row, c) != text)
                m_readout->SetItem(row, c, text);
        }
    }
}

CPlotWindow* OpenTracePlot(wxWindow* parent, const std::string& path,
                           const std::shared_ptr<const dbc::DatabaseSet>& databases,
                           bool showProgress) {
    auto model = std::make_unique<plot::PlotModel>(
        settings::LoadPlotPointBudget(plot::PlotModel::kDefaultPointBudget));
    TraceEvaluation result;
    if (showProgress) {
        wxProgressDialog progress(
            U8("Aufzeichnung auswerten"), U8("Die Aufzeichnung wird gelesen und dekodiert..."),
            1000, parent, wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME);
        result = EvaluateTrace(path, *databases, *model, [&](double f) {
            return progress.Update(static_cast<int>(f * 1000));
        });
    } else {
        result = EvaluateTrace(path, *databases, *model);
    }
    if (result.cancelled)
        return nullptr;
    if (!result.ok) {
        platform::MessageBox(result.error, "vesk", platform::MessageIcon::kError);
        return nullptr;
    }
    if (model->Ids().empty()) {
        platform::MessageBox(
            "Die Aufzeichnung „" + path + "“ enthält keine Botschaft der geladenen Datenbanken.",
            "vesk", platform::MessageIcon::kExclamation);
        return nullptr;
    }
    auto* window = new CPlotWindow(parent, std::move(model),
                                   wxFileName(wxString::FromUTF8(path)).GetFullName().utf8_string(),
                                   result.startNs);
    window->Show();
    return window;
}
