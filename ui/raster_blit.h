// Puts a picture of our own pixels (plot/plot_raster.h) into a device context at `at`: where the
// context draws through cairo, as one image handed to it without a copy; elsewhere through a
// bitmap (one conversion of every pixel).
#pragma once

#include <wx/gdicmn.h>

class wxDC;
namespace plot {
class Raster;
}

void DrawRaster(wxDC& dc, const plot::Raster& raster, wxPoint at);
