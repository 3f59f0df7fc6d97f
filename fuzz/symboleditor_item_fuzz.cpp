// Fuzz target: flattened library items opened in a symbol editor without a window, as the sheet
// files do with a sheet's file symbols on every save. An item that inflates is given to an editor,
// which loads each of its symbols into editable lists (reading both drawings, the pins with their
// pin data and numbers, the sections), edits nothing but flushes each back (sorting, storing the
// drawings, the numbers and the pin-data ids), switches to the alternate drawing and back, and
// flattens the item for its owner: what that writes must inflate again. Every image reference
// taken is given back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/model_fuzz_app.h"
#include "graphics/textstyle.h"
#include "graphics/offscreen.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/modelhooks.h"
#include "model/pindata.h"
#include "model/texts.h"
#include "model/themes.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"

using namespace plexa;

namespace {

bool Ready() {
    static const bool ready = [] {
        StartModelFuzzApplication();
        for (txStyle* style : gDefaultTextThemes.styles) SetStyleFont(style, "DejaVu Sans");
        return VXGetMeasuringState() != nullptr && gGlobalImageList != nullptr;
    }();
    return ready;
}

std::string Bytes(Handle h) {
    std::string s = h ? std::string(*h, SizeOfHandle(h)) : std::string();
    if (h) MemFree(h);
    return s;
}

ElementRecord* Pin(SymbolEditorRecord* editor, Point at, Point body, const char* name, const char* number) {
    ElementRecord* e = BuildNodeElement(at, body, 1, 0, false, 0, false, 0, false, 0);
    auto* pin = ElementAs<NodeElement>(e);
    pin->serial = uint16_t(editor->linkedPinCount++);
    pin->pinData = CreateNewPinData();
    SetPinDataName(pin->pinData, editor->stringBlock, name);
    const NodePinEditor context = SymbolEditorPinContext(editor);
    SetNodesPinNumber(&context, &pin->pinNumbers, 0, -1, number);
    LLAppend(editor->elements, e);
    return e;
}

void Rect_(SymbolEditorRecord* editor, Point a, Point b, bool filled) {
    LLAppend(editor->elements, BuildCommonElement(kElementRect, a, b, 1, 0, 0, filled, false, 0, false, 0, false));
}

}  // namespace

std::vector<std::string> FuzzSeeds() {
    std::vector<std::string> seeds;
    if (!Ready()) return seeds;
    // A component with two pins, a second section and an alternate drawing.
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    (void)SetLibraryItemNameInfo(item, kLibAppendName, "Amp", 0);  // fuzzing: only no crash counts
    SymbolEditorRecord* editor = CreateSymbolEditor(item, 0);
    Rect_(editor, {0, 0}, {48, 72}, true);
    Pin(editor, {12, -24}, {12, 0}, "IN", "1");
    Pin(editor, {36, 96}, {36, 72}, "OUT", "2");
    SetEditModified(editor, false);
    NewLibItemSection(editor, editor->symbol, nullptr);
    SetSymbolViewContext(editor, 1);
    Rect_(editor, {0, 0}, {60, 60}, false);
    SetEditModified(editor, false);
    (void)FlushSymbolEditor(editor, false);  // fuzzing: only no crash counts
    seeds.push_back(Bytes(FlattenSymbolEditorItem(editor, nullptr)));
    // A second symbol copied from the first.
    NewLibItemSymbol(editor, 0, "Copy");
    (void)FlushSymbolEditor(editor, false);  // fuzzing: only no crash counts
    seeds.push_back(Bytes(FlattenSymbolEditorItem(editor, nullptr)));
    DestroySymbolEditor(editor);
    // A port with its one pin and a box.
    LibraryItem* port = CreateLibraryItem(kLibItemPort);
    (void)SetLibraryItemNameInfo(port, kLibAppendName, "IN", 0);  // fuzzing: only no crash counts
    editor = CreateSymbolEditor(port, 0);
    Rect_(editor, {0, 0}, {24, 48}, false);
    SetEditModified(editor, false);
    (void)FlushSymbolEditor(editor, false);  // fuzzing: only no crash counts
    seeds.push_back(Bytes(FlattenSymbolEditorItem(editor, nullptr)));
    DestroySymbolEditor(editor);
    return seeds;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!Ready() || size > (1u << 20)) return 0;
    const int32_t globalImages = DACount(gGlobalImageList->entries);
    Handle flat = AllocHandleWithData(nullptr, data, uint32_t(size));
    if (!flat) return 0;
    LibraryItem* item = nullptr;
    const OSStatus status = InflateLibraryItem(flat, &item, true);
    MemFree(flat);
    if (status != 0) return 0;
    SymbolEditorRecord* editor = CreateSymbolEditor(item, 0);
    if (!editor) {
        DestroyLibraryItem(item);
        return 0;
    }
    for (int32_t symbol = 0; symbol < item->head.symbolCount; ++symbol) {
        SetSymbolEditorSymbol(editor, symbol, nullptr);
        SetEditModified(editor, false);
        if (!FlushSymbolEditor(editor, false)) std::abort();  // no list tab can refuse here
        SetSymbolViewContext(editor, 1);
        SetEditModified(editor, false);
        (void)FlushSymbolEditor(editor, false);  // fuzzing: only no crash counts
        SetSymbolViewContext(editor, 0);
    }
    OSStatus written = 0;
    Handle again = FlattenSymbolEditorItem(editor, &written);
    if (!again && written != status::kOutOfMemory) std::abort();  // an item that read must write
    DestroySymbolEditor(editor);
    if (again) {
        LibraryItem* back = nullptr;
        if (InflateLibraryItem(again, &back, true) != 0) std::abort();
        DestroyLibraryItem(back);
        MemFree(again);
    }
    if (DACount(gGlobalImageList->entries) != globalImages) std::abort();
    return 0;
}
