#include "ui/signal_send_dlg.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/scrolwin.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "dbc/signal_decoder.h"
#include "monitor/monitor_session.h"
#include "settings/settings.h"
#include "ui/dialog_template.h"
#include "ui/utf8_text.h"

namespace {

enum {
    kIdSearch = 1100,
    kIdMessage,
    kIdSendOnce,
    kIdSendCyclic,
    kIdStop,
    kIdStopAll,
};

std::string Shortest(double v) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    return std::string(text, ec == std::errc() ? end : text);
}

std::string IdText(std::uint32_t id, bool extended) {
    char text[16];
    std::snprintf(text, sizeof text, extended ? "0x%08X" : "0x%03X", id);
    return text;
}

wxString MessageText(const dbc::Message& m) {
    return U8(m.name + " (" + IdText(m.id, m.extended) + ")");
}

// The physical value that a raw value stands for, as a field shows it.
std::string PhysicalText(const dbc::Signal& s, std::uint64_t raw) {
    return Shortest(dbc::RawNumber(s, raw) * s.factor + s.offset);
}

bool Matches(const dbc::Message& m, const std::string& search) {
    if (search.empty())
        return true;
    std::string name = m.name, wanted = search;
    for (std::string* t : {&name, &wanted})
        std::transform(t->begin(), t->end(), t->begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name.find(wanted) != std::string::npos)
        return true;
    // By identifier: hexadecimal, with or without "0x".
    std::string_view hex = wanted;
    if (hex.starts_with("0x"))
        hex.remove_prefix(2);
    std::uint32_t id = 0;
    auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), id, 16);
    return !hex.empty() && ec == std::errc() && end == hex.data() + hex.size() && id == m.id;
}

}  // namespace

