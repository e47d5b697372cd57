#include "ui/glyph_text.h"

#ifdef __WXGTK__
#include <dlfcn.h>
#endif

#include <cmath>

#include <wx/window.h>

#ifdef __WXGTK__
#include <wx/fontutil.h>
#endif

namespace {

// The few functions of GTK, Pango and cairo used here, looked up in the libraries the program has
// loaded anyway (their development headers are not needed to build it).
template <typename Function>
Function Lookup(const char* name) {
#ifdef __WXGTK__
    return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
#else
    (void)name;  // no GTK, Pango or cairo in the program: the shaped text is not drawn
    return nullptr;
#endif
}

struct FontExtents {  // cairo_font_extents_t
    double ascent, descent, height, maxXAdvance, maxYAdvance;
};

struct Api {
    void* (*widgetPangoContext)(void*) = Lookup<void* (*)(void*)>("gtk_widget_get_pango_context");
    void* (*contextFontMap)(void*) = Lookup<void* (*)(void*)>("pango_context_get_font_map");
    void* (*loadFont)(void*, void*, const void*) =
        Lookup<void* (*)(void*, void*, const void*)>("pango_font_map_load_font");
    void* (*scaledFont)(void*) = Lookup<void* (*)(void*)>("pango_cairo_font_get_scaled_font");
    int (*textToGlyphs)(void*, double, double, const char*, int, void**, int*, void**, int*, int*) =
        Lookup<int (*)(void*, double, double, const char*, int, void**, int*, void**, int*, int*)>(
            "cairo_scaled_font_text_to_glyphs");
    void (*glyphFree)(void*) = Lookup<void (*)(void*)>("cairo_glyph_free");
    void (*fontExtents)(void*, FontExtents*) =
        Lookup<void (*)(void*, FontExtents*)>("cairo_scaled_font_extents");
    void (*setScaledFont)(void*, void*) = Lookup<void (*)(void*, void*)>("cairo_set_scaled_font");
    void (*showGlyphs)(void*, const void*,
                       int) = Lookup<void (*)(void*, const void*, int)>("cairo_show_glyphs");
    void (*setSource)(void*, double, double, double, double) =
        Lookup<void (*)(void*, double, double, double, double)>("cairo_set_source_rgba");
    void (*unref)(void*) = Lookup<void (*)(void*)>("g_object_unref");

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

void CGlyphText::Prepare(wxWindow* window, const wxFont& font) {
    Release();
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
