// What the symbol editor's tests share: the model's start-up, editors that are all destroyed with
// the test, a sheet with file symbols, items built through their own operations, and the
// elements, pins and texts that a user would add to a view.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/filesymbols.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/libitemdump.h"
#include "model/pindata.h"
#include "model/tests/model_fixture.h"
#include "model/tests/model_testing.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"

namespace plexa::test {

class SymEditTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        InitImageLists();
        globalImages_ = GlobalImageCount();
        SetSymbolEditorHooks(SymbolEditorHooks{});
        gDefSheetSettings.gridSpacing = 12;
    }
    void TearDown() override {
        while (CountSymbolEditors() > 0) DestroySymbolEditor(GetIndexedSymbolEditor(0));
        EXPECT_EQ(CurrEdit, nullptr);
        DestroyFileSymbolList(sheet.fileSymbolList);
        sheet.fileSymbolList = nullptr;
        for (LibraryItem* item : items_) DestroyLibraryItem(item);
        SetSymbolEditorHooks(SymbolEditorHooks{});
        EXPECT_EQ(GlobalImageCount(), globalImages_);
        ModelTest::TearDown();
    }

    // An item that the test frees.
    LibraryItem* Own(LibraryItem* item) {
        items_.push_back(item);
        return item;
    }
    static LibraryItem* NewItem(uint8_t kind, std::vector<const char*> names = {}) {
        LibraryItem* item = CreateLibraryItem(kind);
        for (const char* name : names) EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, name, 0));
        return item;
    }
    // The item's stored form (the item is purged as flattening does).
    static Handle Flat(LibraryItem* item) {
        Handle flat = FlattenLibraryItem(item, true, 1, nullptr);
        EXPECT_NE(flat, nullptr);
        return flat;
    }
    // The dump of an item read back from its stored form.
    std::string Reread(Handle flat) {
        LibraryItem* item = nullptr;
        EXPECT_EQ(InflateLibraryItem(flat, &item, true), 0);
        return item ? DumpLibraryItem(Own(item)) : std::string("no item");
    }

    // ---- What a user adds to the current view ----

    static ElementRecord* AddRect(SymbolEditorRecord* editor, Point topLeft, Point bottomRight,
                                  bool filled = false) {
        ElementRecord* e = BuildCommonElement(kElementRect, topLeft, bottomRight, 1, 0, 0, filled,
                                              false, 0, false, 0, false);
        LLAppend(editor->elements, e);
        SetEditModified(editor, true);
        return e;
    }
    // A pin with its pin data and its number in the current section and pin set.
    static ElementRecord* AddPin(SymbolEditorRecord* editor, Point connection, Point body,
                                 const char* name, const char* number, uint8_t type = kPinInput) {
        ElementRecord* e = BuildNodeElement(connection, body, 1, 0, false, 0, false, 0, false, 0);
        auto* pin = ElementAs<NodeElement>(e);
        pin->serial = uint16_t(editor->linkedPinCount++);
        pin->pinData = CreateNewPinData();
        SetPinDataName(pin->pinData, editor->stringBlock, name);
        SetPinDataType(pin->pinData, type, false);
        const NodePinEditor context = SymbolEditorPinContext(editor);
        SetNodesPinNumber(&context, &pin->pinNumbers, 0, -1, number);
        LLAppend(editor->elements, e);
        SetEditModified(editor, true);
        return e;
    }
    // A pin text (number or name) of a pin of the current view.
    TextRecord* AddPinText(SymbolEditorRecord* editor, ElementRecord* pin, uint16_t mark, Point at) {
        TextRecord* text = CreateTextElement();
        text->kind = mark;
        text->owner = reinterpret_cast<intptr_t>(pin);
        text->style = InstallStyleInList(Style(10), editor->styleList);
        SetupTheText(text, editor->stringBlock, at, nullptr, "?");
        LLAppend(editor->texts, text);
        return text;
    }
    TextFrameHandle AddFrame(SymbolEditorRecord* editor, const char* utf8, Point at) {
        TextFrameHandle frame = CreateTextFrame(utf8, -1, kEncodingUTF8);
        (*frame)->style = InstallStyleInList(Style(12), editor->styleList);
        (*frame)->position = at;
        CalcTextFrameBounds(nullptr, frame, true, kFrameDefaultWrapWidth);
        LLAppend(editor->frames, frame);
        return frame;
    }

    static std::vector<ElementRecord*> Elements(LinkListHeader* list) {
        std::vector<ElementRecord*> out;
        for (auto* e = static_cast<ElementRecord*>(LLFirst(list)); e; e = e->next) out.push_back(e);
        return out;
    }
    static std::string PinNumber(SymbolEditorRecord* editor, ElementRecord* pin) {
        const NodePinEditor context = SymbolEditorPinContext(editor);
        char number[kPinTextSize];
        GetNodesPinNumber(&context, ElementAs<NodeElement>(pin)->pinNumbers, 0, -1, number);
        return number;
    }
    static std::string PinName(SymbolEditorRecord* editor, ElementRecord* pin) {
        const NodePinEditor context = SymbolEditorPinContext(editor);
        char name[kPinTextSize];
        GetNodesPinName(ElementAs<NodeElement>(pin)->pinData, &context, name);
        return name;
    }

    // ---- File symbols of the test's sheet ----

    FileSymbolEntry* AddFileSymbol(std::vector<const char*> names) {
        FileSymbolEntry* entry = CreateFileSymbol(&sheet);
        LibraryItem* item = NewItem(kLibItemComponent, names);
        entry->item = Flat(item);
        DestroyLibraryItem(item);
        return entry;
    }

private:
    std::vector<LibraryItem*> items_;
    int32_t globalImages_ = 0;
};

}  // namespace plexa::test