CSignalSendDlg::CSignalSendDlg(wxWindow* parent, MonitorSession& session)
    : wxDialog(parent, wxID_ANY, U8("Datenbank-Botschaft senden"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_session(session) {
    auto* top = new wxBoxSizer(wxVERTICAL);

    auto* pick = new wxBoxSizer(wxHORIZONTAL);
    pick->Add(new wxStaticText(this, wxID_ANY, U8("Suche:")), 0, wxALIGN_CENTER_VERTICAL);
    m_search = new wxTextCtrl(this, kIdSearch);
    m_search->SetHint(U8("Name oder ID"));
    pick->Add(m_search, 0, wxLEFT | wxALIGN_CENTER_VERTICAL, 4);
    pick->Add(new wxStaticText(this, wxID_ANY, U8("Botschaft:")), 0,
              wxLEFT | wxALIGN_CENTER_VERTICAL, 12);
    m_messages = new wxChoice(this, kIdMessage);
    pick->Add(m_messages, 1, wxLEFT | wxALIGN_CENTER_VERTICAL, 4);
    top->Add(pick, 0, wxEXPAND | wxALL, 8);

    m_info = new wxStaticText(this, wxID_ANY, wxString());
    top->Add(m_info, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);

    m_signals = new wxScrolledWindow(this, wxID_ANY, wxDefaultPosition, wxSize(460, 220),
                                     wxVSCROLL | wxBORDER_THEME);
    m_signals->SetScrollRate(0, 10);
    m_grid = new wxFlexGridSizer(3, 4, 8);
    m_grid->AddGrowableCol(1, 1);
    m_signals->SetSizer(m_grid);
    top->Add(m_signals, 1, wxEXPAND | wxALL, 8);

    auto* bytes = new wxBoxSizer(wxHORIZONTAL);
    bytes->Add(new wxStaticText(this, wxID_ANY, U8("Bytes:")), 0, wxALIGN_CENTER_VERTICAL);
    m_bytes = new wxStaticText(this, wxID_ANY, wxString());
    m_bytes->SetFont(wxSystemSettings::GetFont(wxSYS_ANSI_FIXED_FONT));
    bytes->Add(m_bytes, 1, wxLEFT | wxALIGN_CENTER_VERTICAL, 4);
    top->Add(bytes, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    m_problem = new wxStaticText(this, wxID_ANY, wxString());
    m_problem->SetForegroundColour(*wxRED);
    top->Add(m_problem, 0, wxEXPAND | wxALL, 8);

    auto* send = new wxBoxSizer(wxHORIZONTAL);
    send->Add(new wxButton(this, kIdSendOnce, U8("Einmal senden")), 0, wxALIGN_CENTER_VERTICAL);
    send->Add(new wxButton(this, kIdSendCyclic, U8("Zyklisch senden")), 0,
              wxLEFT | wxALIGN_CENTER_VERTICAL, 12);
    send->Add(new wxStaticText(this, wxID_ANY, U8("alle")), 0, wxLEFT | wxALIGN_CENTER_VERTICAL, 6);
    m_cycle = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxSize(70, -1));
    send->Add(m_cycle, 0, wxLEFT | wxALIGN_CENTER_VERTICAL, 4);
    send->Add(new wxStaticText(this, wxID_ANY, U8("ms")), 0, wxLEFT | wxALIGN_CENTER_VERTICAL, 4);
    top->Add(send, 0, wxLEFT | wxRIGHT, 8);

    auto* running = new wxStaticBoxSizer(wxVERTICAL, this, U8("Zyklisch gesendet"));
    m_jobs = new wxListBox(running->GetStaticBox(), wxID_ANY, wxDefaultPosition, wxSize(-1, 80));
    running->Add(m_jobs, 1, wxEXPAND);
    auto* stop = new wxBoxSizer(wxHORIZONTAL);
    stop->Add(new wxButton(running->GetStaticBox(), kIdStop, U8("Anhalten")));
    stop->Add(new wxButton(running->GetStaticBox(), kIdStopAll, U8("Alle anhalten")), 0, wxLEFT, 8);
    running->Add(stop, 0, wxTOP, 4);
    top->Add(running, 0, wxEXPAND | wxALL, 8);

    top->Add(new wxButton(this, wxID_CLOSE, U8("Schließen")), 0, wxALIGN_RIGHT | wxRIGHT | wxBOTTOM,
             8);
    SetSizerAndFit(top);

    m_search->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { FillMessages(); });
    m_messages->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { BuildRows(); });
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { SendOnce(); }, kIdSendOnce);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { SendCyclic(); }, kIdSendCyclic);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { StopJob(m_jobs->GetSelection()); }, kIdStop);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { StopAllJobs(); }, kIdStopAll);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { Hide(); }, wxID_CLOSE);
    // Modeless: closing hides, and the jobs run on.
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Hide(); });
    for (int id : {kIdSendOnce, kIdSendCyclic}) {
        Bind(
            wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) { e.Enable(Ready()); }, id);
    }
    Bind(
        wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) { e.Enable(m_jobs->GetSelection() >= 0); },
        kIdStop);
    m_jobs->Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent&) { RefreshJobs(); });
}

void CSignalSendDlg::Present(const wxWindow& mainWindow) {
    if (m_databases != m_session.Databases().Set())
        FillMessages();
    PlaceOnceOver(*this, mainWindow, m_placed);
    RefreshJobs();
    Show();
    Raise();
}

void CSignalSendDlg::FillMessages() {
    const std::string chosen = m_message ? m_message->name : std::string();
    m_databases = m_session.Databases().Set();
    m_offered.clear();
    const std::string search = m_search->GetValue().utf8_string();
    for (const auto& db : m_databases->Databases()) {
        for (const dbc::Message& m : db->messages) {
            if (Matches(m, search))
                m_offered.push_back(&m);
        }
    }
    m_messages->Clear();
    int keep = m_offered.empty() ? -1 : 0;
    for (std::size_t i = 0; i < m_offered.size(); ++i) {
        m_messages->Append(MessageText(*m_offered[i]));
        if (m_offered[i]->name == chosen)
            keep = static_cast<int>(i);
    }
    m_messages->SetSelection(keep);
    if (keep < 0 || m_offered[keep] != m_message)
        BuildRows();
}

std::vector<wxString> CSignalSendDlg::MessageTexts() const {
    std::vector<wxString> texts;
    for (const dbc::Message* m : m_offered)
        texts.push_back(MessageText(*m));
    return texts;
}

void CSignalSendDlg::SetSearch(const wxString& text) {
    m_search->ChangeValue(text);
    FillMessages();
}

bool CSignalSendDlg::SelectMessage(const std::string& name) {
    for (std::size_t i = 0; i < m_offered.size(); ++i) {
        if (m_offered[i]->name == name) {
            if (m_offered[i] != m_message) {
                m_messages->SetSelection(static_cast<int>(i));
                BuildRows();
            }
            return true;
        }
    }
    return false;
}

