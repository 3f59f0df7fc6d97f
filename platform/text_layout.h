// Fonts and one-line text layout of the platform layer: a font is a family at a size with bold
// and italic traits; a text line is a run of UTF-16 text laid out on one line in a font, with
// its typographic width and heights, the boundaries of its characters (grapheme clusters: a
// base with its combining marks, a surrogate pair, count as one character), hit testing, and
// its glyph outlines for drawing through a DrawContext under any transform.
//
// Sizes are points taken as device pixels (72 points per inch), so that metrics do not depend
// on the screen. Everything here runs on the main thread, after the application object exists
// (TextPlatformSession makes one for tools and tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plexa {

class DrawContext;

// For tools and tests without the application: makes the platform's GUI application object
// (headless unless a display platform was chosen) when there is none, and ends it again.
class TextPlatformSession {
public:
    TextPlatformSession();
    ~TextPlatformSession();
    TextPlatformSession(const TextPlatformSession&) = delete;
    TextPlatformSession& operator=(const TextPlatformSession&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A reference-counted font. The platform always finds a font: a family it does not have is
// replaced by its nearest match.
struct TextFont;

// The font of a family (UTF-8; empty for the platform's general font) at a size, returned
// with one reference. A size below 1 is taken as 1.
TextFont* TextFontCreate(std::string_view family, double size, bool bold, bool italic);
TextFont* TextFontRetain(TextFont* font);  // returns the font; null is allowed
void TextFontRelease(TextFont* font);      // null is allowed
// A number that fonts made from the same family, size and traits share, and no other font
// has; 0 for null. What is laid out in one font may be kept for every font of its number.
uint32_t TextFontIdentity(const TextFont* font);

struct TextFontInfo {
    std::string family;          // as asked for
    std::string resolvedFamily;  // the family the platform uses for it
    double size;
    bool bold, italic;
};
TextFontInfo TextFontDescribe(const TextFont* font);

struct TextFontHeights {
    double ascent, descent, leading, averageWidth;
};
TextFontHeights TextFontMetrics(const TextFont* font);

// The platform's installed font families (UTF-8), sorted without regard to case in the
// user's language.
std::vector<std::string> TextFontFamilies();

// Case-insensitive equality of two UTF-8 names (full Unicode case folding).
bool TextNamesEqualIgnoringCase(std::string_view a, std::string_view b);

// The sizes of the platform's user interface fonts, in points. Read from the platform's
// settings alone: no font is loaded. Not known (all 0) before the application object is made.
struct TextPlatformFontSizes {
    bool known;
    double userSize, systemSize, smallSystemSize;
};
TextPlatformFontSizes TextGetPlatformFontSizes();

// The fonts the platform offers for the user interface, sizes in points. The families are the
// installed ones that serve them, so the font set-up is loaded here.
struct TextPlatformFonts {
    std::string userFamily;   // text the user types: the general font
    std::string fixedFamily;  // fixed-pitch text
    std::string systemFamily; // controls and labels
    double userSize, systemSize, smallSystemSize;
};
TextPlatformFonts TextGetPlatformFonts();

// UTF-8 bytes as UTF-16 text, every invalid sequence replaced by U+FFFD (the text around it
// is kept).
std::u16string TextDecodeUTF8(std::string_view bytes);

// The placed glyphs of a line: light to keep, to draw the same text again without laying it out.
class TextGlyphs {
public:
    ~TextGlyphs();
    TextGlyphs(const TextGlyphs&) = delete;
    TextGlyphs& operator=(const TextGlyphs&) = delete;

    double width() const;  // the line's typographic width
    // Draws as TextLine::Draw does.
    void Draw(DrawContext& ctx, double x, double y) const;

    struct Impl;

private:
    friend class TextLine;
    explicit TextGlyphs(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class TextLine {
public:
    // Lays the text out on one line, left to right; a null font uses the general font.
    static std::unique_ptr<TextLine> Create(const TextFont* font, std::u16string_view text);
    ~TextLine();
    TextLine(const TextLine&) = delete;
    TextLine& operator=(const TextLine&) = delete;

    std::u16string_view text() const;
    double width() const;  // typographic advance, trailing spaces included
    double ascent() const;
    double descent() const;
    double leading() const;

    // Characters (grapheme clusters) of the line.
    size_t characterCount() const;
    // The position of the start of character i, i from 0 to the count (the count gives the end
    // of the last character).
    double characterOffset(size_t i) const;
    // The first UTF-16 unit of character i (the count gives the text's length).
    size_t characterStart(size_t i) const;
    // The character boundary nearest to x: 0 to the count.
    size_t characterAt(double x) const;

    // Draws the glyphs in the context's fill colour, the start of the baseline at (x, y), through
    // the platform's glyph cache: for text that the context neither turns nor mirrors (it may
    // move and scale it).
    void Draw(DrawContext& ctx, double x, double y) const;
    // The line's placed glyphs, to keep.
    std::shared_ptr<const TextGlyphs> Glyphs() const;
    // Fills the glyph outlines in the context's fill colour, the start of the baseline at (x, y),
    // under any transform (the outlines follow it as a filled path does).
    void Fill(DrawContext& ctx, double x, double y) const;
    // Adds the outlines of the glyphs, the start of the baseline at (x, y), to the context's
    // current path (as closed subpaths to be filled with the non-zero winding rule).
    void AddToPath(DrawContext& ctx, double x, double y) const;

    struct Impl;

private:
    explicit TextLine(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace plexa
