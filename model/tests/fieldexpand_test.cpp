// Data contexts and field expansion: the expansion table over a symbol's chain, the values of the
// built-in fields of symbols, pins and sheets, popping grouped contexts, and texts and frames of a
// small sheet expanded through the sheet model's own callers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/ll.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/fieldexpand.h"
#include "model/tests/symbol_testing.h"

namespace plexa::test {
namespace {

class FieldExpansion : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        sheet.annotationMap = CreateAnnotationMap(true);
        sheet.attributes = AllocHandle(gGenPool, 0);
        int16_t count = 0;
        SetAttributeValue(sheet.stringBlock, sheet.attributes, 0, &count, "Empty", "from the sheet", nullptr);
        SetAttributeValue(sheet.stringBlock, sheet.attributes, 0, &count, "Title", "{RefDes} board", nullptr);
        sheet.stored.attributeCount = uint16_t(count);
        symbol = Designated("U5");
        SetSymbolAttribute(symbol, sheet.stringBlock, "Value", "10k", nullptr);
        SetSymbolAttribute(symbol, sheet.stringBlock, "Empty", kAttributeEmptyValue, nullptr);
        SetSymbolAttribute(symbol, sheet.stringBlock, "A", "{A}", nullptr);
        SetSymbolAttribute(symbol, sheet.stringBlock, "b", "X", nullptr);
        SetSymbolAttribute(symbol, sheet.stringBlock, "aXc", "composed", nullptr);
        chain = BuildSymbolContextChain(nullptr, &sheet, symbol, false);
        ASSERT_NE(chain, nullptr);
    }

    void TearDown() override {
        DestroyDataCtxChain(chain);
        MemFree(sheet.attributes);
        sheet.attributes = nullptr;
        DestroyAnnotationMap(sheet.annotationMap);
        sheet.annotationMap = nullptr;
        SheetTest::TearDown();
    }

    // The text expanded in a buffer of `capacity` bytes, and the result.
    std::string Expand(const std::string& text, int32_t* result = nullptr, int32_t capacity = 300) {
        capacity = std::max(capacity, int32_t(text.size()));
        std::string buffer(size_t(capacity), '\0');
        std::memcpy(buffer.data(), text.data(), text.size());
        auto length = int32_t(text.size());
        const int32_t r = ExpandDataString(buffer.data(), &length, capacity, chain);
        if (result) *result = r;
        return buffer.substr(0, size_t(length));
    }

    std::string Value(const char* name) {
        char out[kExpansionValueSize];
        ExpandCtxChainValue(chain, name, out, sizeof out);
        return out;
    }

    SymbolRecord* symbol = nullptr;
    DataContextChain* chain = nullptr;
};

TEST_F(FieldExpansion, TheExpansionTable) {
    struct Case {
        std::string text;
        std::string expanded;
        int32_t result;
    };
    const std::string longName(300, 'n');
    const Case cases[] = {
        {"R{RefDes}", "RU5", 1},
        {"R{Nope}", "R", 1},
        {"{Value}/{RefDes}", "10k/U5", 1},
        {"{refdes}", "U5", 1},                       // names are found without regard to case
        {"{A}", "<depth exceeded>", 1},              // a value that holds itself
        {"\\{x}", "{x}", 0},                         // an escaped brace is plain text
        {"a\\tb\\Lc\\qd\\", "a\tb\nc" "qd\\", 0},    // escapes; a final lone backslash stays
        {"\\f", "\\F", 0},
        {"x`1/0`y", "<division by zero>", 1},        // for the whole string
        {"`1+2*3`", "7", 1},
        {"`a=1`", "<bad expression>", 1},
        {"`RefDes:\"!\"`", "U5!", 1},                // names in expressions look through the chain
        {"{a{b}c}", "composed", 1},                  // the inner name first, then the composed one
        {"{Empty}", "from the sheet", 1},            // an empty attribute lets the sheet's answer
        {"{Title}", "U5 board", 1},                  // attribute values are expanded again
        {"{abc", "{abc", 1},                         // an unclosed reference stays as typed
        {"{RefDes}{abc", "U5{abc", 1},
        {"{a{RefDes}", "{aU5", 1},
        {"`1\\t+1`", "`1\t+1`", 1},                  // a control character cancels the expression
        {"{x`a\\tb`}", "{x`a\tb`}", 1},
        {"a}b", "a}b", 0},
        {"{}", "", 1},
        {"{" + longName + "}", "{" + longName + "}", 1},  // too long to be a name: kept
        {"{RefDes", "{RefDes", 1},
    };
    for (const Case& c : cases) {
        int32_t result = -1;
        EXPECT_EQ(Expand(c.text, &result), c.expanded) << c.text;
        EXPECT_EQ(result, c.result) << c.text;
    }
}