void CSignalSendDlg::BuildRows() {
    m_signals->Freeze();
    m_grid->Clear(true);
    m_rows.clear();
    const int chosen = m_messages->GetSelection();
    m_message = chosen >= 0 ? m_offered[static_cast<std::size_t>(chosen)] : nullptr;
    if (!m_message) {
        m_info->SetLabel(m_offered.empty() ? U8("Keine Botschaft gefunden.") : wxString());
    } else {
        const dbc::Message& m = *m_message;
        m_info->SetLabel(
            U8(IdText(m.id, m.extended) + (m.extended ? ", 29 Bit, " : ", 11 Bit, ") +
               std::to_string(m.length) + " Bytes" +
               (m.cycleTimeMs > 0 ? ", Zykluszeit " + std::to_string(m.cycleTimeMs) + " ms"
                                  : std::string())));
        m_cycle->ChangeValue(std::to_string(m.cycleTimeMs > 0 ? m.cycleTimeMs : 100));
        // The values typed before, else those sent last time, else each signal's start value.
        std::vector<dbc::SignalAssignment> kept;
        std::string ignored;
        const auto edited = m_edited.find(m.name);
        if (auto read = dbc::ParseSignalValues(
                edited != m_edited.end() ? edited->second : settings::LoadSignalValues(m.name),
                ignored))
            kept = std::move(*read);
        for (std::size_t i = 0; i < m.signals.size(); ++i) {
            const dbc::Signal& s = m.signals[i];
            Row row;
            row.signal = static_cast<int>(i);
            row.name = new wxStaticText(m_signals, wxID_ANY, U8(s.name));
            const auto given = std::find_if(kept.begin(), kept.end(), [&](const auto& a) {
                return m.FindSignal(a.signal) == static_cast<int>(i);
            });
            const std::uint64_t start = s.startValue.value_or(0);
            std::string range = s.unit;
            if (s.minimum != 0 || s.maximum != 0)
                range +=
                    (range.empty() ? "" : "  ") + Shortest(s.minimum) + " … " + Shortest(s.maximum);
            if (!s.labels.empty()) {
                auto* choice = new wxChoice(m_signals, wxID_ANY);
                for (const dbc::ValueLabel& l : s.labels)
                    choice->Append(U8(l.text));
                const std::string* label = s.Label(start);
                std::string wanted = label ? *label : std::string();
                if (given != kept.end())
                    wanted = given->label.empty() ? std::string() : given->label;
                choice->SetStringSelection(U8(wanted));
                choice->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { ValuesChanged(); });
                row.editor = choice;
            } else {
                std::string text = PhysicalText(s, start);
                if (given != kept.end())
                    text = given->label.empty() ? Shortest(given->physical) : given->label;
                auto* field = new wxTextCtrl(m_signals, wxID_ANY, U8(text));
                field->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { ValuesChanged(); });
                row.editor = field;
            }
            row.unit = new wxStaticText(m_signals, wxID_ANY, U8(range));
            m_grid->Add(row.name, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 4);
            m_grid->Add(row.editor, 1, wxEXPAND);
            m_grid->Add(row.unit, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
            m_rows.push_back(row);
        }
    }
    ShowSelectedRows();
    m_signals->Thaw();
    ShowBytes();
}

// A signal is shown when its multiplexer is and selects it with the value in its field.
void CSignalSendDlg::ShowSelectedRows() {
    if (!m_message)
        return;
    const dbc::Message& m = *m_message;
    std::vector<char> shown(m.signals.size(), 0);
    std::vector<std::optional<std::uint64_t>> raw(m.signals.size());
    for (const dbc::SignalPlan& p : m.plan) {
        const dbc::Signal& s = m.signals[p.signal];
        bool on = s.multiplexer < 0;
        if (!on && shown[s.multiplexer] && raw[s.multiplexer]) {
            on = std::any_of(s.multiplexValues.begin(), s.multiplexValues.end(), [&](auto& r) {
                return *raw[s.multiplexer] >= r.first && *raw[s.multiplexer] <= r.last;
            });
        }
        shown[p.signal] = on;
        if (on && s.isMultiplexer) {
            const std::string text = EditorText(m_rows[p.signal]).utf8_string();
            std::string ignored;
            if (const auto n = dbc::ParsePhysical(text))
                raw[p.signal] = dbc::PhysicalToRaw(s, *n, ignored);
            else
                raw[p.signal] = s.RawOfLabel(text);
        }
    }
    bool changed = false;
    for (Row& row : m_rows) {
        const bool on = shown[row.signal] != 0;
        if (row.name->IsShown() != on) {
            changed = true;
            for (wxWindow* w :
                 {static_cast<wxWindow*>(row.name), row.editor, static_cast<wxWindow*>(row.unit)})
                w->Show(on);
        }
    }
    if (changed || m_rows.empty()) {
        m_signals->FitInside();
        m_signals->Layout();
    }
}

