// The view's commands for signals over time: the live plot window and a trace's.
#include <wx/filedlg.h>

#include "platform/message_box.h"
#include "ui/plot_window.h"
#include "ui/utf8_text.h"
#include "ui/vesk_view.h"

CPlotWindow* CVeskView::ShowPlot() {
    if (!m_plot)
        m_plot = new CPlotWindow(m_frame, m_session);
    m_plot->Show();
    m_plot->Raise();
    return m_plot.get();
}

CPlotWindow* CVeskView::PlotTrace(const std::string& path, bool showProgress) {
    if (m_session.Databases().Empty()) {
        platform::MessageBox(
            "Zum Auswerten einer Aufzeichnung muss eine Datenbank geladen sein "
            "(Menü „Datenbank“).",
            "vesk", platform::MessageIcon::kExclamation);
        return nullptr;
    }
    return OpenTracePlot(m_frame, path, m_session.Databases().Set(), showProgress);
}

void CVeskView::OnViewPlot(wxCommandEvent&) {
    ShowPlot();
}

void CVeskView::OnPlotTrace(wxCommandEvent&) {
    wxFileDialog dlg(GetListWindow(), U8("Aufzeichnung auswerten"), wxString(), wxString(),
                     U8("Aufzeichnungen (*.log;*.asc)|*.log;*.asc|candump-Protokoll (*.log)|*.log|"
                        "ASC-Protokoll (*.asc)|*.asc"),
                     wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dlg.ShowModal() != wxID_OK)
        return;
    PlotTrace(dlg.GetPath().utf8_string());
}

void CVeskView::OnUpdatePlot(wxUpdateUIEvent& event) {
    event.Enable(!m_session.Databases().Empty());
}
