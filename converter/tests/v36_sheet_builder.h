// Version-3.6 sheets written from a description, field by field in the stored layout (the same
// layout, and the same choices where it leaves one open, as v36_fixture.h), for the translation
// and project tests: whatever symbols, texts, nets, busses, parts and pins a test needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/tests/v36_fixture.h"

namespace plexa::test {

struct V36Elem {
    int kind, top, left, bottom, right;
    std::vector<int> words;  // the kind data from offset 28 (node: {0, value, pin flags})
    int pen = 1, flagsA = 0, flagsB = 0;
};
inline V36Elem V36Pin(int v1, int h1, int v2, int h2, int value, int pinFlags = 0) {
    return V36Elem{8, v1, h1, v2, h2, {0, value, pinFlags}};
}
inline V36Elem V36Box(int top, int left, int bottom, int right) { return V36Elem{3, top, left, bottom, right, {0, 0, 0}}; }

struct V36SymbolDesc {
    std::string name;
    int v, h, number, flags;
    uint32_t id, classId = 0;
    std::vector<V36Elem> elements;
};
struct V36TextDesc {
    int top, left, bottom, right;
    std::string text, macro;
    int kind, flagsA = 0, flagsB = 0, symbol = 0, label = 0;
    uint32_t style = 0;
};
struct V36PartDesc {
    std::string fields;
    std::vector<uint8_t> pinIds;
    struct Section {
        uint32_t placement, symbolId;
    };
    std::vector<Section> sections;
};
struct V36PinDesc {
    int id;
    std::string name, fields;
};
struct V36BusDesc {
    std::string name;
    struct Segment {
        int sv, sh, ev, eh, flags, label;
    };
    std::vector<Segment> segments;
};
struct V36NetDesc {
    std::string name;
    int flags = 0, priority = 0;
    struct Node {
        int v, h, symbol, index;
    };
    struct Link {
        int sv, sh, ev, eh;
        uint32_t from, to;
        int flags, label;
        std::vector<std::pair<int, int>> corners;  // (v, h)
    };
    std::vector<Node> nodes;
    std::vector<Link> links;
};
struct V36StyleDesc {
    std::string font;
    int size, face = 0;
};

struct V36SheetDesc {
    bool bigEndian = false;
    FourCharCode platform = FourCC("IW32");
    std::vector<V36SymbolDesc> symbols;
    std::vector<V36Elem> elements;
    std::vector<V36StyleDesc> styles{{"Times", 10}, {"Helvetica", 12}};
    std::vector<V36TextDesc> texts;
    std::vector<V36PartDesc> parts;
    std::vector<V36PinDesc> pins;
    std::vector<V36BusDesc> busses;
    std::vector<V36NetDesc> nets;
    std::string settingsText = "Sheet";
    // Part sections written one after another with one length behind them all, instead of each
    // followed by its own length: the layout of another reading of the part records.
    bool oneLengthSections = false;
};

inline std::string WriteV36SheetDesc(const V36SheetDesc& d) {
    V36Writer w(d.bigEndian);
    // The labels: every text and name of the description, in order of use.
    std::string strings;
    auto spec = [&strings](const std::string& s) -> uint32_t {
        if (s.empty()) return 0;
        const uint32_t offset = 16 + uint32_t(strings.size());
        strings += s;
        return offset << 10 | uint32_t(s.size());
    };
    std::vector<uint32_t> symbolNames, textSpecs, macroSpecs, netNames;
    for (const auto& s : d.symbols) symbolNames.push_back(spec(s.name));
    for (const auto& t : d.texts) {
        textSpecs.push_back(spec(t.text));
        macroSpecs.push_back(spec(t.macro));
    }
    for (const auto& n : d.nets) netNames.push_back(spec(n.name));

    V36Writer lead(d.bigEndian);
    lead.U16(912);
    lead.U16(d.bigEndian ? 0x0000 : 0xFFFF);
    lead.U32(FourCC("QSCM"));
    lead.U32(FourCC("LEAD"));
    lead.U32(20);
    lead.BE32(d.platform);
    w.Raw(lead.bytes());

    const uint32_t headerAt = w.Here();
    w.U32(0); w.U32(0);
    w.U32(0);                      // 8 settings position
    w.U32(0); w.U32(0); w.U16(0);
    w.U16(912);                    // 22 version
    w.Zeros(8);
    // Sheet settings block: words 0-4, then 22 bytes; byte 3 snap, 21-23 grid, rulers, breaks.
    w.U16(0); w.U16(1); w.U16(0); w.U16(12); w.U16(0);
    for (int i = 10; i < 32; ++i) w.U8(i >= 21 && i <= 23 ? 1 : 0);
    w.Counted(d.settingsText, 256);

    const uint32_t settings = w.Here();
    w.Put32(headerAt + 8, settings);
    std::vector<uint32_t> slots;
    auto slot = [&]() {
        slots.push_back(w.Here());
        w.U32(0);
    };
    w.U32(0); w.U16(0);
    slot(); w.U16(int(d.symbols.size())); w.U16(32);                       // 6 symbols
    slot(); w.U16(int(d.texts.size())); w.U16(28);                         // 14 texts
    slot(); w.U16(int(d.nets.size())); w.U16(28); w.U16(12); w.U16(34);    // 22 nets
    slot(); w.U16(int(d.busses.size())); w.U16(26); w.U16(12);             // 34 busses
    slot(); w.U16(int(d.parts.size())); w.U16(4); w.U16(0);                // 44 parts
    slot(); w.U16(int(d.pins.size())); w.U16(0);                           // 54 pins
    slot(); w.U32(0);                                                      // 62 labels
    slot(); w.U16(0);                                                      // 70 styles
    w.U16(int(d.elements.size()));                                         // 76 element count
    slot();                                                                // 78 elements
    w.U32(0);                                                              // 82 no images
    w.Zeros(8);
    enum { kSymbols, kTexts, kNets, kBusses, kParts, kPins, kLabels, kStyles, kElements };
    auto here = [&](int which) { w.Put32(slots[size_t(which)], w.Here()); };

    here(kLabels);
    w.U32(16 + uint32_t(strings.size()));
    w.U32(0xDA7ABED1);
    w.U32(16 + uint32_t(strings.size()));
    w.U32(16 + uint32_t(strings.size()));
    w.U16(64);
    w.U16(0);
    w.Raw(strings);

    auto element = [&w](const V36Elem& e) {
        w.U32(4 + 28 + 2 * uint32_t(e.words.size()));
        w.U8(e.flagsA);
        w.U8(e.flagsB);
        w.U16(0); w.U16(0); w.U16(0); w.U16(0);
        w.Rct(e.top, e.left, e.bottom, e.right);
        w.U8(e.kind);
        w.U8(e.pen);
        w.LE32(0);
        w.LE32(0);
        for (int word : e.words) w.U16(word);
    };

    here(kSymbols);
    for (size_t i = 0; i < d.symbols.size(); ++i) {
        const V36SymbolDesc& s = d.symbols[i];
        w.U32(symbolNames[i]);
        w.U16(0); w.U16(0); w.U16(0); w.U16(0);
        w.Pt(s.v, s.h);
        w.U16(s.number);
        w.U8(s.flags);
        w.U8(0);
        w.U32(s.id);
        w.U32(s.classId);
        w.U32(0);
        w.Zeros(4);
        w.U32(0);
        w.U16(int(s.elements.size()));
        for (const V36Elem& e : s.elements) element(e);
    }

    here(kElements);
    for (const V36Elem& e : d.elements) element(e);

    here(kStyles);
    w.BE32(16);
    w.BE32(16);
    w.BE32(uint32_t(d.styles.size()));
    w.BE32(0);
    for (const V36StyleDesc& s : d.styles) {
        w.Zeros(4);
        w.U32(uint32_t(s.face));
        w.U16(s.size);
        w.U16(0);
        w.U32(0);
    }
    for (const V36StyleDesc& s : d.styles) w.Counted(s.font);

    here(kTexts);
    for (size_t i = 0; i < d.texts.size(); ++i) {
        const V36TextDesc& t = d.texts[i];
        w.Rct(t.top, t.left, t.bottom, t.right);
        w.U32(textSpecs[i]);
        w.U32(macroSpecs[i]);
        w.U16(t.kind);
        w.U8(t.flagsA);
        w.U8(t.flagsB);
        w.U16(t.symbol);
        w.U16(t.label);
        w.U32(t.style);
    }

    here(kParts);
    for (const V36PartDesc& p : d.parts) {
        w.U16(1);
        w.U16(int(p.sections.size()));
        w.U32(uint32_t(p.fields.size()));
        w.Raw(p.fields);
        w.U32(uint32_t(p.pinIds.size()));
        for (uint8_t b : p.pinIds) w.U8(b);
        for (const auto& s : p.sections) {
            w.U32(s.placement);
            w.U32(s.symbolId);
            w.Zeros(6);
            if (!d.oneLengthSections) w.U32(0);
        }
        if (d.oneLengthSections) w.U32(0);
    }

    here(kPins);
    for (const V36PinDesc& p : d.pins) {
        w.U32(2 + 1 + uint32_t(p.name.size()) + uint32_t(p.fields.size()));
        w.U16(p.id);
        w.Counted(p.name);
        w.Raw(p.fields);
    }

    here(kBusses);
    for (const V36BusDesc& b : d.busses) {
        w.U8(0);
        w.U8(0);
        w.Counted(b.name, 18);
        w.U16(0);
        w.U16(int(b.segments.size()));
        w.U16(0);
        w.U32(12 * uint32_t(b.segments.size()));
        for (const auto& s : b.segments) {
            w.Pt(s.sv, s.sh);
            w.Pt(s.ev, s.eh);
            w.U8(s.flags);
            w.U8(0);
            w.U16(s.label);
        }
    }

    here(kNets);
    for (size_t i = 0; i < d.nets.size(); ++i) {
        const V36NetDesc& n = d.nets[i];
        w.U32(netNames[i]);
        w.U32(0);
        w.U16(0); w.U16(0); w.U16(0); w.U16(0);
        w.U8(n.flags);
        w.U8(0);
        w.U16(n.priority);
        w.U16(0); w.U16(0);
        w.U32(0);
        w.Zeros(4);
        w.U16(int(n.nodes.size()));
        for (const auto& node : n.nodes) {
            w.Pt(node.v, node.h);
            w.U16(node.symbol);
            w.U16(0); w.U16(0);
            w.U16(node.index);
        }
        w.U16(int(n.links.size()));
        for (const auto& l : n.links) {
            w.U16(0); w.U16(0); w.U16(0); w.U16(0);
            w.Pt(l.sv, l.sh);
            w.Pt(l.ev, l.eh);
            w.U32(l.from);
            w.U32(l.to);
            w.U8(l.flags);
            w.U8(0); w.U8(0); w.U8(0);
            w.U16(l.label);
            w.U16(0); w.U16(0);
            w.U32(4 * uint32_t(l.corners.size()));
            for (const auto& c : l.corners) w.Pt(c.first, c.second);
        }
    }
    return w.bytes();
}

}  // namespace plexa::test