const CSignalSendDlg::Row* CSignalSendDlg::FindRow(const std::string& signal) const {
    if (!m_message)
        return nullptr;
    const int i = m_message->FindSignal(signal);
    return i >= 0 ? &m_rows[static_cast<std::size_t>(i)] : nullptr;
}

wxString CSignalSendDlg::EditorText(const Row& row) const {
    if (auto* choice = dynamic_cast<wxChoice*>(row.editor))
        return choice->GetStringSelection();
    return static_cast<wxTextCtrl*>(row.editor)->GetValue();
}

bool CSignalSendDlg::SetSignalValue(const std::string& signal, const wxString& text) {
    const Row* row = FindRow(signal);
    if (!row || !row->name->IsShown())
        return false;
    if (auto* choice = dynamic_cast<wxChoice*>(row->editor)) {
        if (!choice->SetStringSelection(text))
            return false;
    } else {
        static_cast<wxTextCtrl*>(row->editor)->ChangeValue(text);
    }
    ValuesChanged();
    return true;
}

bool CSignalSendDlg::IsSignalShown(const std::string& signal) const {
    const Row* row = FindRow(signal);
    return row && row->name->IsShown();
}

wxString CSignalSendDlg::SignalValue(const std::string& signal) const {
    const Row* row = FindRow(signal);
    return row ? EditorText(*row) : wxString();
}

void CSignalSendDlg::SetCycleText(const wxString& ms) {
    m_cycle->ChangeValue(ms);
}

wxString CSignalSendDlg::CycleText() const {
    return m_cycle->GetValue();
}

// The shown signals' fields; an empty one (or a choice without a label) leaves its signal at its
// start value.
std::vector<dbc::SignalAssignment> CSignalSendDlg::Values() const {
    std::vector<dbc::SignalAssignment> values;
    for (const Row& row : m_rows) {
        const std::string text = EditorText(row).Trim(true).Trim(false).utf8_string();
        if (!row.name->IsShown() || text.empty())
            continue;
        dbc::SignalAssignment a;
        a.signal = m_message->signals[static_cast<std::size_t>(row.signal)].name;
        const auto number =
            dynamic_cast<wxChoice*>(row.editor) ? std::nullopt : dbc::ParsePhysical(text);
        if (number)
            a.physical = *number;
        else
            a.label = text;
        values.push_back(std::move(a));
    }
    return values;
}

bool CSignalSendDlg::ShowBytes() {
    if (!m_message) {
        m_bytes->SetLabel(wxString());
        ShowProblem("");
        return false;
    }
    std::string error;
    const int mode = m_session.IsOpen() ? m_session.Channel()->mode : CAN_MODE_PELICAN;
    const auto msg = EncodeForChannel(*m_message, Values(), mode, error);
    std::string hex;
    if (msg) {
        char byte[4];
        for (int i = 0; i < msg->dlc; ++i) {
            std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", msg->data[i]);
            hex += byte;
        }
    }
    m_bytes->SetLabel(U8(hex));
    ShowProblem(error);
    MarkRefusedFields();
    return msg.has_value();
}

