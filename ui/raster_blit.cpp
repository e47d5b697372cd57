#include "ui/raster_blit.h"

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/graphics.h>
#include <wx/image.h>

#include "plot/plot_raster.h"
#include "ui/toolkit_symbol.h"

namespace {

struct Cairo {
    static constexpr int kRgb24 = 1;  // CAIRO_FORMAT_RGB24: 0x00RRGGBB in a 32-bit word
    void* (*createForData)(unsigned char*, int, int, int, int) =
        ToolkitSymbol<void* (*)(unsigned char*, int, int, int, int)>(
            "cairo_image_surface_create_for_data");
    void (*destroy)(void*) = ToolkitSymbol<void (*)(void*)>("cairo_surface_destroy");
    void (*save)(void*) = ToolkitSymbol<void (*)(void*)>("cairo_save");
    void (*restore)(void*) = ToolkitSymbol<void (*)(void*)>("cairo_restore");
    void (*setSourceSurface)(void*, void*, double, double) =
        ToolkitSymbol<void (*)(void*, void*, double, double)>("cairo_set_source_surface");
    void (*rectangle)(void*, double, double, double, double) =
        ToolkitSymbol<void (*)(void*, double, double, double, double)>("cairo_rectangle");
    void (*fill)(void*) = ToolkitSymbol<void (*)(void*)>("cairo_fill");

    bool Complete() const {
        return createForData && destroy && save && restore && setSourceSurface && rectangle && fill;
    }
};

const Cairo& Functions() {
    static const Cairo cairo;
    return cairo;
}

bool DrawThroughCairo(wxDC& dc, const plot::Raster& raster, wxPoint at) {
    wxGraphicsContext* gc = dc.GetGraphicsContext();
    const Cairo& c = Functions();
    void* cr = gc ? gc->GetNativeContext() : nullptr;
    if (!cr || !c.Complete())
        return false;
    // cairo only reads the pixels here; the surface lives for this call only.
    auto* data = reinterpret_cast<unsigned char*>(const_cast<plot::Raster::Pixel*>(raster.Data()));
    void* surface =
        c.createForData(data, Cairo::kRgb24, raster.Width(), raster.Height(), raster.Width() * 4);
    if (!surface)
        return false;
    c.save(cr);
    c.setSourceSurface(cr, surface, at.x, at.y);
    c.rectangle(cr, at.x, at.y, raster.Width(), raster.Height());
    c.fill(cr);
    c.restore(cr);
    c.destroy(surface);
    return true;
}

}  // namespace

void DrawRaster(wxDC& dc, const plot::Raster& raster, wxPoint at) {
    if (DrawThroughCairo(dc, raster, at))
        return;
    wxImage image(raster.Width(), raster.Height(), false);
    unsigned char* rgb = image.GetData();
    const plot::Raster::Pixel* p = raster.Data();
    const std::size_t count = static_cast<std::size_t>(raster.Width()) * raster.Height();
    for (std::size_t i = 0; i < count; ++i, rgb += 3) {
        rgb[0] = static_cast<unsigned char>(p[i] >> 16);
        rgb[1] = static_cast<unsigned char>(p[i] >> 8);
        rgb[2] = static_cast<unsigned char>(p[i]);
    }
    dc.DrawBitmap(wxBitmap(image), at);
}
