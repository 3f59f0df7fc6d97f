// A version-3.6 library written field by field from its stored layout, for the library reader's
// and the library conversion's tests and the fuzz seeds: a header, the directory (room for 255
// entries, two used), and two items, each in an order of its own.
//
// Item "RES" (class id 42, symbol flag 128): a rectangle and two pins (node values 1 and 2, of
// pin types 7 and 2); three styles (Geneva 9, Helvetica 10 bold, Times 12 italic underlined);
// texts: the pin numbers "1" and "2", the pin names "A" and "B", the value "10k" in style 1, a
// free text "\LR" (the prefix R), a free text "Tol \xB1" (Mac Roman: "Tol ±") in the last style,
// a free text whose macro "\DATS" is rewritten, and a pin text of a node no pin has.
// Item "\xB5A741" (Mac Roman: "µA741"): a triangle and three pins (values 1, 2, 3); two styles;
// texts: pin numbers "3", "2", "6", the pin name "+IN", a free text "\n" (show the name), a
// designator "U?", the name text "\xB5A741", a part-field text, a Spice text with "\V", and a
// text of a style index no style has.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/tests/v36_fixture.h"

namespace plexa::test {

struct V36LibraryOptions {
    bool bigEndian = true;        // the header's and the directory's order
    bool firstBigEndian = true;   // the order of item "RES"
    bool secondBigEndian = false; // the order of item "µA741"
    int version = 900;
};

// The strings of one item's string block and their specs: (offset from the block's start) << 10
// | length.
class ItemStrings {
public:
    uint32_t Add(const std::string& s) {
        const uint32_t offset = 16 + uint32_t(bytes_.size());
        bytes_ += s;
        return offset << 10 | uint32_t(s.size());
    }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

struct V36LibText {
    int top, left, bottom, right;
    uint32_t text, macro;
    int kind, flagsA, flagsB;
    uint32_t style;
};

struct V36LibStyle {
    const char* font;
    uint32_t face;
    int size;
};

// One item at the writer's position, in its own order; the places of some fields go to `at`
// under the prefix.
inline void WriteV36LibItem(V36Writer& file, bool big, const std::string& prefix, uint32_t classId,
                            int flags, const std::vector<std::string>& elements,
                            const std::vector<V36LibStyle>& styles, const std::vector<V36LibText>& texts,
                            const ItemStrings& strings, V36Fixture& fixture) {
    auto& at = fixture.at;
    const uint32_t base = file.Here();
    V36Writer w(big);
    // ---- Head, 32 bytes ("L2W10", 4 raw) ----
    w.U32(0x01020304);                          // 0  not used
    w.U32(classId);                             // 4  class id
    w.U16(0);                                   // 8  not used
    w.U16(flags);                               // 10 flags: bit 1 symbol flag 128
    at[prefix + " element count"] = base + w.Here();
    w.U16(int(elements.size()));                // 12 number of elements
    at[prefix + " text count"] = base + w.Here();
    w.U16(int(texts.size()));                   // 14 number of texts
    at[prefix + " strings size"] = base + w.Here();
    w.U16(16 + int(strings.bytes().size()));    // 16 size of the string block
    w.Zeros(10);                                // 18 not used
    at[prefix + " format"] = base + w.Here();
    w.U8(0x01);                                 // 28 format: long element heads, no image list
    w.Zeros(3);                                 // 29 not used
    // ---- Elements ----
    at[prefix + " elements"] = base + w.Here();
    for (const std::string& element : elements) w.Raw(element);
    // ---- Style list: four big-endian longs, the records, then the font names ----
    at[prefix + " styles"] = base + w.Here();
    w.BE32(16);                                 // header length (low 12 bits)
    w.BE32(16);                                 // record size
    at[prefix + " style count"] = base + w.Here();
    w.BE32(uint32_t(styles.size()));            // record count
    w.BE32(0);                                  // list flags
    for (const V36LibStyle& s : styles) {
        w.Zeros(4);                             // 0  not used
        w.U32(s.face);                          // 4  face value
        w.U16(s.size);                          // 8  size
        w.U16(0);                               // 10 not used
        w.U32(0x55AA55AA);                      // 12 the value kept with the style
    }
    for (const V36LibStyle& s : styles) w.Counted(s.font);  // counted font names
    // ---- Texts, 28 bytes each ("W4L2WB2W2L") ----
    at[prefix + " texts"] = base + w.Here();
    for (const V36LibText& t : texts) {
        w.Rct(t.top, t.left, t.bottom, t.right);  // 0  bounds
        w.U32(t.text);                            // 8  text spec
        w.U32(t.macro);                           // 12 macro spec
        w.U16(t.kind);                            // 16 kind code
        w.U8(t.flagsA);                           // 18 flags byte A
        w.U8(t.flagsB);                           // 19 flags byte B
        w.U16(0);                                 // 20 owning symbol (none in a library)
        w.U16(0);                                 // 22 label number
        w.U32(t.style);                           // 24 style index
    }
    // ---- String block: 16-byte header ("L3W"), then the strings ----
    at[prefix + " strings"] = base + w.Here();
    const uint32_t size = 16 + uint32_t(strings.bytes().size());
    w.U32(0xDA7ABED1);                          // magic
    w.U32(size);                                // allocated
    at[prefix + " strings used"] = base + w.Here();
    w.U32(size);                                // used
    w.U16(64);                                  // quantum
    w.U16(0);                                   // zero
    w.Raw(strings.bytes());
    file.Raw(w.bytes());
}

// An element record: u32 total length (itself included), the 28-byte head, the kind data words.
inline std::string V36LibElement(bool big, int kind, int flagsA, int flagsB, int top, int left,
                                 int bottom, int right, int pen, const std::vector<int>& words) {
    V36Writer w(big);
    w.U32(4 + 28 + 2 * uint32_t(words.size()));   // total length
    w.U8(flagsA);                                  // 0  flags byte A: bit 0 filled
    w.U8(flagsB);                                  // 1  flags byte B
    for (int i = 0; i < 4; ++i) w.U16(0);          // 2  not used (words)
    w.Rct(top, left, bottom, right);               // 10 rectangle, or a line's end points
    w.U8(kind);                                    // 18 kind
    w.U8(pen);                                     // 19 pen width (a node: its index + 1)
    w.LE32(0x07000000);                            // 20 frame colour, raw
    w.LE32(0x07000000);                            // 24 fill colour, raw
    for (int word : words) w.U16(word);            // 28 kind data
    return w.bytes();
}

// A pin node: its connection end first; words: 0, the node value, the pin flags, 0.
inline std::string V36LibNode(bool big, int v1, int h1, int v2, int h2, int index, int value, int pinFlags) {
    return V36LibElement(big, 8, 0, 0, v1, h1, v2, h2, index + 1, {0, value, pinFlags, 0});
}

inline V36Fixture WriteV36Library(const V36LibraryOptions& o = {}) {
    V36Fixture fixture;
    auto& at = fixture.at;
    V36Writer w(o.bigEndian);
    // ---- Header, 64 bytes ("WL2WLWL" over the first 22) ----
    w.U16(o.version);                  // 0  version
    w.U32(256);                        // 2  a value below 65536: zero high bytes tell the order
    w.U32(0);                          // 6  not used
    w.U16(0);                          // 10 not used
    w.U32(0);                          // 12 not used
    at["item count"] = w.Here();
    w.U16(2);                          // 16 number of items
    w.U32(FourCC("QLIB"));             // 18 file type, a long of the header's order
    w.Zeros(42);                       // 22 not used
    // ---- Directory: 255 entries of 30 bytes ----
    const bool orders[2] = {o.firstBigEndian, o.secondBigEndian};
    const char* names[2] = {"RES", "\xB5" "A741"};
    for (int i = 0; i < 255; ++i) {
        if (i >= 2) {
            w.Zeros(30);               // an unused entry
            continue;
        }
        at["entry " + std::to_string(i)] = w.Here();
        w.U32(0);                      // 0  file position of the item, below
        w.Counted(names[i], 18);       // 4  counted name in 18 bytes
        w.U8(orders[i] ? 0x00 : 0x08); // 22 flags: 0x08 the item is little-endian
        w.U8(0);                       // 23 not used
        w.U32(0);                      // 24 not used
        w.U16(0);                      // 28 not used
    }

    // ---- Item "RES" ----
    {
        const bool big = o.firstBigEndian;
        w.Put32(at["entry 0"], w.Here());
        at["item 0"] = w.Here();
        ItemStrings s;
        const uint32_t k1 = s.Add("1"), k2 = s.Add("2"), kA = s.Add("A"), kB = s.Add("B"),
                       k10k = s.Add("10k"), kPrefix = s.Add("\\LR"), kTol = s.Add("Tol \xB1"),
                       kDate = s.Add("Date"), kDats = s.Add("\\DATS"), kStray = s.Add("9");
        const std::vector<std::string> elements = {
            V36LibElement(big, 3, 0, 0, 0, 10, 20, 40, 1, {0, 0, 0, 0}),  // the body
            V36LibNode(big, 10, 0, 10, 10, 0, 1, 0x0002),                 // pin value 1, passive
            V36LibNode(big, 10, 50, 10, 40, 1, 2, 0x0008),                // pin value 2, output
        };
        const std::vector<V36LibStyle> styles = {
            {"Geneva", 0x00, 9}, {"Helvetica", 0x01, 10}, {"Times", 0x12, 12}};
        const std::vector<V36LibText> texts = {
            {0, 2, 8, 8, k1, 0, 1, 0x40, 0, 0},         // pin number of value 1
            {0, 42, 8, 48, k2, 0, 2, 0x40, 0, 0},       // pin number of value 2
            {12, 2, 20, 8, kA, 0, 1, 0x00, 0, 0},       // pin name of value 1
            {12, 42, 20, 48, kB, 0, 2, 0x00, 0, 0},     // pin name of value 2
            {22, 10, 32, 40, k10k, 0, -2, 0x00, 0, 1},  // the value, style 1
            {-12, 10, -2, 30, kPrefix, 0, -3, 0x00, 0, 0},  // "\LR": the prefix R
            {34, 10, 46, 60, kTol, 0, -3, 0x00, 0, 2},  // a free text in the last style
            {48, 10, 58, 60, kDate, kDats, -3, 0x00, 0x40, 0},  // a macro text
            {0, 0, 8, 8, kStray, 0, 9, 0x40, 0, 0},     // a pin number of no pin
        };
        WriteV36LibItem(w, big, "item 0", 42, 0x0002, elements, styles, texts, s, fixture);
    }

    // ---- Item "µA741" ----
    {
        const bool big = o.secondBigEndian;
        w.Put32(at["entry 1"], w.Here());
        at["item 1"] = w.Here();
        ItemStrings s;
        const uint32_t k3 = s.Add("3"), k2 = s.Add("2"), k6 = s.Add("6"), kIn = s.Add("+IN"),
                       kName = s.Add("\\n"), kU = s.Add("U?"), kOp = s.Add("\xB5" "A741"),
                       kFields = s.Add("SH{DIP8} pn{LM741} HT{5mm} ED{rev B} U1{op amp}"),
                       kSpice = s.Add("X\\V"), kLost = s.Add("lost");
        V36Writer triangle(big);
        triangle.U32(4 + 28 + 2 + 12);                     // total length
        triangle.U8(0x01);                                 // flags byte A: filled
        triangle.U8(0x00);                                 // flags byte B
        for (int i = 0; i < 4; ++i) triangle.U16(0);       // not used
        triangle.Rct(0, 10, 40, 50);                       // bounds of the points
        triangle.U8(7);                                    // kind: polygon
        triangle.U8(2);                                    // pen width
        triangle.LE32(0x07000000);                         // frame colour, raw
        triangle.LE32(0x07000000);                         // fill colour, raw
        triangle.U16(6);                                   // coordinates: three points
        triangle.Pt(0, 10);
        triangle.Pt(20, 50);
        triangle.Pt(40, 10);
        const std::vector<std::string> elements = {
            triangle.bytes(),
            V36LibNode(big, 10, 0, 10, 10, 0, 1, 0x0000),   // +IN, value 1, type 0
            V36LibNode(big, 30, 0, 30, 10, 1, 2, 0x0001),   // -IN, value 2, type 1
            V36LibNode(big, 20, 60, 20, 50, 2, 3, 0x0008),  // OUT, value 3, type 2
        };
        const std::vector<V36LibStyle> styles = {{"Geneva", 0, 9}, {"Courier", 0, 10}};
        const std::vector<V36LibText> texts = {
            {2, 2, 10, 8, k3, 0, 1, 0x40, 0, 1},        // pin number of value 1
            {22, 2, 30, 8, k2, 0, 2, 0x40, 0, 1},       // pin number of value 2
            {12, 52, 20, 58, k6, 0, 3, 0x40, 0, 1},     // pin number of value 3
            {6, 12, 14, 30, kIn, 0, 1, 0x00, 0, 1},     // pin name of value 1
            {42, 10, 52, 40, kName, 0, -3, 0x00, 0, 0}, // "\n": show the name
            {-12, 30, -2, 50, kU, 0, -1, 0x00, 0, 0},   // designator
            {54, 10, 64, 40, kOp, 0, -4, 0x00, 0, 0},   // name text
            {0, 0, 0, 0, kFields, 0, -8, 0x00, 0, 0},   // part fields
            {0, 0, 0, 0, kSpice, 0, -7, 0x00, 0, 0},    // Spice text
            {66, 10, 76, 40, kLost, 0, -3, 0x00, 0, 7}, // a style index beyond the list
        };
        WriteV36LibItem(w, big, "item 1", 0, 0, elements, styles, texts, s, fixture);
    }
    fixture.bytes = w.bytes();
    return fixture;
}

}  // namespace plexa::test
