// Test helpers of the sheet contents: the model's start-up with the sheet file's hooks, a sheet
// with every kind of record built in memory, sheet files written by hand from the stored layout
// (in either byte order, of the current and older versions), and the files' bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/root.h"
#include "files/filesymbols.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "files/tests/flat_item_testing.h"
#include "foundation/bytes.h"
#include "foundation/dynfile.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/sheetsymbols.h"
#include "model/sheetdump.h"
#include "model/tests/gate_symbol.h"
#include "model/tests/libitem_testing.h"
#include "model/tests/net_fixture.h"
#include "model/textframes.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {

// The dump of a loaded sheet against the text kept in files/tests/data/<name>.
inline void ExpectSheetDump(const std::string& dump, const std::string& name) {
    ExpectDumpFile(dump, name, "files/tests/data");
}

class SheetContentsTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        path = dir.path() + "/sheet.SHX";
        spec = SheetSpecAt(path);
    }
    void TearDown() override {
        for (LibraryItem* item : items) DestroyLibraryItem(item);
        for (SheetRecord* s : loaded) DestroySheet(s);
        NetTest::TearDown();
    }

    static FileSpec SheetSpecAt(const std::string& at) {
        FileSpec made;
        EXPECT_EQ(FileSpecFromURL(at, &made, false, nullptr), 0) << at;
        return made;
    }

    // The sheet in a file of the test's folder whose window state asks for the scale; its path.
    std::string WriteSheetAtScale(const std::string& name, uint16_t scale) {
        const std::string at = dir.path() + "/" + name;
        const FileSpec to = SheetSpecAt(at);
        EXPECT_EQ(WriteSheetFile(drawing, &to), 0);
        SheetWindowState state{};
        state.position = {40, 20, 640, 900};
        state.scale = scale;
        EXPECT_EQ(WriteSheetWindowState(&to, nullptr, &state), 0);
        return at;
    }
    // A gate symbol at the position in the drawing (its body right of and below it).
    SymbolRecord* AddGate(Point position) {
        const int32_t id = AddGateSymbolDefinition(drawing);
        EXPECT_GE(id, 0);
        SymbolRecord* gate = driver->AddSymbol(40);
        gate->mapId = id;
        gate->libraryName = kNoLibraryName;
        gate->position = position;
        return gate;
    }

    // A sheet symbol without ports at the position (its 162 by 54 box right of and below it),
    // standing for the sub-sheet file of the name.
    SymbolRecord* AddSheetSymbolBox(Point position, const char* fileName) {
        SymbolRecord* box = driver->AddSymbol(30, kSheetSymbolFlags);
        box->mapId = -1;
        box->position = position;
        box->sheetSymbolData = CreateSheetSymbolPorts();
        EXPECT_NE(box->sheetSymbolData, nullptr);
        SetSheetSymbolFileName(box, drawing->stringBlock, fileName);
        return box;
    }

    // Saves a sheet and loads the file back into a new sheet kept until the test ends.
    SheetRecord* SaveAndLoad(SheetRecord* s, const std::string& at) {
        const FileSpec to = SheetSpecAt(at);
        EXPECT_EQ(WriteSheetFile(s, &to), 0);
        return Load(at);
    }
    SheetRecord* Load(const std::string& at, OSStatus expected = 0, bool* fixed = nullptr) {
        const FileSpec from = SheetSpecAt(at);
        SheetRecord* s = nullptr;
        EXPECT_EQ(LoadSheetFile(&from, &s, fixed), expected) << at;
        if (s) loaded.push_back(s);
        return s;
    }
    std::string Bytes(const std::string& at) {
        std::string bytes;
        EXPECT_TRUE(ReadFile(at, bytes)) << at;
        return bytes;
    }
    // A file's bytes with the save counter of its header block zeroed.
    std::string BytesWithoutCounter(const std::string& at) {
        std::string bytes = Bytes(at);
        DynamicFileRecord file;
        const FileSpec from = SheetSpecAt(at);
        EXPECT_EQ(OpenSheetFile(&from, true, &file, nullptr), 0);
        uint32_t offset = 0, size = 0;
        EXPECT_EQ(FindFileBlock(&file, kSheetHeaderBlock, &offset, &size, true), 0);
        EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
        EXPECT_LT(offset + 12, bytes.size());
        if (offset + 12 <= bytes.size()) bytes.replace(offset + 8, 4, 4, '\0');
        return bytes;
    }

    // A text of the drawing in a style of its list.
    TextRecord* DrawingText(uint16_t kind, int64_t owner, Point at, const char* string, uint16_t size,
                            uint16_t flags = 0) {
        TextRecord* text = CreateTextElement();
        LLPush(drawing->textList, text);
        text->kind = kind;
        text->flags = flags;
        text->owner = owner;
        txStyle* scratch = CreateTextStyle(gGenPool, nullptr);
        SetStyleFont(scratch, kTestFont);
        SetStyleSize(scratch, size);
        text->style = InstallStyleInList(scratch, drawing->styleList);
        DestroyTextStyle(scratch);
        SetupTheText(text, drawing->stringBlock, at, nullptr, string);
        return text;
    }

    // Every kind of record: component symbols of a library part with drawings, pin data and an
    // image, a graphic symbol with attributes, a port, a sheet symbol with ports and a symbol that
    // names a sub-sheet; a signal with a label and a junction, a buss with a break-out, free and
    // owned texts in two styles, frames with characters beyond Mac OS Roman and several lines,
    // elements, annotation, attributes, a file symbol and opaque data.
    void BuildRichSheet() {
        SheetRecord* d = drawing;
        LibraryItem* part = RichItem(true);
        items.push_back(part);
        ComponentRecord* gate = AddLibComponentToSheet(part, d);
        ASSERT_NE(gate, nullptr);
        int16_t count = int16_t(d->stored.attributeCount);
        SetAttributeValue(d->stringBlock, d->attributes ? d->attributes : (d->attributes = AllocHandle(gGenPool, 0)),
                          0, &count, "Title", "Rich", nullptr);
        d->stored.attributeCount = uint16_t(count);
        for (int32_t i = 0; i < 2; ++i) {
            SymbolRecord* symbol = driver->AddSymbol(uint32_t(10 + i), uint32_t(i));
            symbol->component = gate;
            symbol->mapId = CompSymbols(gate)[0].mapId;
            symbol->secondMapId = CompSymbols(gate)[0].secondMapId;
            symbol->kind.comp.symbol = 0;
            symbol->position = P(int16_t(100 + 60 * i), 50);
            symbol->changeTime = 12345;
            SetSymbolRefName(symbol, d->stringBlock, i == 0 ? "U1" : "U2");
            SetSymbolAnnotation(d, symbol->serial, i == 0 ? "U1" : "U2", i);
        }
        ApplyAnnotationMapChanges(d->annotationMap, nullptr);
        SymbolRecord* graphic = driver->AddSymbol(20);
        graphic->position = P(300, 300);
        graphic->libraryName = kNoLibraryName;
        SetSymbolRefName(graphic, d->stringBlock, "LOGO1");
        SetSymbolAttribute(graphic, d->stringBlock, "Value", "Ünïcode", nullptr);
        SymbolRecord* port = driver->AddSymbol(21, kSymbolFlagPort | 0x10);
        port->kind.spec = OverlayStringBlock(d->stringBlock, "VCC", -1, nullptr);
        SymbolRecord* child = driver->AddSymbol(22, kSymbolFlagSheet | 0x3000);
        child->mapId = -1;
        uint8_t ports[kSheetSymbolPortsHeadSize + 2 * kSheetSymbolPortSize] = {};
        const uint32_t name = OverlayStringBlock(d->stringBlock, "CHILD", -1, nullptr);
        const uint32_t file = OverlayStringBlock(d->stringBlock, "Child.SHX", -1, nullptr);
        const uint16_t box[4] = {54, 162, 9, 2};
        std::memcpy(ports, &name, 4);
        std::memcpy(ports + 4, &file, 4);
        std::memcpy(ports + 8, box, 8);
        for (uint16_t p = 0; p < 2; ++p) {
            const uint32_t portName = OverlayStringBlock(d->stringBlock, p ? "OUT" : "IN", -1, nullptr);
            const uint16_t fields[2] = {uint16_t(p ? 0x22 : 0x10), uint16_t(p + 1)};
            std::memcpy(ports + 16 + 8 * p, &portName, 4);
            std::memcpy(ports + 20 + 8 * p, fields, 4);
        }
        child->sheetSymbolData = AllocHandleWithData(gGenPool, ports, sizeof ports);
        SymbolRecord* sub = driver->AddSymbol(23, kSymbolFlagSubSheet);
        sub->libraryName = kNoLibraryName;
        SetSymbolSheetName(sub, d->stringBlock, "Sub.SHX");

        driver->AddPin(P(0, 0), port, 0);
        driver->AddPin(P(60, 0), graphic, 1);
        SignalHandle net = Draw({P(0, 0), P(60, 0)});
        Draw({P(30, 0), P(30, 40)});  // a junction at (30,0)
        SetSignalName(net, d->stringBlock, "CLK");
        CreateSignalWireLabel(d, net, FirstWire((*net)->wires), 0, false);
        SetSignalAttribute(net, d->stringBlock, "Speed", "fast");

        BussHandle buss = CreateBuss(d->bussList);
        SetBussName(buss, d->stringBlock, "D[0:7]");
        AddPinToBuss(buss, port, 0, OverlayStringBlock(d->stringBlock, "D0", -1, nullptr));
        LLPush((*buss)->wires, MakeWire({P(0, 140), P(160, 140)}, 0, kWireEndFree, kWireFlagBuss));
        CalcBussBounds(buss);
        AddBussBreakout(d->breakOutTable, buss, P(40, 140), P(45, 145));
        CreateBussWireLabel(d, buss, FirstWire((*buss)->wires), 0, true);

        DrawingText(kTextKindFree, 0, P(400, 20), "Free note", 14);
        DrawingText(kTextKindSymbolName, TextOwnerSerial(20), P(300, 290), "LOGO", 9);
        DrawingText(kTextKindSignal, SignalOwnerWord(net), P(10, 10), "?", 9, kLabelFlagHiddenPin);

        TextFrameHandle wide = CreateTextFrame("Café ✓ 😀", -1, kEncodingUTF8);
        (*wide)->position = P(5, 200);
        (*wide)->style = drawing->currentTextStyle;
        LLPush(d->textFrameList, wide);
        TextFrameHandle lines = CreateTextFrame("one two three four five six", -1, kEncodingUTF8);
        (*lines)->position = P(5, 260);
        (*lines)->owner = 20;
        (*lines)->style = static_cast<txStyle*>(LLFirst(d->styleList));
        CalcTextFrameLineBreaks(nullptr, lines, 40);
        LLPush(d->textFrameList, lines);
        ASSERT_GE((*lines)->lineCount, 2);

        LLPush(d->elementList, BuildCommonElement(kElementRect, P(0, 400), P(50, 450), 2, 0, 0, true, false, 0,
                                                  true, 0x00FF8000, false));
        LLPush(d->elementList, BuildImageElement(d->imageList, GreyImage(6, 6, 3), 0, P(100, 400), 6, 6, 72, 72,
                                                 false, false, 0, false, 0));
        LLReverse(d->elementList);
        d->fileSymbolList = CreateFileSymbolList();
        auto* entry = static_cast<FileSymbolEntry*>(LLAppend(d->fileSymbolList, nullptr));
        const std::string flat = FlatItemBytes({"RICH"});
        entry->item = AllocHandleWithData(gGenPool, flat.data(), uint32_t(flat.size()));
        d->opaqueData = AllocHandleWithData(gGenPool, "opaque", 6);
        d->stored.nextSerial = 30;
        d->fileHeader.rank = 3;
    }

    TempDir dir;
    std::string path;
    FileSpec spec{};
    std::vector<LibraryItem*> items;
    std::vector<SheetRecord*> loaded;
};

