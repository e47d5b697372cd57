#include "ui/plot_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>
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
        m_view.PanValues(static_cast<double>(pixels.y) / area.height *
                         (m_view.High() - m_view.Low()));
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
    const wxColour grid =
        wxColour((back.Red() * 3 + ink.Red()) / 4, (back.Green() * 3 + ink.Green()) / 4,
                 (back.Blue() * 3 + ink.Blue()) / 4);
    dc.SetBackground(wxBrush(back));
    dc.Clear();
    dc.SetFont(GetFont());
    dc.SetTextForeground(ink);
    // Measuring text costs as much as drawing it: numbers are measured by their length in digits
    // (figures are all of one width), labels and names once.
    if (m_digit == wxSize())
        m_digit = dc.GetTextExtent("0");
    if (m_extents.size() > 1024)
        m_extents.clear();
    auto extent = [&](const wxString& text) {
        auto [it, added] = m_extents.try_emplace(text.utf8_string());
        if (added)
            it->second = dc.GetTextExtent(text);
        return it->second;
    };
    auto numberWidth = [&](const wxString& text) {
        return m_digit.x * static_cast<int>(text.length());
    };
    // On a window the device context draws through a graphics context. Texts then go to it
    // directly (the device context would measure each again for its bounding box), the grid is
    // one path, and each series one filled path of boxes and one stroked path of segments.
    wxGraphicsContext* gc = dc.GetGraphicsContext();
    wxColour textColour;
    auto text = [&](const wxString& t, int x, int y, const wxColour& colour) {
        if (!gc) {
            dc.SetTextForeground(colour);
            dc.DrawText(t, x, y);
            return;
        }
        if (colour != textColour) {
            gc->SetFont(dc.GetFont(), colour);
            textColour = colour;
        }
        gc->DrawText(t, x, y);
    };
    const wxRect area(kLeftMargin, kTopMargin, std::max(1, size.x - kLeftMargin - kRightMargin),
                      std::max(1, size.y - kTopMargin - kBottomMargin));
    const double span = static_cast<double>(m_view.SpanNs());
    const double low = m_view.Low(), high = m_view.High();
    auto xOf = [&](std::int64_t t) {
        return area.x + static_cast<int>(std::lround(static_cast<double>(t - m_view.FromNs()) /
                                                     span * area.width));
    };
    auto yOf = [&](double v) {
        const double y = area.GetBottom() - (v - low) / (high - low) * area.height;
        return static_cast<int>(std::lround(std::clamp(y, -1e6, 1e6)));
    };

    // Grid and axes: seconds below, values on the left.
    dc.SetPen(wxPen(grid));
    wxGraphicsPath gridPath = gc ? gc->CreatePath() : wxGraphicsPath();
    auto gridLine = [&](int x0, int y0, int x1, int y1) {
        if (gc) {
            gridPath.MoveToPoint(x0 + 0.5, y0 + 0.5);
            gridPath.AddLineToPoint(x1 + 0.5, y1 + 0.5);
        } else {
            dc.DrawLine(x0, y0, x1, y1);
        }
    };
    const double secondsSpan = span * 1e-9;
    const double tStep = NiceStep(secondsSpan / std::max(1, area.width / 110));
    const double from = static_cast<double>(m_view.FromNs()) * 1e-9;
    for (double t = std::ceil(from / tStep) * tStep; t <= from + secondsSpan; t += tStep) {
        const int x = xOf(static_cast<std::int64_t>(std::llround(t * 1e9)));
        gridLine(x, area.y, x, area.GetBottom());
        const wxString label = NumberText(t, tStep) + " s";
        text(label, x - numberWidth(label) / 2, area.GetBottom() + 3, ink);
    }
    const double vStep = NiceStep((high - low) / std::max(1, area.height / 40));
    for (double v = std::ceil(low / vStep) * vStep; v <= high; v += vStep) {
        const int y = yOf(v);
        gridLine(area.x, y, area.GetRight(), y);
        const wxString label = NumberText(v, vStep);
        text(label, area.x - numberWidth(label) - 4, y - m_digit.y / 2, ink);
    }
    if (gc) {
        gc->SetAntialiasMode(wxANTIALIAS_NONE);
        gc->SetPen(wxPen(grid));
        gc->StrokePath(gridPath);
        gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    }
    dc.SetPen(wxPen(ink));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(area);

    dc.SetClippingRegion(area);
    const std::int64_t drawTo = m_drawLimit ? std::min(m_view.ToNs(), *m_drawLimit) : m_view.ToNs();
    m_columns.resize(static_cast<std::size_t>(area.width));
    struct Segment {
        int x0, y0, x1, y1;
    };
    std::vector<wxRect> boxes;
    std::vector<Segment> segments;
    const auto antialias = gc ? gc->GetAntialiasMode() : wxANTIALIAS_NONE;
    for (const Trace& trace : m_traces) {
        const plot::SignalSeries* s = m_model.Series(trace.id);
        if (!s || s->Empty())
            continue;
        const bool steps = !s->Info().signal.labels.empty();
        s->Decimate(m_view.FromNs(), m_view.ToNs(), m_columns);
        // A series is drawn as boxes and a few segments: each column a box from its lowest to its
        // highest value, reaching to the previous column's last value where that column is next
        // to it (or, for steps, along it), so that a dense line is all boxes, which the toolkit
        // fills fastest; only points farther apart than a column are joined by segments.
        boxes.clear();
        segments.clear();
        bool havePrevious = false;
        double previous = 0;
        int previousX = area.x;
        if (const auto before = s->AtOrBefore(m_view.FromNs() - 1);
            before && before->gap == plot::Gap::kNone) {
            previous = s->Physical(before->raw);
            havePrevious = true;
        }
        auto box = [&](int x0, int x1, int ya, int yb) {
            const int top = std::min(ya, yb) - 1;
            boxes.emplace_back(x0, top, x1 - x0 + 2, std::max(ya, yb) + 1 - top);
        };
        int lastLabelEnd = std::numeric_limits<int>::min();
        const int lastX = drawTo >= m_view.ToNs() ? area.width : xOf(drawTo) - area.x;
        for (int c = 0; c < area.width && c <= lastX; ++c) {
            const plot::Column& col = m_columns[static_cast<std::size_t>(c)];
            if (col.count == 0)
                continue;
            const int x = area.x + c;
            if (col.values != 0) {
                int bottom = yOf(col.min), top = yOf(col.max);
                if (havePrevious && !std::isnan(col.first)) {
                    const int join = yOf(previous);
                    if (steps) {
                        box(previousX, x, join, join);
                    } else if (x - previousX > 1) {
                        segments.push_back({previousX, join, x, yOf(col.first)});
                    }
                    if (steps || x - previousX <= 1) {
                        bottom = std::max(bottom, join);
                        top = std::min(top, join);
                    }
                }
                box(x, x, bottom, top);
                if (steps && !std::isnan(col.last) && (!havePrevious || previous != col.last) &&
                    x >= lastLabelEnd) {
                    if (const auto at = s->AtOrBefore(TimeAt(x + 1));
                        at && at->gap == plot::Gap::kNone) {
                        if (const std::string* name = s->Label(at->raw)) {
                            const wxString label = U8(*name);
                            const wxSize labelSize = extent(label);
                            text(label, x + 3, yOf(col.last) - labelSize.y - 1, trace.colour);
                            lastLabelEnd = x + labelSize.x + 8;
                        }
                    }
                }
            }
            havePrevious = !std::isnan(col.last);
            if (havePrevious) {
                previous = col.last;
                previousX = x;
            }
        }
        // Steps run on to the right edge (or the held time) at their last value.
        if (steps && havePrevious) {
            const int join = yOf(previous);
            box(previousX, area.x + std::min(lastX, area.width), join, join);
        }
        if (gc) {
            wxGraphicsPath filled = gc->CreatePath();
            for (const wxRect& r : boxes)
                filled.AddRectangle(r.x, r.y, r.width, r.height);
            gc->SetAntialiasMode(wxANTIALIAS_NONE);
            gc->SetPen(*wxTRANSPARENT_PEN);
            gc->SetBrush(wxBrush(trace.colour));
            gc->FillPath(filled);
            gc->SetAntialiasMode(antialias);
            if (!segments.empty()) {
                wxGraphicsPath joined = gc->CreatePath();
                for (const Segment& g : segments) {
                    joined.MoveToPoint(g.x0 + 1, g.y0 + 0.5);
                    joined.AddLineToPoint(g.x1 + 1, g.y1 + 0.5);
                }
                gc->SetPen(wxPen(trace.colour, 2));
                gc->StrokePath(joined);
            }
        } else {
            dc.SetPen(*wxTRANSPARENT_PEN);
            dc.SetBrush(wxBrush(trace.colour));
            for (const wxRect& r : boxes)
                dc.DrawRectangle(r);
            dc.SetPen(wxPen(trace.colour, 2));
            for (const Segment& g : segments)
                dc.DrawLine(g.x0 + 1, g.y0, g.x1 + 1, g.y1);
        }
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
    }

    // Cursors.
    for (int i = 0; i < 2; ++i) {
        if (!m_cursor[i])
            continue;
        const int x = xOf(*m_cursor[i]);
        dc.SetPen(wxPen(ink, 1, i == 0 ? wxPENSTYLE_SOLID : wxPENSTYLE_SHORT_DASH));
        dc.DrawLine(x, area.y, x, area.GetBottom());
        text(wxString::Format("C%d", i + 1), x + 3, area.GetBottom() - m_digit.y - 2, ink);
    }

    // Legend: a swatch and "Signal [unit]" for each, at the top left.
    int y = area.y + 4;
    for (const Trace& trace : m_traces) {
        const plot::SignalSeries* s = m_model.Series(trace.id);
        if (!s)
            continue;
        const plot::SeriesInfo& info = s->Info();
        wxString name = U8(info.messageName + "." + info.signal.name);
        if (!info.signal.unit.empty())
            name += U8(" [" + info.signal.unit + "]");
        dc.SetPen(wxPen(trace.colour, 3));
        dc.DrawLine(area.x + 8, y + 7, area.x + 24, y + 7);
        text(name, area.x + 30, y, ink);
        y += extent(name).y + 2;
    }
    dc.DestroyClippingRegion();
}

bool CPlotCanvas::SavePng(const std::string& path, std::string& error) const {
#if wxUSE_LIBPNG
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
#else
    // This build's wx has no PNG writer (it needs no image library beside the system's own).
    error = "Das Bild „" + path +
            "“ kann nicht geschrieben werden: PNG-Bilder schreibt diese "
            "Ausgabe von vesk nicht.";
    return false;
#endif
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
