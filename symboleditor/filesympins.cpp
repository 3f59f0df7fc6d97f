// File symbols and the sheet's exports (see filesympins.h).
#include "symboleditor/filesympins.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "files/filesymbols.h"
#include "files/hierarchy.h"
#include "files/project.h"
#include "files/sheetports.h"
#include "files/sheetspec.h"
#include "foundation/bitarray.h"
#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/elements.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/texts.h"
#include "model/waitcursor.h"
#include "model/wires.h"
#include "symboleditor/symarea.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"

namespace plexa {

namespace {

FileSymbolPinHooks gPinHooks;

bool IsTopPinName(const char* name) {
    return name[0] == '+' || strcasecmp(name, "VCC") == 0 || strcasecmp(name, "VDD") == 0 ||
           strcasecmp(name, "AC") == 0;
}

uint16_t TypeBits(const SheetExportEntry& entry) { return uint16_t(entry.portType & 0x30); }

int32_t Grid(const SymbolEditorRecord* editor) { return std::max<int32_t>(1, editor->grid); }

NodeElement* AsNode(ElementRecord* e) { return ElementAs<NodeElement>(e); }

void Join(Rect* area, const Rect& r) {
    if (area) AddToUpdateRect(area, r);
}

// The default place of a pin text: a name inside the box at the body end, a number over the tail.
void PlacePinTextPlainly(SymbolEditorRecord* editor, TextRecord* text, ElementRecord* pin, int32_t side) {
    const Point connection = pin->points.point1, body = pin->points.point2;
    const bool name = (text->kind & 0xC000) == kTextKindPinName;
    Point at = body;
    text->flags &= uint16_t(~kTextFlagRightAligned);
    switch (side) {
        case kPinSideRight:
            if (name) {
                at.h = int16_t(body.h - 3);
                text->flags |= kTextFlagRightAligned;
            } else {
                at.h = int16_t(body.h + 2);
            }
            at.v = int16_t(body.v + (name ? 4 : -2));
            break;
        case kPinSideLeft:
            if (name) {
                at.h = int16_t(body.h + 3);
            } else {
                at.h = int16_t(connection.h + 2);
            }
            at.v = int16_t(body.v + (name ? 4 : -2));
            break;
        case kPinSideTop:
            at = name ? Point{int16_t(body.v + 12), int16_t(body.h - 4)} : Point{int16_t(connection.v), int16_t(body.h + 3)};
            break;
        default:
            at = name ? Point{int16_t(body.v - 3), int16_t(body.h - 4)} : Point{int16_t(connection.v), int16_t(body.h + 3)};
            break;
    }
    SetTextElementPosition(text, at);
    CalcTextBounds(editor->window, text, editor->stringBlock);
}

TextRecord* AddPinText(SymbolEditorRecord* editor, ElementRecord* pin, uint16_t kind, const char* string, int32_t side) {
    TextRecord* text = CreateSymbolEditorText(editor->texts, editor->styleList, editor->stringBlock, editor->window,
                                              kind, pin->points.point2, string);
    if (!text) return nullptr;
    text->owner = reinterpret_cast<intptr_t>(pin);
    if (gPinHooks.positionPinText) gPinHooks.positionPinText(editor, text, pin, side);
    else PlacePinTextPlainly(editor, text, pin, side);
    return text;
}

// The export that a pin or hidden pin follows: by name (ignoring case), else by its port link.
int32_t FindPinExport(SheetExportsTable table, const char* name, const char* link, bool noBussPorts, bool* byName) {
    SheetExportEntry entry{};
    char entryName[kStringSpecBufferSize];
    *byName = false;
    for (int32_t i = 0; GetSheetExportEntry(table, i, &entry, entryName, sizeof entryName); ++i) {
        if (noBussPorts && (entry.kind & kExportBussPort)) continue;
        if (strcasecmp(entryName, name) == 0) {
            *byName = true;
            return i;
        }
    }
    if (!*link) return -1;
    char id[kPortLinkIdSize];
    for (int32_t i = 0; GetSheetExportEntry(table, i, &entry, nullptr, 0); ++i) {
        if (noBussPorts && (entry.kind & kExportBussPort)) continue;
        MakePortLinkIdString(id, entry.serial, entry.pinIndex);
        if (std::strcmp(id, link) == 0) return i;
    }
    return -1;
}

// The exports that `skip` leaves (all without it), the ones that are not bidirectional first: the
// order in which their sides are counted and their pins are made.
std::vector<int32_t> PinOrder(SheetExportsTable table, const std::vector<bool>& skip) {
    std::vector<int32_t> order;
    SheetExportEntry entry{};
    for (int pass = 0; pass < 2; ++pass)
        for (int32_t i = 0; GetSheetExportEntry(table, i, &entry, nullptr, 0); ++i) {
            if (!skip.empty() && skip[size_t(i)]) continue;
            if ((TypeBits(entry) == 0x30) == (pass == 1)) order.push_back(i);
        }
    return order;
}

void CountSides(SheetExportsTable table, const std::vector<int32_t>& order, PinSideCounts* counts,
                DeletedPinSlots* slots) {
    SheetExportEntry entry{};
    for (int32_t i : order) {
        GetSheetExportEntry(table, i, &entry, nullptr, 0);
        CalcNewPortPinOrient(table, entry, counts, slots, nullptr);
    }
}

// The box for the pin counts, at least `minWidth` grid steps wide.
void SetBox(PortPinBox* box, int32_t grid, const PinSideCounts& counts, int32_t minWidth = 0) {
    CalcMinFileSymbolWidthHeight(grid, counts, &box->width, &box->height);
    box->width = std::max(box->width, minWidth);
    box->topMargin = CalcPinCentringMargin(box->width, counts.top);
    box->bottomMargin = CalcPinCentringMargin(box->width, counts.bottom);
}

void Invalidate(SymbolEditorRecord* editor, const Rect* area) {
    InvalSymbolEditorView(editor, area);
}

// Removes pins of the primary view with their texts and their companions.
void DeletePins(SymbolEditorRecord* editor, const std::vector<ElementRecord*>& pins, Rect* changed) {
    for (ElementRecord* pin : pins) {
        if (ElementRecord* companion = GetCompanionNode(editor, pin, kSymbolViewPrimary)) {
            AsNode(companion)->pinData = nullptr;
            AsNode(companion)->pinNumbers = nullptr;
            for (TextRecord* text : PinTexts(editor->textLists[kSymbolViewAlternate], companion))
                LLRemoveOrFree(editor->textLists[kSymbolViewAlternate], text, nullptr, true);
            LLRemoveOrFree(editor->elementLists[kSymbolViewAlternate], companion, nullptr, true);
        }
        for (TextRecord* text : PinTexts(editor->textLists[kSymbolViewPrimary], pin)) {
            Join(changed, text->bounds);
            LLRemoveOrFree(editor->textLists[kSymbolViewPrimary], text, nullptr, true);
        }
        Join(changed, pin->bounds);
        LLRemoveOrFree(editor->elementLists[kSymbolViewPrimary], pin, nullptr, true);
    }
}

// Brings one pin in line with its export; whether it changed.
bool UpdatePin(SymbolEditorRecord* editor, ElementRecord* pin, SheetExportsTable table, int32_t index, bool byName,
               const char* pinName, const char* link) {
    SheetExportEntry entry{};
    char name[kStringSpecBufferSize];
    GetSheetExportEntry(table, index, &entry, name, sizeof name);
    NodeElement* node = AsNode(pin);
    bool changed = false;
    const int8_t style = (entry.kind & kExportBussPort) ? 2 : 1;
    if (pin->penWidth != style) {
        pin->penWidth = style;
        CalcElementBounds(pin);
        changed = true;
    }
    if (!node->pinData && !(node->pinData = CreateNewPinData())) return changed;
    const uint8_t type = uint8_t(TypeBits(entry) >> 4);
    if (GetPinDataType(node->pinData, false) != type) {
        SetPinDataType(node->pinData, type, false);
        changed = true;
    }
    char id[kPortLinkIdSize];
    MakePortLinkIdString(id, entry.serial, entry.pinIndex);
    if (byName && std::strcmp(id, link) != 0) {
        SetPinDataAttribute(node->pinData, editor->stringBlock, kPortLinkAttribute, id);
        changed = true;
    }
    if (std::strcmp(pinName, name) != 0) {
        const NodePinEditor context = SymbolEditorPinContext(editor);
        SetNodesPinName(node->pinData, &context, name);
        ElementRecord* companion = GetCompanionNode(editor, pin, kSymbolViewPrimary);
        for (int32_t view = 0; view < 2; ++view) {
            ElementRecord* owner = view == kSymbolViewPrimary ? pin : companion;
            if (!owner) continue;
            for (TextRecord* text : PinTexts(editor->textLists[view], owner, kTextKindPinName))
                SetupTheText(text, editor->stringBlock, gMinusOnePoint, editor->window, name);
        }
        changed = true;
    }
    return changed;
}

// Brings pin set 0's hidden pins in line; whether anything changed.
bool UpdateHiddenPins(LibraryItem* item, SheetExportsTable table, std::vector<bool>* used) {
    bool changed = false;
    for (int32_t pin = CountLibSymbolPins(item, 0, kLibHiddenPins) - 1; pin >= 0; --pin) {
        uint32_t id = 0xFFFFFFFF;
        GetLibItemHiddenPinInfo(item, 0, pin, nullptr, &id);
        Handle record = id == 0xFFFFFFFF ? nullptr : GetIndexedPinData(item->pinTable, int32_t(id));
        char name[kPinTextSize] = "", link[kPinTextSize] = "";
        if (record) {
            GetPinDataName(record, item->stringBlock, name);
            GetPinDataAttribute(record, item->stringBlock, kPortLinkAttribute, link);
        }
        bool byName = false;
        const int32_t index = FindPinExport(table, name, link, true, &byName);
        if (index < 0) {
            DeleteHiddenPinFromLibItem(item, 0, pin);
            changed = true;
            continue;
        }
        (*used)[size_t(index)] = true;
        SheetExportEntry entry{};
        char exportName[kStringSpecBufferSize], exportLink[kPortLinkIdSize];
        GetSheetExportEntry(table, index, &entry, exportName, sizeof exportName);
        MakePortLinkIdString(exportLink, entry.serial, entry.pinIndex);
        const uint8_t type = uint8_t(TypeBits(entry) >> 4);
        const bool differs = !record || GetPinDataType(record, false) != type ||
                             std::strcmp(link, exportLink) != 0 || std::strcmp(name, exportName) != 0;
        if (!differs) continue;
        Handle copy = record ? GetPinDataCopy(item->pinTable, int32_t(id)) : CreateNewPinData();
        if (!copy) continue;
        SetPinDataType(copy, type, false);
        SetPinDataAttribute(copy, item->stringBlock, kPortLinkAttribute, exportLink);
        SetPinDataName(copy, item->stringBlock, exportName);
        const int32_t newId = AddPinDataToTable(item->pinTable, copy);
        DestroyPinData(copy);
        if (newId < 0) continue;
        SetLibItemHiddenPinDataId(item, 0, pin, uint32_t(newId));
        changed = true;
    }
    return changed;
}

}  // namespace

void SetFileSymbolPinHooks(const FileSymbolPinHooks& hooks) { gPinHooks = hooks; }
const FileSymbolPinHooks& GetFileSymbolPinHooks() { return gPinHooks; }

int32_t CalcNewPortPinOrient(SheetExportsTable exports, const SheetExportEntry& entry, PinSideCounts* counts,
                             DeletedPinSlots* slots, int32_t* slotIndex) {
    if (slotIndex) *slotIndex = -1;
    int32_t taken = -1;
    auto take = [&](int32_t side) {
        if (!slots || !ReserveDeletedSlot(slots, side, &taken)) return false;
        if (slotIndex) *slotIndex = taken;
        return true;
    };
    switch (TypeBits(entry)) {
        case 0x30:
            // A slot of either edge keeps its own edge.
            if (take(-1)) return (*slots)[size_t(taken)].side;
            if (counts->left <= counts->right) {
                ++counts->left;
                return kPinSideLeft;
            }
            ++counts->right;
            return kPinSideRight;
        case 0x10:
            if (!take(kPinSideLeft)) ++counts->left;
            return kPinSideLeft;
        case 0x20:
            if (!take(kPinSideRight)) ++counts->right;
            return kPinSideRight;
        default: {
            char name[kStringSpecBufferSize];
            GetSheetExportName(exports, &entry, 0, name, sizeof name);
            if (IsTopPinName(name)) {
                if (!take(kPinSideTop)) ++counts->top;
                return kPinSideTop;
            }
            if (!take(kPinSideBottom)) ++counts->bottom;
            return kPinSideBottom;
        }
    }
}

bool ReserveDeletedSlot(DeletedPinSlots* slots, int32_t side, int32_t* index) {
    if (!slots) return false;
    for (size_t i = 0; i < slots->size(); ++i) {
        DeletedPinSlot& slot = (*slots)[i];
        if (slot.reserved) continue;
        const bool fits = side < 0 ? slot.side == kPinSideRight || slot.side == kPinSideLeft : slot.side == side;
        if (!fits) continue;
        slot.reserved = 1;
        if (index) *index = int32_t(i);
        return true;
    }
    return false;
}

void CalcMinFileSymbolWidthHeight(int32_t grid, const PinSideCounts& counts, int32_t* width, int32_t* height) {
    grid = std::max<int32_t>(1, grid);
    const int32_t minHeight = counts.top || counts.bottom ? 72 : 36;
    int32_t h = std::max(counts.left, counts.right) + 1;
    if (h * grid < minHeight) h = minHeight / grid;
    int32_t w = std::max(counts.top, counts.bottom) + 1;
    if (w * grid < 156) w = 156 / grid;
    *width = std::max<int32_t>(1, w);
    *height = std::max<int32_t>(1, h);
}

int32_t CalcPinCentringMargin(int32_t width, int32_t count) { return std::max<int32_t>(1, width / 2 - count / 2) - 1; }

ElementRecord* CreateNewPortPin(SymbolEditorRecord* editor, SheetExportsTable exports, int32_t exportIndex,
                                const PortPinBox& box, PinSideCounts* counts, DeletedPinSlots* slots,
                                BitArray* numbers, Rect* changed) {
    SheetExportEntry entry{};
    char name[kStringSpecBufferSize];
    if (!GetSheetExportEntry(exports, exportIndex, &entry, name, sizeof name)) return nullptr;
    int32_t slotIndex = -1;
    const int32_t side = CalcNewPortPinOrient(exports, entry, counts, slots, &slotIndex);
    const int32_t g = Grid(editor);
    Point body{0, 0}, connection{0, 0};
    Handle pinNumbers = nullptr;
    if (slotIndex >= 0) {
        DeletedPinSlot& slot = (*slots)[size_t(slotIndex)];
        connection = slot.points[0];
        body = slot.points[1];
        pinNumbers = slot.pinNumbers;
        slot.pinNumbers = nullptr;
    } else {
        const Point a = box.anchor;
        switch (side) {
            case kPinSideRight: body = Point{int16_t(a.v + counts->right * g), int16_t(a.h + box.width * g)}; break;
            case kPinSideLeft: body = Point{int16_t(a.v + counts->left * g), a.h}; break;
            case kPinSideTop: body = Point{a.v, int16_t(a.h + (box.topMargin + counts->top) * g)}; break;
            default: body = Point{int16_t(a.v + box.height * g), int16_t(a.h + (box.bottomMargin + counts->bottom) * g)}; break;
        }
        connection = body;
        if (side == kPinSideRight) connection.h = int16_t(body.h + g);
        else if (side == kPinSideLeft) connection.h = int16_t(body.h - g);
        else if (side == kPinSideTop) connection.v = int16_t(body.v - g);
        else connection.v = int16_t(body.v + g);
    }
    const int16_t style = (entry.kind & kExportBussPort) ? 2 : 1;
    ElementRecord* pin = BuildNodeElement(connection, body, style, 0, false, uint16_t(editor->linkedPinCount), false, 0,
                                          false, 0);
    Handle pinData = pin ? CreateNewPinData() : nullptr;
    if (!pinData) {
        if (pin) DestroyElement(pin, nullptr);
        if (pinNumbers) MemFree(pinNumbers);
        return nullptr;
    }
    ++editor->linkedPinCount;
    NodeElement* node = AsNode(pin);
    node->pinData = pinData;
    SetPinDataName(pinData, editor->stringBlock, name);
    SetPinDataType(pinData, uint8_t(TypeBits(entry) >> 4), false);
    char id[kPortLinkIdSize];
    MakePortLinkIdString(id, entry.serial, entry.pinIndex);
    SetPinDataAttribute(pinData, editor->stringBlock, kPortLinkAttribute, id);
    const NodePinEditor context = SymbolEditorPinContext(editor);
    char number[kPinTextSize] = "";
    if (pinNumbers) {
        node->pinNumbers = pinNumbers;
        GetNodesPinNumber(&context, pinNumbers, 0, -1, number);
    } else {
        std::snprintf(number, sizeof number, "%d", GetUniquePinNumber(editor, numbers, editor->pinSet, nullptr, true));
        SetNodesPinNumber(&context, &node->pinNumbers, 0, -1, number);
    }
    LLPush(editor->elements, pin);
    Join(changed, pin->bounds);
    if (TextRecord* text = AddPinText(editor, pin, kTextKindPinName, name, side)) Join(changed, text->bounds);
    if (TextRecord* text = AddPinText(editor, pin, kTextKindPinNumber, number, side)) Join(changed, text->bounds);
    return pin;
}

void BuildStandardFileSymbolFromSheet(SymbolEditorRecord* editor) {
    SheetExportsTable table = editor && editor->sheet ? BuildSheetExportsTable(editor->sheet) : nullptr;
    if (!table) return;
    const std::vector<int32_t> order = PinOrder(table, {});
    if (order.empty()) {
        DestroySheetExportsTable(table);
        return;
    }
    const int32_t g = Grid(editor);
    PinSideCounts counts;
    CountSides(table, order, &counts, nullptr);
    PortPinBox box;
    SetBox(&box, g, counts);
    box.anchor = Point{kStandardBoxOrigin, kStandardBoxOrigin};
    SnapPointToGrid(&box.anchor, g);
    const Point corner{int16_t(box.anchor.v + box.height * g), int16_t(box.anchor.h + box.width * g)};
    Rect changed{};
    if (ElementRecord* rect = BuildCommonElement(kElementRect, box.anchor, corner, 1, 0, 0, false, false, 0, false, 0, false)) {
        LLAppend(editor->elements, rect);
        Join(&changed, rect->bounds);
        counts = PinSideCounts{};
        BitArray numbers = nullptr;
        for (int32_t index : order)
            if (!CreateNewPortPin(editor, table, index, box, &counts, nullptr, &numbers, &changed)) break;
        if (numbers) DisposeBitArray(numbers);
    }
    DestroySheetExportsTable(table);
    SetEditModified(editor, true);
    Invalidate(editor, &changed);
}

bool UpdateFileSymbolPinsFromSheet(SymbolEditorRecord* editor) {
    SheetExportsTable table = editor && editor->sheet ? BuildSheetExportsTable(editor->sheet) : nullptr;
    if (!table) return false;
    const int16_t view = editor->viewContext;
    if (view == kSymbolViewAlternate) SetSymbolViewContext(editor, kSymbolViewPrimary);
    const SymbolEditorHooks& hooks = GetSymbolEditorHooks();
    if ((editor->currentTab == kSymEditTabPins || editor->currentTab == kSymEditTabHiddenPins) && hooks.flushList)
        hooks.flushList(editor, false);
    std::vector<bool> used(size_t(DACount(table)), false);
    DeletedPinSlots slots;
    // The pins to go are kept here, not in the editor's selection, which is the user's.
    std::vector<ElementRecord*> doomed;
    bool changed = false;
    Rect area{};
    const NodePinEditor context = SymbolEditorPinContext(editor);
    // 2: every pin finds its export, or gives its place up.
    for (ElementRecord* pin : ViewPins(editor->elements)) {
        NodeElement* node = AsNode(pin);
        char name[kPinTextSize] = "", link[kPinTextSize] = "";
        GetNodesPinName(node->pinData, &context, name);
        if (node->pinData) GetPinDataAttribute(node->pinData, editor->stringBlock, kPortLinkAttribute, link);
        bool byName = false;
        const int32_t index = FindPinExport(table, name, link, false, &byName);
        if (index >= 0) {
            used[size_t(index)] = true;
            if (UpdatePin(editor, pin, table, index, byName, name, link)) {
                changed = true;
                Join(&area, pin->bounds);
            }
            continue;
        }
        doomed.push_back(pin);
        slots.push_back(DeletedPinSlot{{pin->points.point1, pin->points.point2}, node->pinNumbers,
                                       uint16_t(Node_Orient(pin)), 0});
        node->pinNumbers = nullptr;
        changed = true;
    }
    // 3: the hidden pins of pin set 0.
    if (UpdateHiddenPins(editor->item, table, &used)) changed = true;
    // 4
    DeletePins(editor, doomed, &area);
    // 5: a pin for every export that has none, in the freed places first.
    std::vector<bool> skip = used;
    const std::vector<int32_t> order = PinOrder(table, skip);
    if (!order.empty()) {
        const int32_t g = Grid(editor);
        PinSideCounts counts;
        CountSides(table, order, &counts, &slots);
        Rect bounds;
        CalcSymbolViewBounds(editor, &bounds);
        if (VXEmptyRect(&bounds)) bounds = Rect{kStandardBoxOrigin, kStandardBoxOrigin, kStandardBoxOrigin, kStandardBoxOrigin};
        // The new pins' box spans the symbol drawn so far.
        PortPinBox box;
        SetBox(&box, g, counts, (bounds.right - bounds.left + g - 1) / g);
        box.anchor = Point{int16_t(bounds.bottom + 3 * g), bounds.left};
        SnapPointToGrid(&box.anchor, g);
        for (DeletedPinSlot& slot : slots) slot.reserved = 0;
        counts = PinSideCounts{};
        BitArray numbers = nullptr;
        for (int32_t index : order)
            if (CreateNewPortPin(editor, table, index, box, &counts, &slots, &numbers, &area)) changed = true;
        if (numbers) DisposeBitArray(numbers);
        if (HasAltSymbol(editor->elementLists)) SynchAltSymbolNodes(editor, kSymbolViewPrimary);
    }
    // 6
    for (DeletedPinSlot& slot : slots)
        if (slot.pinNumbers) MemFree(slot.pinNumbers);
    DestroySheetExportsTable(table);
    if (view == kSymbolViewAlternate) SetSymbolViewContext(editor, kSymbolViewAlternate);
    if (changed) {
        SetEditModified(editor, true);
        if (editor->currentTab != kSymEditTabDrawing) {
            FlushNodeDataToLibItem(editor);
            if (gPinHooks.redrawPinLists) gPinHooks.redrawPinLists(editor);
        }
        Invalidate(editor, &area);
    }
    return changed;
}

void SynchronizeSheetsFileSymbols(SheetRecord* sheet, bool closeUnchanged) {
    if (!sheet) return;
    for (int32_t index = 0; index < CountFileSymbols(sheet); ++index) {
        ModelWaitCursor();
        FileSymbolEntry* entry = GetIndexedFileSymbol(sheet, index);
        if (!entry || !entry->item) continue;
        SymbolEditorRecord* editor = nullptr;
        const OSStatus status = OpenSheetFileSymbolEditor(sheet, nullptr, index, false, &editor);
        if (!editor) continue;
        const bool listDrawing = editor->currentTab != kSymEditTabDrawing;
        if (listDrawing && gPinHooks.setListDrawing) gPinHooks.setListDrawing(editor, false);
        (void)FlushSymbolEditor(editor, false);  // the save below flushes again and reports
        UpdateFileSymbolPinsFromSheet(editor);
        const bool saved = SaveSheetSymbolEditor(editor, false);
        if (listDrawing && gPinHooks.setListDrawing) gPinHooks.setListDrawing(editor, true);
        // An editor whose store failed (reported) stays open with its edits.
        if (status == status::kNoErr && closeUnchanged && saved) CloseSheetSymbolEditor(editor, false);
    }
}

void SynchronizeProjectFileSymbols(ProjectRecord* project) {
    if (!project) return;
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next) {
        if (!spec->nodeCount) continue;
        if (SheetRecord* sheet = GetOpenSheetFromSheetSpec(project, spec)) SynchronizeSheetsFileSymbols(sheet, true);
    }
    if (gPinHooks.updateSheetsWithDirtyChildSymbols) gPinHooks.updateSheetsWithDirtyChildSymbols(project);
}

