// A version-3.6 sheet written field by field from its stored layout, in either byte order, for
// the reader's tests and the fuzz seeds. No program writes these files any more; this writer is
// the tests' own. Where the layout leaves a choice open, it makes the one the reader makes:
//  - the colours of element heads are four raw bytes each, written little-endian in both orders
//    (the writer's host order is not recorded anywhere);
//  - a net's flags are the byte at 16 (bit 4 the high default priority), a wire link's flags the
//    byte at 24 and its label reference the word at 28;
//  - every part section is followed by its own u32 length of skipped data;
//  - a pin record is {u16 id, a counted name, then tab-separated fields to its end};
//  - bus segment entries are as long as the settings' member entry size says.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "foundation/types.h"

namespace plexa::test {

// Bytes in a chosen order.
class V36Writer {
public:
    explicit V36Writer(bool bigEndian) : big_(bigEndian) {}

    void U8(int v) { bytes_ += char(uint8_t(v)); }
    void U16(int v) {
        if (big_) {
            U8(v >> 8);
            U8(v);
        } else {
            U8(v);
            U8(v >> 8);
        }
    }
    void U32(uint32_t v) {
        if (big_) {
            U16(int(v >> 16));
            U16(int(v & 0xFFFF));
        } else {
            U16(int(v & 0xFFFF));
            U16(int(v >> 16));
        }
    }
    void BE32(uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) U8(int(v >> shift));
    }
    void LE32(uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) U8(int(v >> shift));
    }
    void Raw(const std::string& s) { bytes_ += s; }
    void Zeros(size_t n) { bytes_.append(n, '\0'); }
    // A length byte and the text, padded with zeros to `field` bytes (no padding for 0).
    void Counted(const std::string& text, size_t field = 0) {
        U8(int(text.size()));
        Raw(text);
        if (field > text.size() + 1) Zeros(field - text.size() - 1);
    }
    void Pt(int v, int h) {
        U16(v);
        U16(h);
    }
    void Rct(int top, int left, int bottom, int right) {
        Pt(top, left);
        Pt(bottom, right);
    }
    // Overwrites a long written earlier (a position known only later).
    void Put32(size_t at, uint32_t v) {
        V36Writer w(big_);
        w.U32(v);
        bytes_.replace(at, 4, w.bytes());
    }
    uint32_t Here() const { return uint32_t(bytes_.size()); }
    const std::string& bytes() const { return bytes_; }

private:
    bool big_;
    std::string bytes_;
};

struct V36FixtureOptions {
    bool bigEndian = false;        // the body's order
    bool leaderBigEndian = false;  // the leader's own order
    FourCharCode platform = FourCC("IW32");
    uint16_t version = 912;
    int textSize = 28;             // stored text record size; records are cut or padded with 0xEE
    int surplus = 0;               // bytes of 0xEE behind every other record of a stored size
    std::string imageList;         // a stored image list, appended when given
};

// A fixture and where some of its fields lie (for the damaged-input tests).
struct V36Fixture {
    std::string bytes;
    std::map<std::string, uint32_t> at;
};

inline V36FixtureOptions LittleEndianV36(const std::string& images = {}) {
    V36FixtureOptions o;
    o.imageList = images;
    return o;
}

inline V36FixtureOptions BigEndianV36(const std::string& images = {}) {
    V36FixtureOptions o;
    o.bigEndian = o.leaderBigEndian = true;
    o.platform = FourCC("PMac");
    o.imageList = images;
    return o;
}

