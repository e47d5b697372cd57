#include "ui/plot_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/settings.h>

#include "dbc/decoded_csv.h"
#include "ui/utf8_text.h"

namespace {

constexpr int kLeftMargin = 64;
constexpr int kBottomMargin = 22;
constexpr int kTopMargin = 4;
constexpr int kRightMargin = 8;
constexpr double kWheelZoom = 0.8;  // one wheel step in
constexpr double kKeyPan = 0.1;     // of the range per arrow key

// A tick step of 1, 2 or 5 times a power of ten, about `wanted` long.
double NiceStep(double wanted) {
    if (!(wanted > 0))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(wanted)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * power >= wanted)
            return m * power;
    }
    return 10 * power;
}

wxString NumberText(double value, double step) {
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step))), 0, 9);
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, std::abs(value) < step / 2 ? 0.0 : value);
    return wxString::FromUTF8(text);
}

}  // namespace

CPlotCanvas::CPlotCanvas(wxWindow* parent, const plot::PlotModel& model)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(600, 300), wxWANTS_CHARS),
      m_model(model) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CPlotCanvas::OnPaint, this);
    Bind(wxEVT_MOUSEWHEEL, &CPlotCanvas::OnWheel, this);
    for (auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_MOTION, wxEVT_RIGHT_DOWN})
        Bind(type, &CPlotCanvas::OnMouse, this);
    Bind(wxEVT_KEY_DOWN, &CPlotCanvas::OnKey, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        Refresh(false);
        e.Skip();
    });
}

void CPlotCanvas::SetTraces(std::vector<Trace> traces) {
    m_traces = std::move(traces);
    Refresh(false);
}

wxRect CPlotCanvas::PlotArea() const {
    const wxSize size = GetClientSize();
    return {kLeftMargin, kTopMargin, std::max(1, size.x - kLeftMargin - kRightMargin),
            std::max(1, size.y - kTopMargin - kBottomMargin)};
}

std::int64_t CPlotCanvas::TimeAt(int x) const {
    const wxRect area = PlotArea();
    const double share = static_cast<double>(x - area.x) / area.width;
    return m_view.FromNs() + std::llround(share * static_cast<double>(m_view.SpanNs()));
}

double CPlotCanvas::ValueAt(int y) const {
    const wxRect area = PlotArea();
    const double share = static_cast<double>(area.GetBottom() - y) / area.height;
    return m_view.Low() + share * (m_view.High() - m_view.Low());
}

void CPlotCanvas::Changed() {
    Refresh(false);
    if (onViewChanged)
        onViewChanged();
}

void CPlotCanvas::ShowAll() {
    std::optional<std::int64_t> first, last;
    for (const Trace& t : m_traces) {
        const plot::SignalSeries* s = m_model.Series(t.id);
        if (!s || s->Empty())
            continue;
        first = std::min(first.value_or(*s->FirstTimeNs()), *s->FirstTimeNs());
        last = std::max(last.value_or(*s->LastTimeNs()), *s->LastTimeNs());
    }
    if (first)
        m_view.SetTime(*first, std::max(*last, *first + 1));
    FitValues();
}

void CPlotCanvas::FitValues() {
    std::optional<double> low, high;
    for (const Trace& t : m_traces) {
        const plot::SignalSeries* s = m_model.Series(t.id);
        if (!s)
            continue;
        if (const auto range = s->ValueRange(m_view.FromNs(), m_view.ToNs())) {
            low = std::min(low.value_or(range->first), range->first);
            high = std::max(high.value_or(range->second), range->second);
        }
    }
    if (low) {
        const double margin = std::max((*high - *low) * 0.05, 0.5);
        m_view.SetValues(*low - margin, *high + margin);
    }
    Changed();
}

void CPlotCanvas::SetCursorNs(int which, std::int64_t timeNs) {
    m_cursor[which] = timeNs;
    Changed();
}

