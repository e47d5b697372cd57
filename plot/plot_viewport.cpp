#include "plot/plot_viewport.h"

#include <algorithm>
#include <cmath>

namespace plot {

void PlotViewport::SetTime(std::int64_t fromNs, std::int64_t toNs) {
    if (toNs < fromNs)
        std::swap(fromNs, toNs);
    const std::int64_t span = std::clamp(toNs - fromNs, kMinTimeSpanNs, kMaxTimeSpanNs);
    const std::int64_t mid = fromNs + (toNs - fromNs) / 2;
    m_fromNs = mid - span / 2;
    m_toNs = m_fromNs + span;
}

void PlotViewport::SetValues(double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high))
        return;
    if (high < low)
        std::swap(low, high);
    const double span = std::clamp(high - low, kMinValueSpan, kMaxValueSpan);
    const double mid = low / 2 + high / 2;
    m_low = mid - span / 2;
    m_high = mid + span / 2;
}

void PlotViewport::ZoomTime(double factor, std::int64_t anchorNs) {
    if (!(factor > 0))
        return;
    const double span = static_cast<double>(SpanNs());
    const double wanted = std::clamp(span * factor, static_cast<double>(kMinTimeSpanNs),
                                     static_cast<double>(kMaxTimeSpanNs));
    const double share = span > 0 ? static_cast<double>(anchorNs - m_fromNs) / span : 0.5;
    const auto from = anchorNs - static_cast<std::int64_t>(std::llround(wanted * share));
    SetTime(from, from + static_cast<std::int64_t>(std::llround(wanted)));
}

void PlotViewport::ZoomValues(double factor, double anchor) {
    if (!(factor > 0))
        return;
    const double span = m_high - m_low;
    const double wanted = std::clamp(span * factor, kMinValueSpan, kMaxValueSpan);
    const double share = span > 0 ? (anchor - m_low) / span : 0.5;
    const double low = anchor - wanted * share;
    SetValues(low, low + wanted);
}

void PlotViewport::FollowTo(std::int64_t newestNs) {
    if (!m_following)
        return;
    const std::int64_t span = SpanNs();
    m_toNs = newestNs;
    m_fromNs = newestNs - span;
}

}  // namespace plot
