// Cell texts drawn as glyphs, past the text system.
//
// The painter's cells are printable ASCII in one font. Laying each of them out and shaping it
// with the text system costs some 9 µs a cell, most of the user-interface thread's time on a busy
// bus; the glyphs of those 95 characters never change, so they are looked up once per font and a
// cell becomes one call that puts its glyphs at the advances the painter measured. Where the
// toolkit's libraries do not offer what this needs (another platform, another backend), Ready()
// stays false and the painter keeps drawing text as before.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <wx/colour.h>
#include <wx/font.h>

class wxDC;
class wxWindow;

class CGlyphText {
  public:
    CGlyphText() = default;
    ~CGlyphText();
    CGlyphText(const CGlyphText&) = delete;
    CGlyphText& operator=(const CGlyphText&) = delete;

    static constexpr int kFirst = 32, kLast = 126;

    // Measures each character's advance in `font` with `dc`, and looks up the font's glyphs as
    // `window` draws them (its resolution and font options) where the libraries allow.
    void Prepare(wxWindow* window, wxDC& dc, const wxFont& font);
    // The font of the last Prepare (the advances are for it).
    const wxFont& Font() const { return m_measured; }
    bool Ready() const { return m_scaledFont != nullptr; }

    // A character's advance; a character outside kFirst..kLast counts as wide as "m".
    int Advance(char c) const {
        const int i = static_cast<unsigned char>(c) - kFirst;
        return i >= 0 && i <= kLast - kFirst ? m_advance[static_cast<std::size_t>(i)]
                                             : m_advance['m' - kFirst];
    }
    // Draws `text` (characters kFirst..kLast only) with its top at y, each character at its
    // measured advance, into the cairo context `cairo`; false, drawing nothing, when it cannot.
    bool Draw(void* cairo, const char* text, std::size_t length, double x, double y,
              const wxColour& colour) const {
        if (!Ready() || length > kMaxGlyphs)
            return false;
        std::array<Glyph, kMaxGlyphs> glyphs;
        for (std::size_t i = 0; i < length; ++i) {
            const int c = static_cast<unsigned char>(text[i]);
            if (c < kFirst || c > kLast)
                return false;
            glyphs[i] = {m_index[static_cast<std::size_t>(c - kFirst)], x, y + m_ascent};
            x += m_advance[static_cast<std::size_t>(c - kFirst)];
        }
        Show(cairo, glyphs.data(), static_cast<int>(length), colour);
        return true;
    }

  private:
    struct Glyph {  // cairo_glyph_t
        unsigned long index;
        double x;
        double y;
    };
    static constexpr std::size_t kMaxGlyphs = 64;

    void Show(void* cairo, const Glyph* glyphs, int count, const wxColour& colour) const;
    void Release();

    void* m_font = nullptr;        // the text system's font, holding the scaled font
    void* m_scaledFont = nullptr;  // cairo_scaled_font_t
    double m_ascent = 0;
    std::array<unsigned long, kLast - kFirst + 1> m_index{};
    std::array<int, kLast - kFirst + 1> m_advance{};
    wxFont m_measured;
};
