// What part of the signals a plot shows: a time range and a value range, and the zoom and pan
// steps of the wheel, the mouse and the keys, each within limits (a time span from 100 us to
// 30 days, a value span from 1e-9 to 1e15), so that no zoom ends in a range nothing can be drawn
// in. While following, the range ends at the newest time and keeps its span.
//
//   range [0 s, 10 s], ZoomTime(0.5, 10 s)    [5 s, 10 s]   (the anchor stays where it is)
//   range [0 s, 1 ms], ZoomTime(0.01, 0)      [0, 100 us]   (no narrower)
#pragma once

#include <cstdint>

namespace plot {

class PlotViewport {
  public:
    static constexpr std::int64_t kMinTimeSpanNs = 100'000;
    static constexpr std::int64_t kMaxTimeSpanNs = 30LL * 24 * 3600 * 1'000'000'000;
    static constexpr double kMinValueSpan = 1e-9;
    static constexpr double kMaxValueSpan = 1e15;

    std::int64_t FromNs() const { return m_fromNs; }
    std::int64_t ToNs() const { return m_toNs; }
    std::int64_t SpanNs() const { return m_toNs - m_fromNs; }
    double Low() const { return m_low; }
    double High() const { return m_high; }

    void SetTime(std::int64_t fromNs, std::int64_t toNs);
    void SetValues(double low, double high);
    // factor < 1 zooms in; the anchor keeps its place on the axis.
    void ZoomTime(double factor, std::int64_t anchorNs);
    void ZoomValues(double factor, double anchor);
    void PanTime(std::int64_t deltaNs) { SetTime(m_fromNs + deltaNs, m_toNs + deltaNs); }
    void PanValues(double delta) { SetValues(m_low + delta, m_high + delta); }

    bool Following() const { return m_following; }
    void Follow(bool on) { m_following = on; }
    // While following: the range moves so that it ends at `newestNs`.
    void FollowTo(std::int64_t newestNs);

  private:
    std::int64_t m_fromNs = 0;
    std::int64_t m_toNs = 10'000'000'000;
    double m_low = 0;
    double m_high = 1;
    bool m_following = false;
};

}  // namespace plot
