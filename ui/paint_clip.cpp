#include "ui/paint_clip.h"

#include <wx/dc.h>
#include <wx/graphics.h>

#ifdef __WXGTK3__
#include <dlfcn.h>
#endif

CPaintClip::CPaintClip(wxDC& dc) {
#ifdef __WXGTK3__
    // wx draws through cairo here; the one call needed of it is looked up in the library that
    // the toolkit has loaded rather than linked against its development files.
    static const auto inClip = reinterpret_cast<InClip>(dlsym(RTLD_DEFAULT, "cairo_in_clip"));
    if (wxGraphicsContext* gc = dc.GetGraphicsContext()) {
        m_context = gc->GetNativeContext();
        m_inClip = m_context ? inClip : nullptr;
    }
#else
    (void)dc;
#endif
}

int CPaintClip::Inside(const wxRect& rect) const {
    const double left = rect.x + 0.5, top = rect.y + 0.5;
    const double right = rect.x + rect.width - 0.5, bottom = rect.y + rect.height - 0.5;
    const double points[][2] = {{left, top},
                                {right, top},
                                {left, bottom},
                                {right, bottom},
                                {(left + right) / 2, (top + bottom) / 2}};
    int inside = 0;
    for (const auto& p : points)
        inside += m_inClip(m_context, p[0], p[1]) != 0;
    return inside;
}

bool CPaintClip::Touches(const wxRect& rect) const {
    return !m_inClip || Inside(rect) > 0;
}

bool CPaintClip::Covers(const wxRect& rect) const {
    return !m_inClip || Inside(rect) == 5;
}