void CPlotCanvas::Zoom(Axes axes, double factor, wxPoint anchor) {
    if (axes & kTime)
        m_view.ZoomTime(factor, TimeAt(anchor.x));
    if (axes & kValues)
        m_view.ZoomValues(factor, ValueAt(anchor.y));
    if (onOperatorMoved && (axes & kTime))
        onOperatorMoved();
    Changed();
}

void CPlotCanvas::Pan(Axes axes, wxPoint pixels) {
    const wxRect area = PlotArea();
    if (axes & kTime) {
        m_view.PanTime(-std::llround(static_cast<double>(pixels.x) / area.width *
                                     static_cast<double>(m_view.SpanNs())));
        if (onOperatorMoved)
            onOperatorMoved();
    }
    if (axes & kValues)
        m_view.PanValues(static_cast<double>(pixels.y) / area.height * (m_view.High() - m_view.Low()));
    Changed();
}

CPlotCanvas::Axes CPlotCanvas::AxesOf(int modifiers, bool wheel) {
    const bool ctrl = modifiers & wxMOD_CONTROL;
    const bool shift = modifiers & wxMOD_SHIFT;
    if (wheel) {
        if (shift)
            return kBoth;
        return ctrl ? kValues : kTime;
    }
    if (shift)
        return kTime;
    return ctrl ? kValues : kBoth;
}

void CPlotCanvas::OnWheel(wxMouseEvent& event) {
    const int steps = event.GetWheelRotation() / std::max(1, event.GetWheelDelta());
    if (steps == 0)
        return;
    Zoom(AxesOf(event.GetModifiers(), true), std::pow(kWheelZoom, steps), event.GetPosition());
}

void CPlotCanvas::OnMouse(wxMouseEvent& event) {
    if (event.GetEventType() == wxEVT_LEFT_DOWN) {
        SetFocus();
        m_dragFrom = event.GetPosition();
        m_dragAxes = AxesOf(event.GetModifiers(), false);
        CaptureMouse();
    } else if (event.GetEventType() == wxEVT_LEFT_UP) {
        m_dragFrom.reset();
        if (HasCapture())
            ReleaseMouse();
    } else if (event.GetEventType() == wxEVT_MOTION) {
        if (m_dragFrom && event.LeftIsDown()) {
            const wxPoint to = event.GetPosition();
            Pan(m_dragAxes, to - *m_dragFrom);
            m_dragFrom = to;
        }
    } else if (event.GetEventType() == wxEVT_RIGHT_DOWN) {
        SetFocus();
        SetCursorNs(event.ShiftDown() ? 1 : 0, TimeAt(event.GetX()));
    }
}

void CPlotCanvas::OnKey(wxKeyEvent& event) {
    const wxRect area = PlotArea();
    const wxPoint centre(area.x + area.width / 2, area.y + area.height / 2);
    const int key = event.GetKeyCode();
    const int mods = event.GetModifiers();
    Axes axes = kTime;
    if ((mods & wxMOD_SHIFT) != 0)
        axes = kBoth;
    else if ((mods & wxMOD_CONTROL) != 0)
        axes = kValues;
    switch (key) {
        case '+':
        case WXK_NUMPAD_ADD:
            Zoom(axes, kWheelZoom, centre);
            return;
        case '-':
        case WXK_NUMPAD_SUBTRACT:
            Zoom(axes, 1 / kWheelZoom, centre);
            return;
        case WXK_LEFT:
            Pan(kTime, wxPoint(static_cast<int>(area.width * kKeyPan), 0));
            return;
        case WXK_RIGHT:
            Pan(kTime, wxPoint(-static_cast<int>(area.width * kKeyPan), 0));
            return;
        case WXK_UP:
            Pan(kValues, wxPoint(0, -static_cast<int>(area.height * kKeyPan)));
            return;
        case WXK_DOWN:
            Pan(kValues, wxPoint(0, static_cast<int>(area.height * kKeyPan)));
            return;
        case WXK_HOME:
            ShowAll();
            return;
        case '1':
        case '2': {
            const wxPoint at = ScreenToClient(wxGetMousePosition());
            SetCursorNs(key - '1', TimeAt(area.Contains(at) ? at.x : centre.x));
            return;
        }
        default:
            event.Skip();
    }
}