TEST_F(FieldExpansion, AnErrorLeavesTheDepthUnwoundAndClearsAtTheNextExpansion) {
    EXPECT_EQ(Expand("{A}"), "<depth exceeded>");
    EXPECT_EQ(GetDataExpansionErrors(), kExpandDepthExceeded);
    EXPECT_EQ(Expand("{Value}"), "10k");
    EXPECT_EQ(GetDataExpansionErrors(), 0);
    EXPECT_EQ(Expand("`1%0`"), "<division by zero>");
    EXPECT_EQ(Expand("{Value}"), "10k");
}

TEST_F(FieldExpansion, TheStringNeverGrowsPastTheCapacity) {
    SetSymbolAttribute(symbol, sheet.stringBlock, "Long", "0123456789", nullptr);
    SetSymbolAttribute(symbol, sheet.stringBlock, "Wide", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", nullptr);
    DestroyDataCtxChain(chain);
    chain = BuildSymbolContextChain(nullptr, &sheet, symbol, false);
    // The inserted value first, then as much of the rest as fits.
    EXPECT_EQ(Expand("{Long}{Long}tail", nullptr, 16), "0123456789012345");
    EXPECT_EQ(Expand("{Long}tail", nullptr, 12), "0123456789ta");
    EXPECT_EQ(Expand("{Long}{Long}tail", nullptr, 40), "01234567890123456789tail");
    // Neither the value nor the rest is cut inside a character.
    EXPECT_EQ(Expand("{Wide}x", nullptr, 7), "\xC3\xA9\xC3\xA9\xC3\xA9x");
    EXPECT_EQ(Expand("{Long}\xC3\xA9\xC3\xA9", nullptr, 11), "0123456789");
}

TEST_F(FieldExpansion, PreprocessingMakesMarkersOnlyOutsideExpressions) {
    char text[] = "{a}`{b}`}";
    int32_t length = 0;
    EXPECT_TRUE(PreprocessDataString(text, int32_t(std::strlen(text)), &length));
    EXPECT_EQ(std::string(text, size_t(length)), std::string("\x01" "a\x02\x03{b}\x04}"));
    char plain[] = "a}b\\{";
    EXPECT_FALSE(PreprocessDataString(plain, int32_t(std::strlen(plain)), &length));
    EXPECT_EQ(std::string(plain, size_t(length)), "a}b{");
}

TEST_F(FieldExpansion, BuiltInFieldsAndTheirCodes) {
    EXPECT_EQ(BuiltInFieldCode(kCtxPin, "SpiceOrder"), BuiltInFieldCode(kCtxPin, "PinNumber"));
    EXPECT_EQ(BuiltInFieldCode(kCtxSymbol, "RefDesMissing"), StringToFourChar("REF?"));
    EXPECT_EQ(BuiltInFieldCode(kCtxGlobal, "FALSE"), StringToFourChar("FALS"));
    EXPECT_EQ(BuiltInFieldCode(kCtxSheet, "RefDes"), 0u);
    EXPECT_EQ(BuiltInFieldCode(kCtxAttributeRun, "RefDes"), 0u);
    EXPECT_EQ(Value("TRUE"), "1");
    EXPECT_EQ(Value("FALSE"), "0");
    EXPECT_FALSE(Value("Date").empty());
    EXPECT_EQ(Value("SheetFile"), "Untitled");
    EXPECT_EQ(Value("$$SerialNumber$$"), std::to_string(symbol->serial));
    EXPECT_EQ(Value("RefDesPrefix"), "U");
    // Built-in fields stop the search even when empty: the symbol's "RefDesConflict" hides any
    // attribute of that name further out.
    int16_t count = int16_t(sheet.stored.attributeCount);
    SetAttributeValue(sheet.stringBlock, sheet.attributes, 0, &count, "RefDesConflict", "outer", nullptr);
    sheet.stored.attributeCount = uint16_t(count);
    DestroyDataCtxChain(chain);
    chain = BuildSymbolContextChain(nullptr, &sheet, symbol, false);
    char out[kExpansionValueSize];
    EXPECT_FALSE(ExpandCtxChainValue(chain, "RefDesConflict", out, sizeof out));
    EXPECT_STREQ(out, "");
}

// A symbol's "Footprint" is its package's footprint, else the package's name; "Package" is the
// package's name; the component's name is in neither.
TEST_F(FieldExpansion, FootprintAndPackageAreThePackages) {
    ComponentRecord* comp = CreateComponent(1, 1, 1, 1, 1);
    ASSERT_NE(comp, nullptr);
    SetCompName(comp, sheet.stringBlock, 0, "RES");
    CompPackage* package = CompPackages(comp);
    package->name = AppendStringBlock(sheet.stringBlock, "PKG", 3, nullptr);
    symbol->component = comp;
    symbol->kind.comp.package = 0;
    EXPECT_EQ(Value("Footprint"), "PKG");
    EXPECT_EQ(Value("Package"), "PKG");
    package->footprint = AppendStringBlock(sheet.stringBlock, "SMD0805", 7, nullptr);
    EXPECT_EQ(Value("Footprint"), "SMD0805");
    EXPECT_EQ(Value("Package"), "PKG");
    symbol->component = nullptr;
    FreeComponent(comp);
}

TEST_F(FieldExpansion, GlobalContextsAskTheirValueProcedureFirst) {
    DataContextChain* own = CreateDataCtxChain();
    DataContext* global = PushBuiltInDataContext(own, kCtxGlobal, nullptr, nullptr, 0, false);
    ASSERT_NE(global, nullptr);
    char out[kExpansionValueSize];
    EXPECT_FALSE(ExpandCtxChainValue(own, "RootFile", out, sizeof out));
    global->object = reinterpret_cast<void*>(+[](DataContext*, uint32_t code, char* value) {
        if (code != StringToFourChar("ROOT")) return false;
        std::strcpy(value, "top.sch");
        return true;
    });
    EXPECT_TRUE(ExpandCtxChainValue(own, "RootFile", out, sizeof out));
    EXPECT_STREQ(out, "top.sch");
    EXPECT_TRUE(ExpandCtxChainValue(own, "TRUE", out, sizeof out));
    EXPECT_STREQ(out, "1");
    DestroyDataCtxChain(own);
}

TEST_F(FieldExpansion, PoppingAGroupRemovesThePinAndSymbolContextsTogether) {
    DataContextChain* own = BuildSheetContextChain(&sheet, nullptr);
    ASSERT_NE(own, nullptr);
    const uint32_t sheetContexts = own->count;
    void* sheetTop = LLFirst(own);
    BuildSymbolContextChain(own, &sheet, symbol, true);
    BuildPinContextChain(own, &sheet, symbol, 0, true);
    EXPECT_EQ(own->count, sheetContexts + 3);  // symbol fields, symbol attributes, pin fields
    EXPECT_EQ(static_cast<void*>(PopDataCtxChain(own)), sheetTop);
    EXPECT_EQ(own->count, sheetContexts);
    // Without the group flag one pop removes one context.
    BuildSymbolContextChain(own, &sheet, symbol, false);
    PopDataCtxChain(own);
    EXPECT_EQ(own->count, sheetContexts + 1);
    // Contexts are reused through many pushes and pops.
    for (int i = 0; i < 40; i++) {
        BuildPinContextChain(own, &sheet, symbol, i, true);
        PopDataCtxChain(own);
    }
    EXPECT_EQ(own->count, sheetContexts + 1);
    DestroyDataCtxChain(own);
}

TEST_F(FieldExpansion, SymbolAndPinFieldsOfAnAnnotatedComponent) {
    ComponentRecord* c = AddLibComponentToSheet(Gates(), &sheet);
    ASSERT_TRUE(c);
    SymbolRecord* gate = Place(CompSymbols(c)[0].mapId, {10, 60}, 0, c);
    gate->kind.comp.package = 1;  // "SO14", pin set 1
    gate->kind.comp.nameIndex = 1;
    SetSymbolAnnotation(&sheet, gate->serial, "U7", 1);
    DataContextChain* own = BuildPinContextChain(nullptr, &sheet, gate, 0, false);
    ASSERT_NE(own, nullptr);
    auto value = [&](const char* name) {
        char out[kExpansionValueSize];
        ExpandCtxChainValue(own, name, out, sizeof out);
        return std::string(out);
    };
    EXPECT_EQ(value("RefDes"), "U7");
    EXPECT_EQ(value("RefDesNQ"), "U7");
    EXPECT_EQ(value("RefDesPrefix"), "U");
    EXPECT_EQ(value("Slot"), "B");
    EXPECT_EQ(value("Package"), "SO14");
    EXPECT_EQ(value("CompName"), "74LS00");
    EXPECT_EQ(value("PinNumber"), "1");  // section B in the package's pin set
    EXPECT_EQ(value("SpiceOrder"), "1");
    EXPECT_EQ(value("PinName"), "A");
    EXPECT_EQ(value("PinType"), "Input");
    EXPECT_EQ(value("RefDesMissing"), "");
    DestroyDataCtxChain(own);
    // Without an annotation the first section that draws the symbol gives the slot and pins.
    SetSymbolAnnotation(&sheet, gate->serial, nullptr, -1);
    own = BuildPinContextChain(nullptr, &sheet, gate, 2, false);
    EXPECT_EQ(value("Slot"), "A");
    EXPECT_EQ(value("PinNumber"), "6");
    EXPECT_EQ(value("PinName"), "Y");
    DestroyDataCtxChain(own);
}

TEST_F(FieldExpansion, PinDataAttributesAreSearchedBeforeTheSymbols) {
    ComponentRecord* c = AddLibComponentToSheet(Gates(), &sheet);
    ASSERT_TRUE(c);
    SymbolRecord* gate = Place(CompSymbols(c)[0].mapId, {10, 60}, 0, c);
    SetSymbolAttribute(gate, sheet.stringBlock, "Level", "symbol", nullptr);
    const uint32_t id = GetCompSymbolPinDataId(c, 0, 0, 1);
    Handle record = GetIndexedPinData(sheet.pinDataTable, int32_t(id));
    ASSERT_NE(record, nullptr);
    SetPinDataAttribute(record, sheet.stringBlock, "Level", "pin");
    DataContextChain* own = BuildPinContextChain(nullptr, &sheet, gate, 1, false);
    char out[kExpansionValueSize];
    EXPECT_TRUE(ExpandCtxChainValue(own, "Level", out, sizeof out));
    EXPECT_STREQ(out, "pin");
    PopDataCtxChain(own);  // the pin's attributes
    PopDataCtxChain(own);  // the pin's fields
    EXPECT_TRUE(ExpandCtxChainValue(own, "Level", out, sizeof out));
    EXPECT_STREQ(out, "symbol");
    DestroyDataCtxChain(own);
}

// A symbol's designator text and a sheet frame holding an expression, expanded as the sheet
// shows them.
TEST_F(FieldExpansion, TextsAndFramesOfASmallSheetShowTheirValues) {
    TextRecord* text = AddText("{RefDes}", kTextKindSymbolAttribute);
    text->owner = TextOwnerSerial(symbol->serial);
    ASSERT_TRUE(ExpandTextRecordMacros(&sheet, text, nullptr, false));
    EXPECT_EQ(String(text), "U5");
    EXPECT_TRUE(text->flags & kTextFlagMacro);

    TextFrameHandle frame = CreateTextFrame("Sum `2*21` of {Value}", -1, kEncodingUTF8);
    ASSERT_NE(frame, nullptr);
    (*frame)->owner = symbol->serial;
    LLPush(sheet.textFrameList, frame);
    ASSERT_TRUE(EvaluateTextFrameText(&sheet, frame, nullptr));
    EXPECT_EQ(FrameSource(frame, true), u"Sum 42 of 10k");
    EXPECT_EQ(FrameSource(frame, false), u"Sum `2*21` of {Value}");
}

}  // namespace
}  // namespace plexa::test