// The fields whose own value cannot go out, so the operator sees which one the text means.
void CSignalSendDlg::MarkRefusedFields() {
    for (Row& row : m_rows) {
        auto* field = dynamic_cast<wxTextCtrl*>(row.editor);
        if (!field)
            continue;
        const dbc::Signal& s = m_message->signals[static_cast<std::size_t>(row.signal)];
        const std::string text = field->GetValue().Trim(true).Trim(false).utf8_string();
        std::string ignored;
        const auto number = dbc::ParsePhysical(text);
        const bool refused =
            row.name->IsShown() && !text.empty() &&
            (number ? !dbc::PhysicalToRaw(s, *number, ignored) : !s.RawOfLabel(text));
        if (refused == row.refused)
            continue;
        row.refused = refused;
        field->SetBackgroundColour(refused ? wxColour(255, 210, 210) : wxNullColour);
        field->Refresh();
    }
}

bool CSignalSendDlg::IsSignalRefused(const std::string& signal) const {
    const Row* row = FindRow(signal);
    return row && row->refused;
}

void CSignalSendDlg::ShowProblem(const std::string& problem) {
    if (m_problem->GetLabel() == U8(problem))
        return;
    m_problem->SetLabel(U8(problem));
    m_problem->Wrap(GetClientSize().x - 16);
    Layout();
}

void CSignalSendDlg::ValuesChanged() {
    ShowSelectedRows();
    if (m_message)
        m_edited[m_message->name] = dbc::FormatSignalValues(Values());
    if (!ShowBytes() || !m_message)
        return;
    // A running message sends the new values from its next send on.
    if (m_session.Sender().IsRunning(m_message->id, m_message->extended)) {
        std::string error;
        const auto values = Values();
        if (m_session.Sender().Update(*m_message, values, error))
            SaveValues(values);
        else
            ShowProblem(error);
    }
}

void CSignalSendDlg::SaveValues(const std::vector<dbc::SignalAssignment>& values) const {
    settings::SaveSignalValues(m_message->name, dbc::FormatSignalValues(values));
}

bool CSignalSendDlg::Ready() const {
    return m_message && m_session.IsOpen();
}

wxString CSignalSendDlg::BytesText() const {
    return m_bytes->GetLabel();
}

wxString CSignalSendDlg::ProblemText() const {
    return m_problem->GetLabel();
}

void CSignalSendDlg::SendOnce() {
    if (!m_message)
        return;
    std::string error;
    const auto values = Values();
    if (!m_session.Sender().SendOnce(*m_message, values, error)) {
        ShowProblem(error);
        return;
    }
    ShowProblem("");
    SaveValues(values);
}

void CSignalSendDlg::SendCyclic() {
    if (!m_message)
        return;
    std::string error;
    const auto values = Values();
    const std::string cycle = m_cycle->GetValue().Trim(true).Trim(false).utf8_string();
    std::uint32_t ms = 0;
    auto [end, ec] = std::from_chars(cycle.data(), cycle.data() + cycle.size(), ms);
    if (ec != std::errc() || end != cycle.data() + cycle.size()) {
        ShowProblem("Die Zykluszeit \"" + cycle + "\" ist keine Zahl von Millisekunden.");
        return;
    }
    if (!m_session.Sender().SendCyclic(*m_message, values, ms, error)) {
        ShowProblem(error);
        return;
    }
    ShowProblem("");
    SaveValues(values);
    RefreshJobs();
}

std::vector<wxString> CSignalSendDlg::JobTexts() const {
    return m_jobTexts;
}

void CSignalSendDlg::StopJob(int index) {
    const auto& jobs = m_session.Sender().Jobs();
    if (index < 0 || static_cast<std::size_t>(index) >= jobs.size())
        return;
    m_session.Sender().Stop(jobs[static_cast<std::size_t>(index)].id,
                            jobs[static_cast<std::size_t>(index)].extended);
    RefreshJobs();
}

void CSignalSendDlg::StopAllJobs() {
    m_session.Sender().StopAll();
    RefreshJobs();
}

void CSignalSendDlg::RefreshJobs() {
    std::vector<wxString> texts;
    for (const SignalSender::Job& job : m_session.Sender().Jobs()) {
        texts.push_back(U8(job.name + " (" + IdText(job.id, job.extended) + ") alle " +
                           std::to_string(job.cycleMs) + " ms"));
    }
    if (texts == m_jobTexts)
        return;
    const int selected = m_jobs->GetSelection();
    m_jobTexts = texts;
    m_jobs->Clear();
    for (const wxString& t : m_jobTexts)
        m_jobs->Append(t);
    if (selected >= 0 && selected < static_cast<int>(m_jobTexts.size()))
        m_jobs->SetSelection(selected);
}
