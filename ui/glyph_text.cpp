#include "ui/glyph_text.h"

#include <cmath>

#include <wx/dc.h>
#include <wx/window.h>

#ifdef __WXGTK__
#include <wx/fontutil.h>
#endif

#include "ui/toolkit_symbol.h"

namespace {

// The few functions of GTK, Pango and cairo used here.
struct FontExtents {  // cairo_font_extents_t
    double ascent, descent, height, maxXAdvance, maxYAdvance;
};

struct Api {
    void* (*widgetPangoContext)(void*) =
        ToolkitSymbol<void* (*)(void*)>("gtk_widget_get_pango_context");
    void* (*contextFontMap)(void*) = ToolkitSymbol<void* (*)(void*)>("pango_context_get_font_map");
    void* (*loadFont)(void*, void*, const void*) =
        ToolkitSymbol<void* (*)(void*, void*, const void*)>("pango_font_map_load_font");
    void* (*scaledFont)(void*) =
        ToolkitSymbol<void* (*)(void*)>("pango_cairo_font_get_scaled_font");
    int (*textToGlyphs)(void*, double, double, const char*, int, void**, int*, void**, int*, int*) =
        ToolkitSymbol<int (*)(void*, double, double, const char*, int, void**, int*, void**, int*,
                              int*)>("cairo_scaled_font_text_to_glyphs");
    void (*glyphFree)(void*) = ToolkitSymbol<void (*)(void*)>("cairo_glyph_free");
    void (*fontExtents)(void*, FontExtents*) =
        ToolkitSymbol<void (*)(void*, FontExtents*)>("cairo_scaled_font_extents");
    void (*setScaledFont)(void*,
                          void*) = ToolkitSymbol<void (*)(void*, void*)>("cairo_set_scaled_font");
    void (*showGlyphs)(void*, const void*,
                       int) = ToolkitSymbol<void (*)(void*, const void*, int)>("cairo_show_glyphs");
    void (*setSource)(void*, double, double, double, double) =
        ToolkitSymbol<void (*)(void*, double, double, double, double)>("cairo_set_source_rgba");
    void (*unref)(void*) = ToolkitSymbol<void (*)(void*)>("g_object_unref");

    bool Complete() const {
        return widgetPangoContext && contextFontMap && loadFont && scaledFont && textToGlyphs &&
               glyphFree && fontExtents && setScaledFont && showGlyphs && setSource && unref;
    }
};

const Api& Functions() {
    static const Api api;
    return api;
}

}  // namespace

CGlyphText::~CGlyphText() {
    Release();
}

void CGlyphText::Release() {
    if (m_font)
        Functions().unref(m_font);
    m_font = nullptr;
    m_scaledFont = nullptr;
}

void CGlyphText::Prepare(wxWindow* window, wxDC& dc, const wxFont& font) {
    Release();
    // Every advance from one measurement of all the characters.
    wxString printable;
    for (int c = kFirst; c <= kLast; ++c)
        printable += static_cast<char>(c);
    wxArrayInt ends;
    dc.SetFont(font);
    dc.GetPartialTextExtents(printable, ends);
    int previous = 0;
    for (std::size_t i = 0; i < m_advance.size(); ++i) {
        const int end = i < ends.size() ? ends[i] : previous;
        m_advance[i] = end - previous;
        previous = end;
    }
    m_measured = font;
#ifdef __WXGTK__
    const Api& api = Functions();
    const wxNativeFontInfo* info = font.GetNativeFontInfo();
    if (!api.Complete() || !window || !window->GetHandle() || !info || !info->description)
        return;
    void* context = api.widgetPangoContext(window->GetHandle());
    void* map = context ? api.contextFontMap(context) : nullptr;
    void* loaded = map ? api.loadFont(map, context, info->description) : nullptr;
    if (!loaded)
        return;
    void* scaled = api.scaledFont(loaded);
    if (!scaled) {
        api.unref(loaded);
        return;
    }
    char all[kLast - kFirst + 1];
    for (int c = kFirst; c <= kLast; ++c)
        all[c - kFirst] = static_cast<char>(c);
    void* glyphs = nullptr;
    int count = 0;
    if (api.textToGlyphs(scaled, 0, 0, all, static_cast<int>(sizeof all), &glyphs, &count, nullptr,
                         nullptr, nullptr) != 0 ||
        count != static_cast<int>(sizeof all)) {
        if (glyphs)
            api.glyphFree(glyphs);
        api.unref(loaded);
        return;
    }
    const auto* found = static_cast<const Glyph*>(glyphs);
    for (int i = 0; i < count; ++i)
        m_index[static_cast<std::size_t>(i)] = found[i].index;
    api.glyphFree(glyphs);
    FontExtents extents{};
    api.fontExtents(scaled, &extents);
    m_ascent = std::round(extents.ascent);
    m_font = loaded;
    m_scaledFont = scaled;
#else
    (void)window;
    (void)font;
#endif
}

void CGlyphText::Show(void* cairo, const Glyph* glyphs, int count, const wxColour& colour) const {
    const Api& api = Functions();
    api.setScaledFont(cairo, m_scaledFont);
    api.setSource(cairo, colour.Red() / 255.0, colour.Green() / 255.0, colour.Blue() / 255.0,
                  colour.Alpha() / 255.0);
    api.showGlyphs(cairo, glyphs, count);
}
