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

class wxWindow;

class CGlyphText {
  public:
    CGlyphText() = default;
    ~CGlyphText();
    CGlyphText(const CGlyphText&) = delete;
    CGlyphText& operator=(const CGlyphText&) = delete;

    static constexpr int kFirst = 32, kLast = 126;

    // Looks up `font`'s glyphs as `window` draws them (its resolution and font options).
    void Prepare(wxWindow* window, const wxFont& font);
    bool Ready() const { return m_scaledFont != nullptr; }

    // Draws `text` (characters kFirst..kLast only) with its top at y, each character `advance`
    // wide, into the cairo context `cairo`; false, drawing nothing, when it cannot.
    template <typename Advance>
    bool Draw(void* cairo, const char* text, std::size_t length, double x, double y,
              const wxColour& colour, Advance advance) const {
        if (!Ready() || length > kMaxGlyphs)
            return false;
        std::array<Glyph, kMaxGlyphs> glyphs;
        for (std::size_t i = 0; i < length; ++i) {
            const int c = static_cast<unsigned char>(text[i]);
            if (c < kFirst || c > kLast)
                return false;
            glyphs[i] = {m_index[static_cast<std::size_t>(c - kFirst)], x, y + m_ascent};
            x += advance(text[i]);
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
};