void GetFileSymbolName(const FileSymbolEntry* entry, char* name, int32_t size) {
    if (!name || size < 1) return;
    *name = 0;
    if (!entry) return;
    const SymbolEditorRecord* editor = entry->editor;
    if (editor && editor->window) {
        bool named = false;
        for (int32_t i = 0; i < CountLibraryItemNames(editor->item) && !named; ++i)
            named = *GetLibraryItemNamePtr(editor->item, i) != 0;
        if (named) {
            char title[kLibItemTextSize + 200];
            GetSymbolEditorTitle(editor, title, sizeof title);
            const char* after = std::strstr(title, " : ");
            std::snprintf(name, size_t(size), "%s", after ? after + 3 : title);
            return;
        }
    } else if (entry->item && GetFlattenedLibraryItemName(entry->item, 0, name, size) && *name) {
        return;
    }
    std::snprintf(name, size_t(size), "%s", kUnnamedFileSymbol);
}

void UpdateFileSymbolEditorTitles(SheetRecord* sheet) {
    const int32_t count = CountFileSymbols(sheet);
    for (int32_t i = 0; i < count; ++i)
        if (FileSymbolEntry* entry = GetIndexedFileSymbol(sheet, i))
            if (entry->editor) UpdateSymbolEditorTitle(entry->editor);
}

void AddFileSymbolEditorHooks(SymbolEditorHooks& hooks) {
    hooks.buildStandardFileSymbol = BuildStandardFileSymbolFromSheet;
    hooks.updateFileSymbolPins = UpdateFileSymbolPinsFromSheet;
}

}  // namespace plexa