void CPlotCanvas::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    Render(dc, GetClientSize());
}

void CPlotCanvas::Render(wxDC& dc, wxSize size) const {
    const wxColour back = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    const wxColour ink = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    const wxColour grid = wxColour((back.Red() * 3 + ink.Red()) / 4,
                                   (back.Green() * 3 + ink.Green()) / 4,
                                   (back.Blue() * 3 + ink.Blue()) / 4);
    dc.SetBackground(wxBrush(back));
    dc.Clear();
    dc.SetFont(GetFont());
    dc.SetTextForeground(ink);
    const wxRect area(kLeftMargin, kTopMargin, std::max(1, size.x - kLeftMargin - kRightMargin),
                      std::max(1, size.y - kTopMargin - kBottomMargin));
    const double span = static_cast<double>(m_view.SpanNs());
    const double low = m_view.Low(), high = m_view.High();
    auto xOf = [&](std::int64_t t) {
        return area.x +
               static_cast<int>(std::lround(static_cast<double>(t - m_view.FromNs()) / span *
                                            area.width));
    };
    auto yOf = [&](double v) {
        const double y = area.GetBottom() - (v - low) / (high - low) * area.height;
        return static_cast<int>(std::lround(std::clamp(y, -1e6, 1e6)));
    };

    // Grid and axes: seconds below, values on the left.
    dc.SetPen(wxPen(grid));
    const double secondsSpan = span * 1e-9;
    const double tStep = NiceStep(secondsSpan / std::max(1, area.width / 110));
    const double from = static_cast<double>(m_view.FromNs()) * 1e-9;
    for (double t = std::ceil(from / tStep) * tStep; t <= from + secondsSpan; t += tStep) {
        const int x = xOf(static_cast<std::int64_t>(std::llround(t * 1e9)));
        dc.DrawLine(x, area.y, x, area.GetBottom());
        const wxString text = NumberText(t, tStep) + " s";
        dc.DrawText(text, x - dc.GetTextExtent(text).x / 2, area.GetBottom() + 3);
    }
    const double vStep = NiceStep((high - low) / std::max(1, area.height / 40));
    for (double v = std::ceil(low / vStep) * vStep; v <= high; v += vStep) {
        const int y = yOf(v);
        dc.DrawLine(area.x, y, area.GetRight(), y);
        const wxString text = NumberText(v, vStep);
        const wxSize extent = dc.GetTextExtent(text);
        dc.DrawText(text, area.x - extent.x - 4, y - extent.y / 2);
    }
    dc.SetPen(wxPen(ink));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(area);

    dc.SetClippingRegion(area);
    const std::int64_t drawTo =
        m_drawLimit ? std::min(m_view.ToNs(), *m_drawLimit) : m_view.ToNs();
    m_columns.resize(static_cast<std::size_t>(area.width));
    std::vector<wxPoint> line;
    for (const Trace& trace : m_traces) {
        const plot::SignalSeries* s = m_model.Series(trace.id);
        if (!s || s->Empty())
            continue;
        const bool steps = !s->Info().signal.labels.empty();
        dc.SetPen(wxPen(trace.colour, 2));
        dc.SetTextForeground(trace.colour);
        s->Decimate(m_view.FromNs(), m_view.ToNs(), m_columns);
        // The point before the range starts the line at the left edge.
        bool havePrevious = false;
        double previous = 0;
        if (const auto before = s->AtOrBefore(m_view.FromNs() - 1);
            before && before->gap == plot::Gap::kNone) {
            previous = s->Physical(before->raw);
            havePrevious = true;
            line.push_back({area.x, yOf(previous)});
        }
        int lastLabelEnd = std::numeric_limits<int>::min();
        const int lastX = drawTo >= m_view.ToNs() ? area.width : xOf(drawTo) - area.x;
        auto flush = [&] {
            if (line.size() >= 2)
                dc.DrawLines(static_cast<int>(line.size()), line.data());
            else if (line.size() == 1)
                dc.DrawPoint(line[0]);
            line.clear();
        };
        for (int c = 0; c < area.width && c <= lastX; ++c) {
            const plot::Column& col = m_columns[static_cast<std::size_t>(c)];
            if (col.count == 0)
                continue;
            const int x = area.x + c;
            if (std::isnan(col.first))
                flush();
            if (col.values != 0) {
                if (steps && havePrevious && !std::isnan(col.first))
                    line.push_back({x, yOf(previous)});
                if (!std::isnan(col.first))
                    line.push_back({x, yOf(col.first)});
                line.push_back({x, yOf(col.min)});
                line.push_back({x, yOf(col.max)});
                if (!std::isnan(col.last))
                    line.push_back({x, yOf(col.last)});
                if (steps && !std::isnan(col.last) && (!havePrevious || previous != col.last) &&
                    x >= lastLabelEnd) {
                    if (const auto at = s->AtOrBefore(TimeAt(x + 1));
                        at && at->gap == plot::Gap::kNone) {
                        if (const std::string* label = s->Label(at->raw)) {
                            const wxString text = U8(*label);
                            dc.DrawText(text, x + 3, yOf(col.last) - dc.GetTextExtent(text).y - 1);
                            lastLabelEnd = x + dc.GetTextExtent(text).x + 8;
                        }
                    }
                }
            }
            if (std::isnan(col.last)) {
                flush();
                havePrevious = false;
            } else {
                previous = col.last;
                havePrevious = true;
            }
        }
        // Steps run on to the right edge (or the held time) at their last value.
        if (steps && havePrevious && !line.empty())
            line.push_back({area.x + std::min(lastX, area.width), line.back().y});
        flush();
    }

    // Cursors.
    for (int i = 0; i < 2; ++i) {
        if (!m_cursor[i])
            continue;
        const int x = xOf(*m_cursor[i]);
        dc.SetPen(wxPen(ink, 1, i == 0 ? wxPENSTYLE_SOLID : wxPENSTYLE_SHORT_DASH));
        dc.DrawLine(x, area.y, x, area.GetBottom());
        dc.SetTextForeground(ink);
        const wxString name = wxString::Format("C%d", i + 1);
        dc.DrawText(name, x + 3, area.GetBottom() - dc.GetTextExtent(name).y - 2);
    }

    // Legend: a swatch and "Signal [unit]" for each, at the top left.
    int y = area.y + 4;
    for (const Trace& trace : m_traces) {
        const plot::SignalSeries* s = m_model.Series(trace.id);
        if (!s)
            continue;
        const plot::SeriesInfo& info = s->Info();
        wxString text = U8(info.messageName + "." + info.signal.name);
        if (!info.signal.unit.empty())
            text += U8(" [" + info.signal.unit + "]");
        dc.SetPen(wxPen(trace.colour, 3));
        dc.DrawLine(area.x + 8, y + 7, area.x + 24, y + 7);
        dc.SetTextForeground(ink);
        dc.DrawText(text, area.x + 30, y);
        y += dc.GetTextExtent(text).y + 2;
    }
    dc.DestroyClippingRegion();
}

bool CPlotCanvas::SavePng(const std::string& path, std::string& error) const {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    const wxSize size = GetClientSize();
    wxBitmap bitmap(std::max(1, size.x), std::max(1, size.y), 24);
    {
        wxMemoryDC dc(bitmap);
        Render(dc, bitmap.GetSize());
    }
    if (!bitmap.SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG)) {
        error = "Das Bild „" + path + "“ kann nicht geschrieben werden.";
        return false;
    }
    return true;
}
