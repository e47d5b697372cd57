// Which parts of a window a paint event really has to paint.
//
// wx hands a paint handler only the bounding box of what was invalidated; on GTK a paint after
// the changed cells of a list were invalidated one by one covers the whole list in that box,
// although the toolkit clips the drawing to the cells themselves. Asking the drawing context's
// clip lets the painter skip the text of every cell that would be clipped away anyway.
#pragma once

#include <wx/gdicmn.h>

class wxDC;

class CPaintClip {
  public:
    // Reads the clip of `dc` as it stands now, before the painter clips anything itself.
    explicit CPaintClip(wxDC& dc);

    // Whether any of the rectangle is painted: its corners and its centre are looked at, which
    // is exact for invalidated cells and rows. Everything counts as painted where the clip
    // cannot be asked.
    bool Touches(const wxRect& rect) const;
    // Whether all of it is.
    bool Covers(const wxRect& rect) const;

  private:
    int Inside(const wxRect& rect) const;  // how many of the five points lie in the clip

    void* m_context = nullptr;
    using InClip = int (*)(void*, double, double);
    InClip m_inClip = nullptr;
};
