#include "ui/plot_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <span>

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/settings.h>

#include "dbc/decoded_csv.h"
#include "platform/data_file.h"
#include "plot/png_encoder.h"
#include "ui/raster_blit.h"
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

std::string NumberText(double value, double step) {
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step))), 0, 9);
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, std::abs(value) < step / 2 ? 0.0 : value);
    return text;
}

}  // namespace

CPlotCanvas::CPlotCanvas(wxWindow* parent, const plot::PlotModel& model)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(600, 300), wxWANTS_CHARS),
      m_model(model) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    // Set as the window's own, so that the device context of each picture does not ask the
    // desktop's theme for them again.
    SetOwnBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
    SetOwnForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
    SetOwnFont(GetFont());
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
    m_columnCache.clear();
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
    // Texts are measured by the advances of their characters and drawn as glyphs where they are
    // printable ASCII (numbers, "s", most names), past the text system that would lay out each
    // of some thirty texts a picture; other texts are measured once and drawn by the toolkit.
    if (!m_glyphs.Font().IsSameAs(dc.GetFont())) {
        m_glyphs.Prepare(const_cast<CPlotCanvas*>(this), dc, dc.GetFont());
        m_lineHeight = dc.GetCharHeight();
        m_extents.clear();
    }
    if (m_extents.size() > 1024)
        m_extents.clear();
    auto ascii = [](const std::string& t) {
        return std::all_of(t.begin(), t.end(), [](char c) {
            return c >= CGlyphText::kFirst && c <= CGlyphText::kLast;
        });
    };
    auto width = [&](const std::string& t) {
        if (ascii(t)) {
            int w = 0;
            for (char c : t)
                w += m_glyphs.Advance(c);
            return w;
        }
        auto [it, added] = m_extents.try_emplace(t);
        if (added)
            it->second = dc.GetTextExtent(U8(t)).x;
        return it->second;
    };
    wxGraphicsContext* gc = dc.GetGraphicsContext();
    void* cairo = gc && m_glyphs.Ready() ? gc->GetNativeContext() : nullptr;
    wxColour textColour;
    auto text = [&](const std::string& t, int x, int y, const wxColour& colour) {
        if (cairo && m_glyphs.Draw(cairo, t.data(), t.size(), x, y, colour))
            return;
        if (!gc) {
            dc.SetTextForeground(colour);
            dc.DrawText(U8(t), x, y);
            return;
        }
        // The device context would measure the text again for its bounding box.
        if (colour != textColour) {
            gc->SetFont(dc.GetFont(), colour);
            textColour = colour;
        }
        gc->DrawText(U8(t), x, y);
    };
    const wxRect area(kLeftMargin, kTopMargin, std::max(1, size.x - kLeftMargin - kRightMargin),
                      std::max(1, size.y - kTopMargin - kBottomMargin));
    // While following, the range is drawn on a grid of whole columns, so that the columns of the
    // last picture stay columns of this one (ColumnsOf keeps them); less than a column's time
    // apart from the range itself.
    std::int64_t viewFrom = m_view.FromNs(), viewTo = m_view.ToNs();
    std::int64_t columnNs = 0;
    if (m_view.Following()) {
        columnNs = std::max<std::int64_t>(1, m_view.SpanNs() / area.width);
        viewTo = (viewTo / columnNs + 1) * columnNs;
        viewFrom = viewTo - columnNs * area.width;
    }
    const double span = static_cast<double>(viewTo - viewFrom);
    const double low = m_view.Low(), high = m_view.High();
    auto xOf = [&](std::int64_t t) {
        return area.x +
               static_cast<int>(std::lround(static_cast<double>(t - viewFrom) / span * area.width));
    };
    auto yOf = [&](double v) {
        const double y = area.GetBottom() - (v - low) / (high - low) * area.height;
        return static_cast<int>(std::lround(std::clamp(y, -1e6, 1e6)));
    };

    // The plot area is a picture of our own pixels (grid, series, cursors), put on screen in one
    // step; texts and the frame around it are drawn over it.
    auto pixel = [](const wxColour& c) { return plot::Raster::Rgb(c.Red(), c.Green(), c.Blue()); };
    m_raster.Reset(area.width, area.height, pixel(back));
    auto rx = [&](int x) { return x - area.x; };
    auto ry = [&](int y) { return y - area.y; };
    struct Label {
        std::string text;
        int x, y;
        wxColour colour;
    };
    std::vector<Label> labels;  // inside the area, drawn after the picture

    // Grid and axes: seconds below, values on the left.
    const double secondsSpan = span * 1e-9;
    const double tStep = NiceStep(secondsSpan / std::max(1, area.width / 110));
    const double from = static_cast<double>(viewFrom) * 1e-9;
    for (double t = std::ceil(from / tStep) * tStep; t <= from + secondsSpan; t += tStep) {
        const int x = xOf(static_cast<std::int64_t>(std::llround(t * 1e9)));
        m_raster.VLine(rx(x), 0, area.height - 1, pixel(grid));
        const std::string label = NumberText(t, tStep) + " s";
        text(label, x - width(label) / 2, area.GetBottom() + 3, ink);
    }
    const double vStep = NiceStep((high - low) / std::max(1, area.height / 40));
    for (double v = std::ceil(low / vStep) * vStep; v <= high; v += vStep) {
        const int y = yOf(v);
        m_raster.HLine(ry(y), 0, area.width - 1, pixel(grid));
        const std::string label = NumberText(v, vStep);
        text(label, area.x - width(label) - 4, y - m_lineHeight / 2, ink);
    }

    const std::int64_t drawTo = m_drawLimit ? std::min(viewTo, *m_drawLimit) : viewTo;
    for (const Trace& trace : m_traces) {
        const plot::SignalSeries* s = m_model.Series(trace.id);
        if (!s || s->Empty())
            continue;
        const bool steps = !s->Info().signal.labels.empty();
        const plot::Raster::Pixel colour = pixel(trace.colour);
        const std::vector<plot::Column>& columns =
            ColumnsOf(trace.id, *s, viewFrom, viewTo, area.width, columnNs);
        // Each column a box two pixels wide from its lowest to its highest value, reaching to the
        // previous column's last value where that column is next to it (or, for steps, along
        // it); points farther apart than a column are joined by a line.
        bool havePrevious = false;
        double previous = 0;
        int previousX = area.x;
        if (const auto before = s->AtOrBefore(viewFrom - 1);
            before && before->gap == plot::Gap::kNone) {
            previous = s->Physical(before->raw);
            havePrevious = true;
        }
        auto box = [&](int x0, int x1, int ya, int yb) {
            m_raster.FillRect(rx(x0), ry(std::min(ya, yb) - 1), rx(x1 + 1), ry(std::max(ya, yb)),
                              colour);
        };
        // A column's box is two pixels wide: its right half shares the next column with that
        // column's own box, so where they overlap (a dense series) that column is filled once.
        int spanX = std::numeric_limits<int>::min(), spanTop = 0, spanBottom = 0;
        auto flushSpan = [&] {
            if (spanX != std::numeric_limits<int>::min())
                m_raster.FillRect(rx(spanX + 1), ry(spanTop), rx(spanX + 1), ry(spanBottom),
                                  colour);
        };
        auto columnBox = [&](int x, int ya, int yb) {
            const int top = std::min(ya, yb) - 1, bottom = std::max(ya, yb);
            if (spanX == x - 1 && top <= spanBottom + 1 && spanTop <= bottom + 1) {
                m_raster.FillRect(rx(x), ry(std::min(top, spanTop)), rx(x),
                                  ry(std::max(bottom, spanBottom)), colour);
            } else {
                flushSpan();
                m_raster.FillRect(rx(x), ry(top), rx(x), ry(bottom), colour);
            }
            spanX = x;
            spanTop = top;
            spanBottom = bottom;
        };
        int lastLabelEnd = std::numeric_limits<int>::min();
        const int lastX = drawTo >= viewTo ? area.width : xOf(drawTo) - area.x;
        for (int c = 0; c < area.width && c <= lastX; ++c) {
            const plot::Column& col = columns[static_cast<std::size_t>(c)];
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
                        m_raster.Line(rx(previousX) + 0.5, ry(join), rx(x) + 0.5,
                                      ry(yOf(col.first)), colour, 2);
                    }
                    if (steps || x - previousX <= 1) {
                        bottom = std::max(bottom, join);
                        top = std::min(top, join);
                    }
                }
                columnBox(x, bottom, top);
                if (steps && !std::isnan(col.last) && (!havePrevious || previous != col.last) &&
                    x >= lastLabelEnd) {
                    if (const auto at = s->AtOrBefore(TimeAt(x + 1));
                        at && at->gap == plot::Gap::kNone) {
                        if (const std::string* name = s->Label(at->raw)) {
                            labels.push_back(
                                {*name, x + 3, yOf(col.last) - m_lineHeight - 1, trace.colour});
                            lastLabelEnd = x + width(*name) + 8;
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
        flushSpan();
        // Steps run on to the right edge (or the held time) at their last value.
        if (steps && havePrevious) {
            const int join = yOf(previous);
            box(previousX, area.x + std::min(lastX, area.width), join, join);
        }
    }

    // Cursors.
    for (int i = 0; i < 2; ++i) {
        if (!m_cursor[i])
            continue;
        const int x = xOf(*m_cursor[i]);
        m_raster.VLine(rx(x), 0, area.height - 1, pixel(ink), i == 0 ? 0 : 3);
        labels.push_back({i == 0 ? "C1" : "C2", x + 3, area.GetBottom() - m_lineHeight - 2, ink});
    }

    // Legend: a swatch and "Signal [unit]" for each, at the top left.
    int legendY = area.y + 4;
    for (const Trace& trace : m_traces) {
        const plot::SignalSeries* s = m_model.Series(trace.id);
        if (!s)
            continue;
        const plot::SeriesInfo& info = s->Info();
        std::string name = info.messageName + "." + info.signal.name;
        if (!info.signal.unit.empty())
            name += " [" + info.signal.unit + "]";
        m_raster.FillRect(8, ry(legendY) + 6, 24, ry(legendY) + 8, pixel(trace.colour));
        labels.push_back({std::move(name), area.x + 30, legendY, ink});
        legendY += m_lineHeight + 2;
    }

    DrawRaster(dc, m_raster, area.GetTopLeft());
    dc.SetPen(wxPen(ink));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(area);
    dc.SetClippingRegion(area);
    for (const Label& l : labels)
        text(l.text, l.x, l.y, l.colour);

    dc.DestroyClippingRegion();
}

const std::vector<plot::Column>& CPlotCanvas::ColumnsOf(plot::SeriesId id,
                                                        const plot::SignalSeries& series,
                                                        std::int64_t fromNs, std::int64_t toNs,
                                                        int width, std::int64_t columnNs) const {
    ColumnCache& cache = m_columnCache[id];
    const std::size_t n = static_cast<std::size_t>(width);
    const std::uint64_t letGo = m_model.PointsLetGo(id);
    const std::optional<std::int64_t> first = series.FirstTimeNs();
    // Points are only ever added after the newest, so a column that ended before the newest
    // point of the last picture is the same now, unless points went (let go or cleared).
    std::size_t kept = 0;
    if (columnNs > 0 && cache.columnNs == columnNs && cache.columns.size() == n &&
        cache.letGo == letGo && cache.first == first && fromNs >= cache.fromNs &&
        (fromNs - cache.fromNs) % columnNs == 0 && cache.newestNs) {
        const auto shift = static_cast<std::size_t>((fromNs - cache.fromNs) / columnNs);
        // Old column j ends at cache.fromNs + (j + 1) * columnNs; a microsecond of margin for the
        // series' own rounding of times.
        const std::int64_t settled = *cache.newestNs - 1000 - cache.fromNs;
        const std::size_t settledColumns =
            settled > 0 ? std::min<std::size_t>(static_cast<std::size_t>(settled / columnNs), n)
                        : 0;
        if (shift < settledColumns) {
            kept = settledColumns - shift;
            std::copy(cache.columns.begin() + static_cast<std::ptrdiff_t>(shift),
                      cache.columns.begin() + static_cast<std::ptrdiff_t>(settledColumns),
                      cache.columns.begin());
        }
    }
    cache.columns.resize(n);
    series.Decimate(fromNs + static_cast<std::int64_t>(kept) * columnNs, toNs,
                    std::span<plot::Column>(cache.columns).subspan(kept));
    cache.columnNs = columnNs;
    cache.fromNs = fromNs;
    cache.letGo = letGo;
    cache.first = first;
    cache.newestNs = series.LastTimeNs();
    return cache.columns;
}

bool CPlotCanvas::SavePng(const std::string& path, std::string& error) const {
    const wxSize size = GetClientSize();
    wxBitmap bitmap(std::max(1, size.x), std::max(1, size.y), 24);
    {
        wxMemoryDC dc(bitmap);
        Render(dc, bitmap.GetSize());
    }
    // Our own encoder rather than wx's: the Windows build's wx has no libpng.
    const wxImage image = bitmap.ConvertToImage();
    const auto pixels = static_cast<std::size_t>(image.GetWidth()) * image.GetHeight() * 3;
    const std::string png =
        plot::EncodePng(std::span<const std::uint8_t>(image.GetData(), pixels), image.GetWidth(),
                        image.GetHeight(), static_cast<std::size_t>(image.GetWidth()) * 3);
    if (png.empty() || !platform::WriteWholeFile(path, png)) {
        error = "Das Bild „" + path + "“ kann nicht geschrieben werden.";
        return false;
    }
    return true;
}