// The sheet: two symbols (a resistor with two pin nodes, an amplifier with a polygon and a node),
// three sheet elements, two text styles, four texts, one part of two sections, two pin records,
// one bus of two segments and one net of three nodes and two wire links.
inline V36Fixture WriteV36Sheet(const V36FixtureOptions& o) {
    V36Fixture fixture;
    auto& at = fixture.at;
    V36Writer w(o.bigEndian);
    const bool longHead = o.version >= 912;
    const int surplus = o.surplus;
    // A record of a stored size: written whole into its own writer, then padded with 0xEE.
    auto sized = [&](const V36Writer& record) {
        std::string bytes = record.bytes();
        bytes.append(size_t(surplus), '\xEE');
        w.Raw(bytes);
    };

    // The labels' strings and their specs: (offset from the block's start) << 10 | length.
    std::string strings;
    auto spec = [&strings](const std::string& s) {
        const uint32_t offset = 16 + uint32_t(strings.size());
        strings += s;
        return offset << 10 | uint32_t(s.size());
    };
    const uint32_t kRes = spec("RES"), kOpamp = spec("OPAMP"), kR1 = spec("R1"),
                   k10k = spec("10k"), kDate = spec("Date: \\DATS"), kMacro = spec("\\DATS"),
                   kVin = spec("VIN");

    // ---- Leader, 20 bytes, in its own order ----
    V36Writer lead(o.leaderBigEndian);
    lead.U16(o.version);                            // 0  version word
    lead.U16(o.leaderBigEndian ? 0x0000 : 0xFFFF);  // 2  byte-order marker
    lead.U32(FourCC("QSCM"));                       // 4  file type, a long of the leader's order
    lead.U32(FourCC("LEAD"));                       // 8  tag
    lead.U32(20);                                   // 12 leader length: 16 and the platform
    lead.BE32(o.platform);                          // 16 platform, big-endian in either order
    w.Raw(lead.bytes());

    // ---- Header, 32 bytes ("L5W2", 8 raw) ----
    w.U32(0x01010101);                 // 0  not used
    w.U32(0x02020202);                 // 4  not used
    at["settings position"] = w.Here();
    w.U32(0);                          // 8  settings position, below
    w.U32(0);                          // 12 not used
    w.U32(0);                          // 16 not used
    w.U16(0);                          // 20 not used
    w.U16(o.version);                  // 22 sheet format version
    w.Raw("\x01\x02\x03\x04\x05\x06\x07\x08");  // 24 not used, raw

    // ---- Sheet settings block, 32 bytes ("W5", 22 raw), then the settings text ----
    w.U16(1);                          // 0
    w.U16(0x0203);                     // 2
    w.U16(3);                          // 4
    w.U16(48);                         // 6  the distance setting
    w.U16(5);                          // 8
    for (int i = 0; i < 22; ++i) w.U8(0x10 + i);  // 10 raw
    w.Counted("Amplifier, sheet 1", 256);           // counted string of 256 bytes

    // ---- Settings record, 94 bytes; positions filled in below ----
    const uint32_t settings = w.Here();
    w.Put32(at["settings position"], settings);
    auto position = [&](const char* name) {
        at[name] = w.Here();
        w.U32(0);
    };
    w.U32(0);                          // 0  not used
    w.U16(0);                          // 4  not used
    position("symbols");               // 6  symbol position
    at["symbol count"] = w.Here();
    w.U16(2);                          // 10 symbol count
    w.U16(32 + surplus);               // 12 symbol record size
    position("texts");                 // 14 text position
    at["text count"] = w.Here();
    w.U16(4);                          // 18 text count
    w.U16(o.textSize);                 // 20 text record size
    position("nets");                  // 22 net position
    w.U16(1);                          // 26 net count
    w.U16(28 + surplus);               // 28 net record size
    w.U16(12 + surplus);               // 30 node entry size
    w.U16(34 + surplus);               // 32 wire link size
    position("busses");                // 34 bus position
    w.U16(1);                          // 38 bus count
    w.U16(26 + surplus);               // 40 bus record size
    w.U16(12 + surplus);               // 42 bus member (segment) entry size
    position("parts");                 // 44 part position
    w.U16(1);                          // 48 part count
    w.U16(6);                          // 50 part record size: the two words and two bytes
    w.U16(0);                          // 52 not used
    position("pins");                  // 54 pin position
    w.U16(2);                          // 58 pin count
    w.U16(0);                          // 60 not used
    position("labels");                // 62 labels position
    w.U32(0);                          // 66 not used
    position("styles");                // 70 style list position
    w.U16(0);                          // 74 not used
    at["element count"] = w.Here();
    w.U16(3);                          // 76 sheet element count
    position("elements");              // 78 sheet element position
    position("images");                // 82 image list position
    w.Raw("\xA0\xA1\xA2\xA3\xA4\xA5\xA6\xA7");  // 86 not used, raw
    auto here = [&](const char* name) { w.Put32(at[name], w.Here()); };

    // ---- Labels: i32 length, then the string block (header "L3W") ----
    here("labels");
    at["labels length"] = w.Here();
    w.U32(16 + uint32_t(strings.size()));   // handle length
    w.U32(0xDA7ABED1);                       // magic
    w.U32(16 + uint32_t(strings.size()));   // allocated
    at["labels used"] = w.Here();
    w.U32(16 + uint32_t(strings.size()));   // used
    w.U16(64);                               // quantum
    w.U16(0);                                // zero
    w.Raw(strings);

    // An element: u32 total length, the head (28 bytes, or 20 without the colours), then the
    // kind data words from offset 28 (20).
    auto element = [&](const char* name, int flagsA, int flagsB, int top, int left, int bottom,
                       int right, int kind, int pen, uint32_t frame, uint32_t fill,
                       const std::vector<int>& words) {
        const uint32_t head = longHead ? 28 : 20;
        if (name) at[name] = w.Here();
        w.U32(4 + head + 2 * uint32_t(words.size()));  // total length, itself included
        w.U8(flagsA);                                  // 0  flags byte A
        w.U8(flagsB);                                  // 1  flags byte B
        w.U16(0x0B0B);                                 // 2  not used (words)
        w.U16(0x0C0C);
        w.U16(0);
        w.U16(0);
        w.Rct(top, left, bottom, right);               // 10 rectangle or end points
        w.U8(kind);                                    // 18 kind
        w.U8(pen);                                     // 19 pen width (a node: its index + 1)
        if (longHead) {
            w.LE32(frame);                             // 20 frame colour, raw
            w.LE32(fill);                              // 24 fill colour, raw
        }
        if (name) at[std::string(name) + " data"] = w.Here();
        for (int word : words) w.U16(word);            // kind data
    };

    // ---- Symbols ----
    here("symbols");
    struct SymbolRow {
        uint32_t name;
        int v, h, number, flags;
        uint32_t id, classId;
    };
    const SymbolRow symbols[] = {{kRes, 100, 200, 1, 0x01, 5, 0},
                                 {kOpamp, 300, 400, 2, 0x14, 0x8001, 77}};
    for (int i = 0; i < 2; ++i) {
        const SymbolRow& s = symbols[i];
        V36Writer r(o.bigEndian);
        r.U32(s.name);                 // 0  name spec
        r.U16(0); r.U16(0); r.U16(0); r.U16(0);  // 4 not used
        r.Pt(s.v, s.h);                // 12 position
        r.U16(s.number);               // 16 symbol number
        r.U8(s.flags);                 // 18 flags
        r.U8(0);                       // 19 not used
        r.U32(s.id);                   // 20 symbol id
        r.U32(s.classId);              // 24 class id
        r.U32(0);                      // 28 not used
        if (i == 0) at["symbol 0"] = w.Here();
        sized(r);
        w.Raw("\xF1\xF2\xF3\xF4");     // 4 bytes skipped
        if (i == 0) at["symbol skip length"] = w.Here();
        w.U32(3);                      // u32 length of skipped bytes
        w.Raw("abc");
        if (i == 0) {
            w.U16(3);                  // element count
            element(nullptr, 0x01, 0x30, 0, 0, 20, 10, 3, 1, 0x00FF0000, 0x0000FF00, {0, 0, 0});
            element("node element", 0, 0, 0, 0, 0, 10, 8, 1, 0, 0, {0, 1, 0x0008});
            element(nullptr, 0, 0, 20, 0, 20, 10, 8, 2, 0, 0, {0, 2, 0x0002});
        } else {
            w.U16(2);
            element("polygon", 0, 0x04, 0, 0, 40, 40, 7, 2, 0x11223344, 0, {6, 0, 0, 40, 20, 0, 40});
            element(nullptr, 0, 0, 20, 50, 20, 60, 8, 1, 0, 0, {0, 3, 0x0001});
        }
    }

    // ---- Sheet elements (912 and later; stored in older sheets too, to be passed over) ----
    here("elements");
    // Always with the long head: the section exists only from 912 on.
    {
        const uint32_t head = 28;
        auto longElement = [&](int kind, int pen, int top, int left, int bottom, int right,
                               uint32_t frame, const std::vector<int>& words) {
            w.U32(4 + head + 2 * uint32_t(words.size()));
            w.U8(0);                   // flags byte A
            w.U8(0x20);                // flags byte B: a frame colour
            w.U16(0); w.U16(0); w.U16(0); w.U16(0);
            w.Rct(top, left, bottom, right);
            w.U8(kind);
            w.U8(pen);
            w.LE32(frame);
            w.LE32(0);
            for (int word : words) w.U16(word);
        };
        at["sheet element 0"] = w.Here();
        longElement(1, 1, 500, 500, 600, 700, 0x00000001, {0, 0, 0});   // a line
        longElement(9, 0, 10, 10, 26, 26, 0, {0, 0, 16, 16});            // an image, index 0
        longElement(6, 3, 50, 50, 90, 90, 0, {0, 0, 90});               // an arc, 0 to 90
    }

    // ---- Text styles: four big-endian longs, the records ("B4LW2L"), then the names ----
    here("styles");
    at["style header"] = w.Here();
    w.BE32(16);                        // header length
    w.BE32(16);                        // record size
    at["style count"] = w.Here();
    w.BE32(2);                         // record count
    w.BE32(0);                         // list flags
    w.Zeros(4);                        // 0  not used
    w.U32(0x11);                       // 4  face: bold, and bit 4
    w.U16(10);                         // 8  size
    w.U16(0);                          // 10 not used
    w.U32(0x12345678);                 // 12 value
    w.Zeros(4);
    w.U32(0);
    w.U16(12);
    w.U16(0);
    w.U32(0);
    w.Counted("Times");
    w.Counted("Helvetica");

    // ---- Texts ("W4L2WB2W2L"), cut or padded to the stored size ----
    here("texts");
    struct TextRow {
        int top, left, bottom, right;
        uint32_t text, macro;
        int kind, flagsA, flagsB, symbol, label;
        uint32_t style;
    };
    const TextRow texts[] = {
        {90, 190, 100, 220, kR1, 0, -1, 0x00, 0x00, 1, 0, 0},
        {110, 190, 120, 220, k10k, 0, -2, 0x10, 0x00, 1, 0, 1},
        {700, 20, 712, 120, kDate, kMacro, -3, 0x04, 0x40, 0, 0, 0},
        {95, 150, 105, 170, kVin, 0, -5, 0x02, 0x00, 0, 3, 1},
    };
    for (const TextRow& t : texts) {
        V36Writer r(o.bigEndian);
        r.Rct(t.top, t.left, t.bottom, t.right);  // 0  bounds
        r.U32(t.text);                 // 8  text spec
        r.U32(t.macro);                // 12 macro spec
        r.U16(t.kind);                 // 16 kind code
        r.U8(t.flagsA);                // 18 flags byte A
        r.U8(t.flagsB);                // 19 flags byte B
        r.U16(t.symbol);               // 20 owning symbol's number
        r.U16(t.label);                // 22 label number
        r.U32(t.style);                // 24 style index
        std::string record = r.bytes();
        record.resize(size_t(o.textSize), '\xEE');
        if (&t == &texts[0]) at["text 0"] = w.Here();
        w.Raw(record);
    }

    // ---- Parts ----
    here("parts");
    w.U16(1);                          // 0  first word
    w.U16(2);                          // 2  section count
    w.Raw("\xAB\xCD");                 // 4  raw; the record is 6 bytes
    const std::string fields = "OPAMP\tU\tDIP8\tLM358";
    at["part fields length"] = w.Here();
    w.U32(uint32_t(fields.size()));    // fields handle
    w.Raw(fields);
    at["part pin ids length"] = w.Here();
    w.U32(1);                          // pin-id bit array handle: ids 1 and 2
    w.U8(0x06);
    w.U32(0x00000002);                 // section 0: placed as symbol 2
    w.U32(0x8001);                     //            shown by symbol id 0x8001
    w.Raw("\x51\x52\x53\x54\x55\x56"); //            6 bytes not used
    at["section skip length"] = w.Here();
    w.U32(2);                          //            u32 length of skipped data
    w.Raw("zz");
    w.U32(0xFFFFFFFF);                 // section 1: not placed
    w.U32(0x8001);
    w.Zeros(6);
    w.U32(0);

    // ---- Pin records: u32 length, {u16 id, counted name, fields} ----
    here("pins");
    at["pin 0 length"] = w.Here();
    w.U32(2 + 4 + 8);
    w.U16(1);
    w.Counted("VCC");
    w.Raw("VCC\t+15V");
    w.U32(2 + 4);
    w.U16(2);
    w.Counted("GND");

    // ---- Busses ("B20W3"), the segment entries ("W4B2W"), then the skipped items ----
    here("busses");
    {
        V36Writer r(o.bigEndian);
        r.U8(0);                       // 0  not used
        r.U8(0);
        r.Counted("D[0..7]", 18);      // 2  name, counted, 18 bytes
        r.U16(1);                      // 20 count of 4-byte items to skip
        r.U16(2);                      // 22 segment count
        r.U16(0);                      // 24 not used
        at["bus 0"] = w.Here();
        sized(r);
    }
    at["bus segments length"] = w.Here();
    w.U32(2 * uint32_t(12 + surplus)); // segment handle
    {
        V36Writer r(o.bigEndian);
        r.Pt(50, 50);                  // start
        r.Pt(50, 150);                 // end
        r.U8(0x40);                    // flags
        r.U8(0);
        r.U16(0);                      // label reference
        sized(r);
    }
    {
        V36Writer r(o.bigEndian);
        r.Pt(50, 150);
        r.Pt(150, 150);
        r.U8(0);
        r.U8(0);
        r.U16(2);
        sized(r);
    }
    w.Raw("\x61\x62\x63\x64");         // the skipped item

    // ---- Nets ("L2W4B2W3L"), nodes (words), links ("W8L2B4W3") with their corners ----
    here("nets");
    {
        V36Writer r(o.bigEndian);
        r.U32(kVin);                   // 0  name spec
        r.U32(0);                      // 4  not used
        r.U16(0); r.U16(0); r.U16(0); r.U16(0);  // 8 not used
        r.U8(0x10);                    // 16 flags: high default priority
        r.U8(0);                       // 17
        r.U16(16);                     // 18 priority
        r.U16(0); r.U16(0);            // 20 not used
        r.U32(0);                      // 24 not used
        sized(r);
    }
    w.Raw("\x71\x72\x73\x74");         // 4 bytes skipped
    at["node count"] = w.Here();
    w.U16(3);                          // node count
    struct NodeRow {
        int v, h, symbol, index;
    };
    for (const NodeRow& n : {NodeRow{100, 200, -1, 1}, NodeRow{320, 450, -2, 2},
                             NodeRow{200, 300, 5, 3}}) {
        V36Writer r(o.bigEndian);
        r.Pt(n.v, n.h);                // 0  point
        r.U16(n.symbol);               // 4  symbol reference
        r.U16(0); r.U16(0);            // 6  not used
        r.U16(n.index);                // 10 node index
        sized(r);
    }
    w.U16(2);                          // link count
    struct LinkRow {
        int sv, sh, ev, eh;
        uint32_t from, to;
        int flags, label;
        std::vector<int> corners;
    };
    const LinkRow links[] = {{100, 200, 200, 300, 1, 3, 0x00, 3, {100, 300}},
                             {200, 300, 320, 450, 3, 2, 0x10, 0, {}}};
    for (const LinkRow& l : links) {
        V36Writer r(o.bigEndian);
        r.U16(0); r.U16(0); r.U16(0); r.U16(0);  // 0 not used
        r.Pt(l.sv, l.sh);              // 8  start
        r.Pt(l.ev, l.eh);              // 12 end
        r.U32(l.from);                 // 16 start node index
        r.U32(l.to);                   // 20 end node index
        r.U8(l.flags);                 // 24 flags
        r.U8(0); r.U8(0); r.U8(0);     // 25
        r.U16(l.label);                // 28 label reference
        r.U16(0); r.U16(0);            // 30 not used
        if (&l == &links[0]) at["link 0"] = w.Here();
        sized(r);
        if (&l == &links[0]) at["corners length"] = w.Here();
        w.U32(2 * uint32_t(l.corners.size()));  // corner handle: 4 bytes a point
        for (int c : l.corners) w.U16(c);
    }

    // ---- Image list (the model's stored form) ----
    if (!o.imageList.empty()) {
        here("images");
        w.Raw(o.imageList);
    }
    fixture.bytes = w.bytes();
    return fixture;
}

}  // namespace plexa::test
