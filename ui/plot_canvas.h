// The painter of the plot window: the chosen series of a plot model on one time axis and one
// value axis, with a legend, two cursors, and the zoom and pan of the wheel, the mouse and the
// keys.
//
// Each redraw asks every series for the summary of each pixel column (plot/signal_series.h), so
// it costs the same for a hundred points as for ten million. A column is drawn as its first,
// lowest, highest and last value; a gap breaks the line. Signals with a value table are drawn as
// steps with the label of each step where there is room for it.
//
//   wheel                  time axis, around the pointer     drag        both axes
//   Ctrl+wheel             value axis                        Shift+drag  time axis only
//   Shift+wheel            both                              Ctrl+drag   value axis only
//   + / -                  time axis (Ctrl: values, Shift: both)
//   arrows                 pan                               Pos1        "Alles zeigen"
//   right click            cursor 1 (Shift: cursor 2)        1 / 2       a cursor at the pointer
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <wx/colour.h>
#include <wx/window.h>

#include "plot/plot_model.h"
#include "plot/plot_raster.h"
#include "plot/plot_viewport.h"
#include "ui/glyph_text.h"

class wxDC;

class CPlotCanvas : public wxWindow {
  public:
    struct Trace {
        plot::SeriesId id;
        wxColour colour;
    };

    CPlotCanvas(wxWindow* parent, const plot::PlotModel& model);

    void SetTraces(std::vector<Trace> traces);
    const std::vector<Trace>& Traces() const { return m_traces; }

    plot::PlotViewport& Viewport() { return m_view; }
    const plot::PlotViewport& Viewport() const { return m_view; }
    // Points after `limitNs` are not drawn (the picture is held); nullopt draws all.
    void SetDrawLimit(std::optional<std::int64_t> limitNs) { m_drawLimit = limitNs; }

    // The whole time of the shown series and the values in it.
    void ShowAll();
    // The value axis over what the time range shows.
    void FitValues();

    std::optional<std::int64_t> CursorNs(int which) const { return m_cursor[which]; }
    void SetCursorNs(int which, std::int64_t timeNs);

    // The operator's steps, as the mouse and the keys take them (also for tests).
    enum Axes { kTime = 1, kValues = 2, kBoth = 3 };
    void Zoom(Axes axes, double factor, wxPoint anchor);
    void Pan(Axes axes, wxPoint pixels);

    // The area the series are drawn in.
    wxRect PlotArea() const;
    std::int64_t TimeAt(int x) const;
    double ValueAt(int y) const;

    // Called after every change of the range or the cursors.
    std::function<void()> onViewChanged;
    // The view was moved by the operator (following ends).
    std::function<void()> onOperatorMoved;

    // Draws the picture into any device context of `size`: the window's and the PNG export's.
    void Render(wxDC& dc, wxSize size) const;
    // The plot area of the last picture drawn.
    const plot::Raster& AreaPicture() const { return m_raster; }
    // The picture as it is on screen into a PNG file; false and the reason when it fails.
    bool SavePng(const std::string& path, std::string& error) const;

  private:
    void OnPaint(wxPaintEvent& event);
    void OnWheel(wxMouseEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnKey(wxKeyEvent& event);
    static Axes AxesOf(int modifiers, bool wheel);
    void Changed();

    const plot::PlotModel& m_model;
    std::vector<Trace> m_traces;
    plot::PlotViewport m_view;
    std::optional<std::int64_t> m_drawLimit;
    std::optional<std::int64_t> m_cursor[2];
    std::optional<wxPoint> m_dragFrom;
    Axes m_dragAxes = kBoth;
    // The columns of a series for the range fromNs..toNs, `width` of them; columnNs > 0 when
    // the range lies on a grid of columns that long, so that the last picture's columns serve.
    const std::vector<plot::Column>& ColumnsOf(plot::SeriesId id, const plot::SignalSeries& series,
                                               std::int64_t fromNs, std::int64_t toNs, int width,
                                               std::int64_t columnNs) const;
    struct ColumnCache {
        std::int64_t columnNs = 0;
        std::int64_t fromNs = 0;
        std::uint64_t letGo = 0;
        std::optional<std::int64_t> first;
        std::optional<std::int64_t> newestNs;
        std::vector<plot::Column> columns;
    };
    mutable std::unordered_map<plot::SeriesId, ColumnCache> m_columnCache;
    mutable plot::Raster m_raster;  // the plot area's picture, kept for its memory
    mutable CGlyphText m_glyphs;
    mutable int m_lineHeight = 0;
    mutable std::unordered_map<std::string, int> m_extents;  // widths of texts beyond ASCII
};
