// What the tests of symbol maps, placed symbols and components share: a sheet with the lists that
// symbols and components live in, symbol definitions made from pins and a body, placed symbols
// and small library items.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/tests/libitem_testing.h"
#include "model/tests/model_fixture.h"
#include "model/tests/model_testing.h"

namespace plexa::test {

inline std::string PointText(Point p) { return "(" + std::to_string(p.v) + "," + std::to_string(p.h) + ")"; }
inline std::string RectText(const Rect& r) {
    return "(" + std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) + "," +
           std::to_string(r.right) + ")";
}

// A pin from its body end to its connection end.
struct PinLine {
    Point connection;
    Point body;
    int16_t pen = 1;
};

class SheetTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        InitImageLists();
        globalImages_ = GlobalImageCount();
        ASSERT_EQ(InitSymbolPool(), 0);
        LLDispose(sheet.symbolList, true);
        sheet.symbolList = CreateSymbolList();
        sheet.componentList = CreateComponentList();
        sheet.imageList = CreateLocalImageList();
        sheet.pinDataTable = CreatePinDataTable(sheet.stringBlock);
        sheet.symbolMap = CreateSymbolMap(sheet.imageList);
        sheet.stored.nextSerial = 1;
        SetSymbolHooks({});
    }

    void TearDown() override {
        for (LibraryItem* item : items_) DestroyLibraryItem(item);
        DestroyCompList(sheet.componentList);
        DestroySymbolMap(sheet.symbolMap);
        DestroyPinDataTable(sheet.pinDataTable);
        DestroyImageList(sheet.imageList);
        SetSymbolHooks({});
        ModelTest::TearDown();  // frees the symbol list
        EXPECT_EQ(GlobalImageCount(), globalImages_);
    }

    // Symbol display data of the pins (in order) and a framed rectangle body.
    std::string Definition(const std::vector<PinLine>& pins, Rect body = {0, 0, 20, 30},
                           ImageList* images = nullptr, VXPixels* image = nullptr) {
        LinkListHeader* elements = CreateElementList(images ? images : sheet.imageList);
        for (const PinLine& pin : pins)
            LLAppend(elements, BuildNodeElement(pin.connection, pin.body, pin.pen, 0, false, 0, false, 0, false, 0));
        LLAppend(elements, BuildCommonElement(kElementRect, {body.top, body.left}, {body.bottom, body.right}, 1, 0, 0,
                                              false, false, 0, false, 0, false));
        if (image)
            LLAppend(elements, BuildImageElement(images, image, 0, {0, 0}, 4, 4, 72, 72, false, false, 0, false, 0));
        Handle data = ElementsToSymbolData(elements, nullptr, nullptr, sheet.stringBlock, false, images);
        std::string bytes = data ? std::string(*data, SizeOfHandle(data)) : std::string();
        if (data) MemFree(data);
        DestroyElementList(elements);
        EXPECT_FALSE(bytes.empty());
        return bytes;
    }

    int32_t AddDefinition(const std::string& bytes, ImageList* images = nullptr) {
        return AddSymbolToMap(sheet.symbolMap, bytes.data(), int32_t(bytes.size()), images);
    }

    // A symbol of the sheet drawn by the map id.
    SymbolRecord* Place(int32_t mapId, Point position = {0, 0}, uint32_t flags = 0,
                        ComponentRecord* component = nullptr) {
        SymbolRecord* symbol = CreateSymbol();
        EXPECT_NE(symbol, nullptr);
        symbol->mapId = mapId;
        symbol->position = position;
        symbol->flags = flags;
        symbol->component = component;
        symbol->libraryName = kNoLibraryName;
        AddSymbolToSheet(&sheet, symbol);
        return symbol;
    }

    // A graphic symbol with a "~REF" designator.
    SymbolRecord* Designated(const char* designator, uint32_t flags = 0) {
        SymbolRecord* symbol = Place(-1, {0, 0}, flags);
        SetSymbolRefName(symbol, sheet.stringBlock, designator);
        return symbol;
    }

    std::string Text(StringSpec spec) {
        char text[kStringSpecBufferSize];
        ExtractStringSpec(spec, sheet.stringBlock, text, sizeof text);
        return text;
    }

    // A library item kept until the test ends.
    LibraryItem* Item(uint8_t kind = kLibItemComponent) {
        LibraryItem* item = CreateLibraryItem(kind);
        EXPECT_NE(item, nullptr);
        items_.push_back(item);
        return item;
    }

    // A symbol definition of the item whose pins have the pin data.
    int32_t ItemSymbol(LibraryItem* item, const std::vector<PinLine>& pins, const std::vector<uint16_t>& pinData,
                       Rect body = {0, 0, 20, 30}) {
        const std::string bytes = Definition(pins, body);
        return AddLibSymbolDef(item, "body", Block(bytes), nullptr, item->imageList,
                               pinData.empty() ? nullptr : Ids(pinData));
    }

    // A section drawn by the symbol, of as many pins as the longest run of pin numbers given
    // (one run per pin set, empty for none), appended.
    LibSection* ItemSection(LibraryItem* item, const char* suffix, uint8_t symbol,
                            const std::vector<std::vector<const char*>>& numbersBySet) {
        size_t pins = 0;
        for (const auto& numbers : numbersBySet) pins = std::max(pins, numbers.size());
        return AddSection(item, suffix, symbol, numbersBySet, false, int32_t(pins));
    }

    int32_t ItemPackage(LibraryItem* item, const char* name, const char* footprint, int32_t pinSet) {
        const int32_t index = AddNewPackageToLibItem(item, pinSet);
        SetLibPackageName(item, index, name);
        if (footprint) SetLibPackageFootprint(item, index, footprint);
        return index;
    }

    // A two-gate part: names "7400" and "74LS00", prefix U, one symbol of three pins (two inputs
    // and an output), sections A and B, two pin sets (library sets 0 and 2) with a package each,
    // and a hidden power pin per set.
    LibraryItem* Gates() {
        LibraryItem* item = Item();
        EXPECT_TRUE(SetLibraryItemNameInfo(item, 0, "7400", 0));
        EXPECT_TRUE(SetLibraryItemNameInfo(item, 1, "74LS00", 1));
        SetLibraryItemRefPrefix(item, "U");
        const auto a = uint16_t(AddPin(item, "A", kPinInput)), b = uint16_t(AddPin(item, "B", kPinInput));
        const auto y = uint16_t(AddPin(item, "Y", kPinOutput)), vcc = uint16_t(AddPin(item, "VCC", kPinPower));
        ItemSymbol(item, {{{0, -10}, {0, 0}}, {{10, -10}, {10, 0}}, {{5, 40}, {5, 30}}}, {a, b, y});
        ItemSection(item, "A", 0, {{"1", "2", "3"}, {}, {"4", "5", "6"}});
        ItemSection(item, "B", 0, {{"4", "5", "6"}, {}, {"1", "2", "3"}});
        ItemPackage(item, "DIP14", "DIP-14", 0);
        ItemPackage(item, "SO14", nullptr, 2);
        AddNewHiddenPinToLibItem(item, 0, "14", vcc);
        AddNewHiddenPinToLibItem(item, 2, "7", vcc);
        return item;
    }

    int32_t globalImages_ = 0;
    std::vector<LibraryItem*> items_;
};

}  // namespace plexa::test