// The header of the string block a sheet file stores (zero when it cannot be read).
inline StringBlockHeader StoredStringBlockHeader(const std::string& at) {
    FileSpec from;
    EXPECT_EQ(FileSpecFromURL(at, &from, false, nullptr), 0) << at;
    DynamicFileRecord file;
    StringBlockHeader header{};
    if (OpenSheetFile(&from, true, &file, nullptr) != status::kNoErr) {
        ADD_FAILURE() << at;
        return header;
    }
    StringBlock block = nullptr;
    EXPECT_EQ(ReadSheetFileStringBlock(&file, &block), 0) << at;
    EXPECT_EQ(CloseAndMaybeFlushDynamicFile(&file, false), 0);
    if (block) header = *reinterpret_cast<const StringBlockHeader*>(*block);
    DestroyStringBlock(block);
    return header;
}

// ---- Sheet files written by hand ----

// Bytes in a chosen byte order.
struct Fields {
    explicit Fields(bool bigEndian = false) : big(bigEndian) {}
    bool big;
    std::string data;
    Fields& u8(uint8_t v) {
        data += char(v);
        return *this;
    }
    Fields& u16(uint16_t v) {
        return big ? u8(uint8_t(v >> 8)).u8(uint8_t(v)) : u8(uint8_t(v)).u8(uint8_t(v >> 8));
    }
    Fields& u32(uint32_t v) { return big ? u16(uint16_t(v >> 16)).u16(uint16_t(v)) : u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    Fields& raw(const std::string& bytes) {
        data += bytes;
        return *this;
    }
    Fields& zeros(size_t n) { return raw(std::string(n, '\0')); }
    Fields& point(int16_t h, int16_t v) { return u16(uint16_t(v)).u16(uint16_t(h)); }
    Fields& rect(int16_t left, int16_t top, int16_t right, int16_t bottom) {
        return u16(uint16_t(top)).u16(uint16_t(left)).u16(uint16_t(bottom)).u16(uint16_t(right));
    }
};

// A string block built string by string, and its stored form.
struct HandStrings {
    std::string packed;
    uint32_t add(const std::string& s) {
        const uint32_t spec = ((16 + uint32_t(packed.size())) << 10) | uint32_t(s.size());
        packed += s;
        return spec;
    }
    std::string block(bool big) const {
        const uint32_t used = 16 + uint32_t(packed.size());
        Fields b{big};
        b.u32(0xDA7ABED1).u32((used + 63) / 64 * 64).u32(used).u16(64).u16(0).raw(packed);
        return b.data + std::string((used + 63) / 64 * 64 - used, '\0');
    }
};

// What the hand-written file varies.
struct HandSheet {
    bool big = false;            // the writer's byte order
    uint16_t version = 258;
    bool block16 = true;         // the frames again in block 16
    uint16_t settingsLength = 64;
    const char* platform = "IMac";
    uint16_t settingsVersion = 2;  // 1: texts in Mac OS Roman
    bool macRoman = false;         // texts with characters beyond ASCII, in Mac OS Roman
};

// The stored forms of an empty symbol map and an empty pin-data table: DA arrays, whose heads are
// big-endian in either order.
inline std::string EmptySymbolMapBytes() {
    HandleStream out;
    ImageList* images = CreateLocalImageList();
    SymbolMap* map = CreateSymbolMap(images);
    EXPECT_EQ(WriteSymbolMap(out.stream, map), 0);
    DestroySymbolMap(map);
    DestroyImageList(images);
    return out.bytes();
}
inline std::string EmptyPinTableBytes() {
    HandleStream out;
    StringBlock block = CreateStringBlock(gGenPool, 64);
    PinDataTable table = CreatePinDataTable(block);
    EXPECT_EQ(WritePinDataTable(out.stream, table), 0);
    DestroyPinDataTable(table);
    DestroyStringBlock(block);
    return out.bytes();
}

// One style of a stored style list: name, size, face.
inline void StyleBytes(Fields& b, const char* font, uint16_t size) {
    b.u8(uint8_t(std::strlen(font))).raw(font).u16(size).u16(0);
}

// A small sheet written field by field from the stored layout: a graphic symbol that says it names
// a sub-sheet but has no "~SUB" (a legacy change time, a flag of newer versions), a port, a sheet
// symbol with one port; a signal with a pin and one wire, a buss with an empty wire list and a
// break-out; a free text, a signal label, a label of a signal that is not there, a text owned by
// the graphic symbol; one frame "Café" (Mac OS Roman in block 5, UTF-16 in block 16).
inline std::string HandContents(const HandSheet& o, HandStrings& strings, std::string* block16) {
    Fields b{o.big};
    // In Mac OS Roman: 0xE1 "·", 0xA0 "†", 0xB5 "µ", 0xC5 "≈", 0x8E "é", 0xBD "Ω", 0xA1 "°".
    const bool roman = o.macRoman;
    const uint32_t ref = strings.add("~REF"), r1 = strings.add(roman ? "R1\xE1" : "R1");
    const uint32_t vcc = strings.add(roman ? "VCC\xA0" : "VCC");
    const uint32_t child = strings.add("CHILD"), childFile = strings.add("Child.SHX"), in = strings.add("IN");
    const uint32_t clk = strings.add(roman ? "\xB5" "CLK" : "CLK"), bus = strings.add(roman ? "D[0:1]\xC5" : "D[0:1]");
    const uint32_t note = strings.add(roman ? "Caf\x8E \xBD 5\xA1" : "Note");
    const uint32_t label = strings.add("CLK"), owned = strings.add("R1 text");
    // Settings: next serial 9, flags 1, scopes 0 0, size code 1, landscape, prefix "NET", four
    // words, no attributes, 4 digits, colour, threshold 4096, print scale 100, 96 dpi, the version.
    Fields settings{o.big};
    settings.u32(9).u32(1).u8(0).u8(0).u8(1).u8(0).u8(3).raw("NET").zeros(4).u16(0).u16(0).u16(0).u16(0)
        .u16(0).u8(4).u8(1).u32(4096).u16(100).u16(96).u16(o.settingsVersion).zeros(22);
    std::string stored = settings.data;
    stored.resize(o.settingsLength, '\x5A');  // a longer record: bytes that are skipped
    b.u16(o.settingsLength).raw(stored);
    b.u32(0xFFFFFFFF);  // no sheet attributes
    // View: grid 12, flags 0, 4 bytes, outline 1, snap, grid, rulers, breaks, 2 tool bytes, colours.
    b.u16(24).u16(12).u16(0).zeros(4).u16(1).u8(1).u8(1).u8(0).u8(0).u8(0).u8(0).u32(0).u32(0xFFFFFF);
    b.u32(0xFFFFFFFF).u16(0xFFFF);  // no components
    b.raw(EmptySymbolMapBytes()).raw(EmptyPinTableBytes());
    // Symbols.
    b.u16(3);
    // #1 graphic at (10,20), serial 4, legacy time, no map, flags 0x10800, no library name, no
    // prefix, one attribute.
    b.point(10, 20).u32(4).u32(0xB0000000).u32(0xFFFFFFFF).u32(0xFFFFFFFF).u32(0x10800).u32(0xFFFFFFFF)
        .u32(0).u16(1).u16(0xFFFF);
    b.u32(12).u32(ref).u32(r1).u16(0).u8(uint8_t(CalcNameHash("~REF"))).u8(0);
    // #2 port at (0,0), serial 5, global time, flags 0x80200, name "VCC".
    b.point(0, 0).u32(5).u32(1000).u32(0xFFFFFFFF).u32(0xFFFFFFFF).u32(0x80200).u32(0xFFFFFFFF).u32(vcc).u16(0)
        .u16(0xFFFF).u32(0xFFFFFFFF);
    // #3 sheet symbol at (200,100), serial 6, flags 0x83400, one port "IN".
    b.point(200, 100).u32(6).u32(1000).u32(0xFFFFFFFF).u32(0xFFFFFFFF).u32(0x83400).u32(0).u32(0).u16(0)
        .u16(0xFFFF).u32(0xFFFFFFFF);
    b.u32(24).u32(child).u32(childFile).u16(54).u16(162).u16(9).u16(1).u32(in).u16(0x10).u16(1);
    // Styles: the default, then one list style.
    b.u16(0x1234).u16(2);
    StyleBytes(b, "DejaVu Sans", 12);
    StyleBytes(b, "DejaVu Sans", 9);
    // One signal: bounds, name, flags 0, no attributes, dots stale, one pin of the port; one wire
    // from the pin to a free end.
    b.u16(1).u32(20 + 12).rect(0, 0, 40, 1).u32(clk).u16(0).u16(0).u16(0xFFFF).u16(1);
    b.u32(5).u16(0).u8(0).u8(0).u32(0);
    b.u32(0xFFFFFFFF);
    b.u16(1).u16(28).rect(0, 0, 40, 1).u16(0).u16(0xC000).u16(0).u16(2).point(0, 0).point(40, 0);
    // One buss with a terminal at the sheet symbol's port and no wires; one break-out.
    b.u16(1).u32(16 + 12).rect(0, 50, 100, 52).u32(bus).u8(0).u8(0).u16(1);
    b.u32(6).u16(0).u8(0).u8(0).u32(0);
    b.u16(0);
    b.u16(1).point(20, 50).point(25, 55).u16(0);
    // Texts: free "Note" (style 1), the signal's label (signal 0, style 2), a label of signal 5
    // (not there), a kind-16 text of symbol 4.
    b.u16(4);
    b.u16(0).u16(0).point(300, 20).u32(note).u32(0).u32(0).u16(1);
    b.u16(1).u16(0).point(10, 10).u32(label).u32(0).u32(0).u16(2);
    b.u16(1).u16(0).point(70, 10).u32(label).u32(0).u32(5).u16(1);
    b.u16(16).u16(0).point(10, 30).u32(owned).u32(0).u32(4).u16(1);
    // Frames: "Café" at (5,70), owner 0, flags 0, one line, 4 characters, style 1.
    Fields frameHead{o.big};
    frameHead.point(5, 70).u32(0).u16(0).u16(1).u32(4);
    b.u16(1).raw(frameHead.data).raw("Caf\x8E").u16(1);
    b.u16(0);
    if (block16) {
        Fields f{o.big};
        f.u16(1).zeros(kFramesBlockPadding).raw(frameHead.data).raw(std::string("C\0a\0f\0\xE9\0", 8)).u16(1);
        *block16 = f.data;
    }
    return b.data;
}

// The blocks of a hand-written file, in the save's order.
inline void WriteHandFile(const std::string& at, const HandSheet& o) {
    HandStrings strings;
    std::string frames;
    const std::string images = [] {
        HandleStream out;
        ImageList* list = CreateLocalImageList();
        EXPECT_EQ(FlattenImageList(out.stream, list), 0);
        DestroyImageList(list);
        return out.bytes();
    }();
    const std::string contents = HandContents(o, strings, &frames);
    // Header: version, mark, platform (big-endian), saved 7 times, rank 2.
    Fields header{o.big};
    header.u16(o.version).u16(0x1234).raw(o.platform).u32(7).u16(2).zeros(10 + 40);
    Fields themes{o.big};
    themes.u16(0x1234).u16(1);
    StyleBytes(themes, "DejaVu Sans", 12);
    Fields elements{o.big};
    elements.u32(32).u32(0xFFFFFFFF);
    FileSpec to;
    ASSERT_EQ(FileSpecFromURL(at, &to, false, nullptr), 0);
    ASSERT_EQ(CreateDynamicFile(&to, kSheetFileCreator, kSheetFileTypeName, kSheetFileTypeName, kSheetAppHeaderSize), 0);
    DynamicFileRecord file;
    ASSERT_EQ(OpenSheetFile(&to, false, &file, nullptr), 0);
    auto block = [&](uint8_t type, const std::string& bytes) {
        uint32_t offset = 0;
        EXPECT_EQ(WriteFileBlock(&file, type, uint32_t(bytes.size()), bytes.data(), &offset), 0) << int(type);
    };
    block(kSheetHeaderBlock, header.data);
    block(kSheetStringBlock, strings.block(o.big));
    block(kSheetTextThemesBlock, themes.data);
    block(kSheetContentsBlock, contents);
    if (o.block16) block(kSheetTextFramesBlock, frames);
    block(kSheetElementsBlock, elements.data);
    block(kSheetImageListBlock, images);
    ASSERT_EQ(CloseAndMaybeFlushDynamicFile(&file, true), 0);
}

}  // namespace plexa::test
