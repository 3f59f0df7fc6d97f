#include "symboleditor/symclip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "foundation/assert.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "foundation/strings.h"
#include "graphics/textstyle.h"
#include "model/annotation.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/sheetdraw.h"
#include "model/sheetsymbols.h"
#include "model/signals.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"
#include "symboleditor/symselection.h"
#include "symboleditor/symundo.h"
#include "toolkit/vx_window.h"

namespace plexa {

struct SymbolClip {
    uint32_t clipId = 0;
    uint16_t source = 0;
    uint16_t resolution = 0;
    uint16_t flags = 0;
    bool pasteAtPosition = false;
    bool holdsItems = false;
    Point reference{};
    Rect bounds{};  // of the copies, relative to the reference point
    LinkListHeader* elements = nullptr;
    LinkListHeader* texts = nullptr;
    LinkListHeader* frames = nullptr;
    LinkListHeader* wires = nullptr;  // a sheet clip's wires and bus lines, pasted after the drawing
    TextStyleList* styles = nullptr;
    ImageList* images = nullptr;
    StringBlock strings = nullptr;  // a copy of the source editor's block
};

SymbolClip* gSymbolClip = nullptr;

namespace {

uint32_t gLastClipId = 0;

NodeElement* AsNode(ElementRecord* e) { return ElementAs<NodeElement>(e); }
ElementRecord* OwnerPin(const TextRecord* t) { return reinterpret_cast<ElementRecord*>(t->owner); }
bool IsPinText(const TextRecord* t) { return t->kind >= kTextKindPinNumber; }
bool IsSelected(const ElementRecord* e) { return e->flags & kElementSelected; }

uint64_t KeyOf(const LibSection* section) { return uint64_t(reinterpret_cast<uintptr_t>(section)); }

// The sections of the item that use the editor's symbol, in list order.
std::vector<LibSection*> SymbolSections(SymbolEditorRecord* editor) {
    std::vector<LibSection*> sections;
    for (auto* s = static_cast<LibSection*>(LLFirst(editor->item->sections)); s; s = s->next)
        if (editor->symbol >= 0 && s->symbolIndex == editor->symbol) sections.push_back(s);
    return sections;
}

void EmptyClip(SymbolClip* clip) {
    if (clip->elements) {
        for (ElementRecord* e : EditorListItems<ElementRecord*>(clip->elements)) {
            (void)LLRemoveOrFree(clip->elements, e, nullptr, false);  // unlinked only: put back in order below
            if (e->kind == kElementNode && AsNode(e)->pinNumbers) {
                MemFree(AsNode(e)->pinNumbers);
                AsNode(e)->pinNumbers = nullptr;
            }
            DestroyElement(e, clip->images);
        }
        DestroyElementList(clip->elements);
    }
    if (clip->wires) {
        for (ElementRecord* e : EditorListItems<ElementRecord*>(clip->wires)) {
            (void)LLRemoveOrFree(clip->wires, e, nullptr, false);  // unlinked only: freed below
            DestroyElement(e, nullptr);
        }
        DestroyElementList(clip->wires);
    }
    if (clip->texts) DestroyTextList(clip->texts);
    if (clip->frames) DestroyTextFrameList(clip->frames);
    if (clip->images) DestroyImageList(clip->images);
    if (clip->strings) MemFree(clip->strings);
    clip->elements = clip->texts = clip->frames = clip->wires = nullptr;
    clip->images = nullptr;
    clip->strings = nullptr;
    clip->holdsItems = false;
    clip->flags = 0;
    // The style list lives with the clip: frames and texts of older copies may share it.
}

SymbolClip* TheClip() {
    if (!gSymbolClip) gSymbolClip = new SymbolClip;
    return gSymbolClip;
}

void MoveElement(ElementRecord* e, Point by) { OffsetElement(e, by); }

}  // namespace

// ---- The clip ----

uint16_t SymbolClipFlags() { return gSymbolClip ? gSymbolClip->flags : 0; }
uint32_t SymbolClipId() { return gSymbolClip ? gSymbolClip->clipId : 0; }
Point SymbolClipReference() { return gSymbolClip ? gSymbolClip->reference : Point{}; }
bool SymbolClipHoldsItems() { return gSymbolClip && gSymbolClip->holdsItems; }

void MeasureSymbolClip(Rect* bounds) {
    const SymbolClip* clip = gSymbolClip;
    if (!clip) return;
    for (ElementRecord* e : EditorListItems<ElementRecord*>(clip->elements)) AddEditorArea(bounds, e->bounds);
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(clip->frames))
        AddEditorArea(bounds, GrownEditorRect((*f)->bounds, 2));
    for (TextRecord* t : EditorListItems<TextRecord*>(clip->texts))
        if (!(t->flags & kTextFlagHidden)) AddEditorArea(bounds, t->bounds);
}

void DrawSymbolClip() {
    const SymbolClip* clip = gSymbolClip;
    if (!clip) return;
    DrawGrafElements(clip->elements, nullptr, kGrafBackLayer);
    DrawGrafElements(clip->elements, nullptr, kGrafFrontLayer);
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(clip->frames)) DrawTextFrame(f, false);
    for (TextRecord* t : EditorListItems<TextRecord*>(clip->texts))
        if (!(t->flags & kTextFlagHidden)) DrawTextElement(t, clip->strings);
}

void SetSymbolClipPastePoint(Point point) {
    SymbolClip* clip = TheClip();
    clip->reference = point;
    clip->pasteAtPosition = true;
}

void KillSymbolEditorClip(bool release) {
    if (!gSymbolClip) return;
    EmptyClip(gSymbolClip);
    if (release) {
        if (gSymbolClip->styles) DestroyTextStyleList(gSymbolClip->styles);
        delete gSymbolClip;
        gSymbolClip = nullptr;
    }
}

void ToggleCutClipFlag(uint32_t clipId) {
    if (gSymbolClip && gSymbolClip->clipId == clipId) gSymbolClip->flags ^= kSymClipCut;
}

int32_t CalcPasteOffsetStep(int32_t grid) {
    grid = std::max(grid, 1);
    int32_t step = grid;
    while (step < kPasteOffsetMinimum) step += grid;
    return step;
}

// ---- Delete ----

void DeleteSymbolEditorSelection(SymbolEditorRecord* editor, bool withPins, uint16_t undoKind) {
    StartSymbolEditorUndoCollection(editor, undoKind);
    const bool pinsGo = withPins || (editor->viewContext == kSymbolViewPrimary && editor->kind == kLibItemComponent);
    Rect area{};
    bool removed = false;
    for (TextRecord* t : EditorListItems<TextRecord*>(editor->texts)) {
        const bool selected = t->flags & kTextFlagSelected;
        const bool ofPin = pinsGo && IsPinText(t) && t->owner && IsSelected(OwnerPin(t));
        if (!selected && !ofPin) continue;
        (void)LLRemoveOrFree(editor->texts, t, nullptr, false);
        if (!(t->flags & kTextFlagHidden)) AddEditorArea(&area, t->bounds);
        t->flags &= uint16_t(~kTextFlagSelected);
        CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemText, t, false);
        removed = true;
    }
    for (ElementRecord* e : EditorListItems<ElementRecord*>(editor->elements)) {
        if (!IsSelected(e) || (e->kind == kElementNode && !pinsGo)) continue;
        (void)LLRemoveOrFree(editor->elements, e, nullptr, false);
        AddEditorArea(&area, e->bounds);
        e->flags &= uint16_t(~3u);
        if (e == editor->selectedElement) editor->selectedElement = nullptr;
        CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemElement, e, false);
        removed = true;
    }
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(editor->frames)) {
        if (!((*f)->flags & kFrameFlagSelected)) continue;
        (void)LLRemoveOrFree(editor->frames, f, nullptr, false);
        AddEditorArea(&area, (*f)->bounds);
        (*f)->flags &= uint16_t(~kFrameFlagSelected);
        if (f == editor->selectedFrame) editor->selectedFrame = nullptr;
        CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemFrame, f, false);
        removed = true;
    }
    ClearSymbolEditorSelection(editor);
    if (!removed) {
        AbortSymbolEditorUndoCollection(editor);
        return;
    }
    SetEditModified(editor, true);
    VXInsetRect(&area, -9, -9);
    if (editor->currentTab == kSymEditTabDrawing) InvalEditorView(editor, area);
    CollectUndoInvalSymbolEditorRect(editor, area);
    CollectUndoSymbolEditorCutSourceId(editor);
    AcceptSymbolEditorUndoCollection(editor);
}

// ---- Copy ----

void CalcEditorSelectionReferencePoint(SymbolEditorRecord* editor, Point* offset) {
    bool anyElement = false;
    for (ElementRecord* e : EditorListItems<ElementRecord*>(editor->elements)) anyElement |= IsSelected(e);
    Point reference{};
    if (anyElement) {
        LinkListHeader* const lists[2] = {editor->elements, editor->elements};
        GetSymbolViewOrigin(lists, 0, true, &reference);
    } else {
        const auto distance = [](Point p) { return std::lround(std::sqrt(double(p.v) * p.v + double(p.h) * p.h)); };
        bool found = false;
        long best = 0;
        for (TextRecord* t : EditorListItems<TextRecord*>(editor->texts)) {
            if (!(t->flags & kTextFlagSelected)) continue;
            const Point p = GetTextElementPosition(t);
            if (!found || distance(p) < best) {
                found = true;
                best = distance(p);
                reference = p;
            }
        }
        for (TextFrameHandle f : EditorListItems<TextFrameHandle>(editor->frames)) {
            if (!((*f)->flags & kFrameFlagSelected)) continue;
            Point anchor{};
            GetTextFrameAnchorPoint(f, false, &anchor);
            if (!found || distance(anchor) < best) {
                found = true;
                best = distance(anchor);
                reference = anchor;
            }
        }
    }
    *offset = Point{int16_t(-reference.v), int16_t(-reference.h)};
}

OSStatus CopySymbolEditorSelection(SymbolEditorRecord* editor) {
    SymbolClip* clip = TheClip();
    EmptyClip(clip);
    if (!clip->styles) clip->styles = CreateTextStyleList(nullptr);
    clip->clipId = ++gLastClipId;
    editor->lastClipId = clip->clipId;
    clip->source = kSymClipSource;
    clip->resolution = editor->resolution;
    clip->flags = kSymClipFromEditor;
    clip->pasteAtPosition = false;
    clip->strings = CloneHandle(nullptr, editor->stringBlock);
    clip->elements = CreateElementList(nullptr);
    clip->images = CreateLocalImageList();
    if (clip->elements) SetElementListImageList(clip->elements, clip->images);
    clip->texts = CreateTextList();
    clip->frames = CreateTextFrameList();
    if (!clip->strings || !clip->elements || !clip->texts || !clip->frames) {
        EmptyClip(clip);
        return status::kOutOfMemory;
    }
    // An item that cannot be copied fails the whole copy: a clip that lacks it must not stand in
    // for the selection (a Cut would lose it).
    bool complete = true;
    Point offset{};
    CalcEditorSelectionReferencePoint(editor, &offset);
    clip->reference = Point{int16_t(-offset.v), int16_t(-offset.h)};
    Rect bounds{};
    GetEditorHiliteBounds(editor, &bounds);
    VXOffsetRect(&bounds, offset.h, offset.v);
    clip->bounds = bounds;

    // Texts: pin texts of copied pins stay pin texts; a lone pin text becomes a frame.
    for (TextRecord* t : EditorListItems<TextRecord*>(editor->texts)) {
        const bool pinSelected = IsPinText(t) && t->owner && IsSelected(OwnerPin(t));
        if (!pinSelected && !(t->flags & kTextFlagSelected)) continue;
        if (IsPinText(t) && !pinSelected) {
            if (TextFrameHandle f = CreateTextFrameFromTextElement(t, editor->stringBlock, clip->styles, true, editor->window)) {
                OffsetTextFrame(f, offset.h, offset.v);
                (*f)->flags |= kFrameFlagSelected;
                LLAppend(clip->frames, f);
            } else {
                complete = false;
            }
            continue;
        }
        TextRecord* copy = DuplicateText2(t);
        if (!copy) {
            complete = false;
            continue;
        }
        copy->style = InstallStyleInList(t->style, clip->styles);
        OffsetTextElement(copy, offset.h, offset.v);
        LLAppend(clip->texts, copy);
    }
    // Elements, with their pins' data and numbers.
    ImageList* images = GetElementListImageList(editor->elements);
    const std::vector<LibSection*> sections = SymbolSections(editor);
    for (ElementRecord* e : EditorListItems<ElementRecord*>(editor->elements)) {
        if (!IsSelected(e)) continue;
        ElementRecord* copy = DuplicateElement(e, true, images ? images : editor->images, clip->images);
        if (!copy) {
            complete = false;
            continue;
        }
        MoveElement(copy, offset);
        if (copy->kind == kElementNode) {
            NodeElement* node = AsNode(copy);
            if (node->pinNumbers) MemFree(node->pinNumbers);
            node->pinNumbers = nullptr;
            // The numbers go by the section's place among the symbol's sections.
            for (size_t i = 0; i < sections.size() && editor->kind == kLibItemComponent; ++i) {
                StringSpec specs[4]{};
                (void)GetNodesPinNumberSet(AsNode(e)->pinNumbers, KeyOf(sections[i]), specs);
                (void)SetNodesPinNumberSet(&node->pinNumbers, uint64_t(i + 1), specs, clip->strings, clip->strings);
            }
            for (TextRecord* t : EditorListItems<TextRecord*>(clip->texts))
                if (IsPinText(t) && OwnerPin(t) == e) t->owner = reinterpret_cast<intptr_t>(copy);
        }
        LLPush(clip->elements, copy);
    }
    LLReverse(clip->elements);
    // Pins in the order of their numbers.
    if (editor->section) {
        std::vector<std::pair<std::string, ElementRecord*>> pins;
        const NodePinEditor context = SymbolEditorPinContext(editor);
        const int32_t index = int32_t(std::find(sections.begin(), sections.end(), editor->section) - sections.begin());
        for (ElementRecord* e : EditorListItems<ElementRecord*>(clip->elements)) {
            if (e->kind != kElementNode) continue;
            StringSpec specs[4]{};
            (void)GetNodesPinNumberSet(AsNode(e)->pinNumbers, uint64_t(index + 1), specs);
            char number[kPinTextSize];
            ExtractStringSpec(specs[std::clamp(editor->pinSet, int16_t(0), int16_t(3))], clip->strings, number, sizeof number);
            (void)context;
            pins.emplace_back(number, e);
            (void)LLRemoveOrFree(clip->elements, e, nullptr, false);  // unlinked only: put back in order below
        }
        std::stable_sort(pins.begin(), pins.end(), [](const auto& a, const auto& b) {
            return StrCmpAlphaNumeric(a.first.c_str(), b.first.c_str(), false) < 0;
        });
        for (auto& [number, e] : pins) LLPush(clip->elements, e);
    }
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(editor->frames)) {
        if (!((*f)->flags & kFrameFlagSelected)) continue;
        TextFrameHandle copy = DuplicateTextFrame(f);
        if (!copy) {
            complete = false;
            continue;
        }
        (*copy)->style = InstallStyleInList((*f)->style, clip->styles);
        OffsetTextFrame(copy, offset.h, offset.v);
        LLPush(clip->frames, copy);
    }
    if (!complete) {
        EmptyClip(clip);
        return status::kOutOfMemory;
    }
    clip->holdsItems = clip->elements->count || clip->texts->count || clip->frames->count;
    return status::kNoErr;
}

OSStatus CutSymbolEditorSelection(SymbolEditorRecord* editor) {
    if (const OSStatus st = CopySymbolEditorSelection(editor); st != status::kNoErr) return st;
    DeleteSymbolEditorSelection(editor, false, kSymUndoCut);
    if (gSymbolClip) gSymbolClip->flags |= kSymClipCut;
#if PLEXA_ASSERTS_ON
    // What stays (the pins of an alternate drawing) is no longer selected.
    int32_t elements = 0, texts = 0, frames = 0;
    CountSymbolEditorSelection(editor, &elements, nullptr, &texts, nullptr, &frames, nullptr);
    PLEXA_ASSERT(elements + texts + frames == 0 && !editor->selectedElement && !editor->selectedFrame);
#endif
    return status::kNoErr;
}

// ---- Paste ----

namespace {

// The clip pin's numbers given, in order, to the sections that use the current symbol; its pin
// data moved into the editor's block.
void ConvertNodeDataFromClip(SymbolEditorRecord* editor, const SymbolClip* clip, ElementRecord* clipPin,
                             ElementRecord* pin) {
    NodeElement* node = AsNode(pin);
    node->pinNumbers = nullptr;
    const std::vector<LibSection*> sections = SymbolSections(editor);
    for (size_t i = 0; i < sections.size(); ++i) {
        StringSpec specs[4]{};
        (void)GetNodesPinNumberSet(AsNode(clipPin)->pinNumbers, uint64_t(i + 1), specs);
        (void)SetNodesPinNumberSet(&node->pinNumbers, KeyOf(sections[i]), specs, clip->strings, editor->stringBlock);
    }
    if (!node->pinData) node->pinData = CreateNewPinData();
    else (void)ChangePinDataStringBlock(node->pinData, clip->strings, editor->stringBlock);
}

void PasteTextElements(SymbolEditorRecord* editor, const SymbolClip* clip, ElementRecord* clipPin,
                       ElementRecord* pin, Point reference, Rect* area) {
    for (TextRecord* t : EditorListItems<TextRecord*>(clip->texts)) {
        if (clipPin) {
            if (!IsPinText(t) || OwnerPin(t) != clipPin) continue;
            TextRecord* text = CreateTextElement();
            if (!text) return;
            text->kind = t->kind;
            text->flags = t->flags;
            text->owner = reinterpret_cast<intptr_t>(pin);
            char string[kPinTextSize];
            ExtractStringSpec(t->text, clip->strings, string, sizeof string);
            text->style = (t->flags & kTextFlagThemed) && editor->defaultStyle
                              ? InstallStyleInList(editor->defaultStyle, editor->styleList)
                              : InstallStyleInList(t->style, editor->styleList);
            SetupTheText(text, editor->stringBlock, GetTextElementPosition(t), editor->window, string);
            if (t->flags & kTextFlagMacro) {
                ExtractStringSpec(t->macroText, clip->strings, string, sizeof string);
                SetTextRecordMacroString(text, editor->stringBlock, string);
            }
            text->flags = t->flags;
            OffsetTextElement(text, reference.h, reference.v);
            CalcTextBounds(editor->window, text, editor->stringBlock);
            LLAppend(editor->texts, text);
            if (!(text->flags & kTextFlagHidden) && (text->kind & 0xC000) != kTextKindPinNumber) AddEditorArea(area, text->bounds);
            CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemText, text, true);
            continue;
        }
        if (IsPinText(t) || (t->flags & kTextFlagHidden)) continue;
        TextFrameHandle f = CreateTextFrameFromTextElement(t, clip->strings, editor->styleList, true, editor->window);
        if (!f) continue;
        (*f)->flags |= kFrameFlagSelected;
        OffsetTextFrame(f, reference.h, reference.v);
        LLAppend(editor->frames, f);
        AddEditorArea(area, (*f)->bounds);
        CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemFrame, f, true);
    }
}

// Pasted pins of this editor's own clip keep their link index while it is free.
void UpdateAltNodeLinks(SymbolEditorRecord* editor, const SymbolClip* clip, const std::vector<ElementRecord*>& pasted,
                        const std::vector<ElementRecord*>& before) {
    const bool own = clip->source == kSymClipSource && clip->clipId == editor->lastClipId &&
                     editor->kind == kLibItemComponent;
    std::vector<uint16_t> taken;
    for (ElementRecord* e : before)
        if (e->kind == kElementNode) taken.push_back(AsNode(e)->serial);
    for (ElementRecord* pin : pasted) {
        NodeElement* node = AsNode(pin);
        const bool free = std::find(taken.begin(), taken.end(), node->serial) == taken.end();
        if (own && node->serial < editor->linkedPinCount && free) {
            taken.push_back(node->serial);
            continue;
        }
        node->serial = uint16_t(editor->linkedPinCount++);
        taken.push_back(node->serial);
    }
}

}  // namespace

void SetUniquePinNumbers(SymbolEditorRecord* editor, const std::vector<ElementRecord*>& pins, VXRgn* region,
                         bool skipCurrent, Rect* bounds) {
    (void)region;  // the selection is drawn from the selected items themselves
    if (pins.empty()) return;
    LibSection* const current = editor->section;
    const int16_t currentSet = editor->pinSet;
    for (LibSection* section : SymbolSections(editor)) {
        if (skipCurrent && section == current) continue;
        for (int16_t set = 0; set < 4; ++set) {
            if (!editor->pinSets[set]) continue;
            // The walk of the numbers takes the section and set as the editor's current ones.
            editor->section = section;
            editor->pinSet = set;
            const NodePinEditor context = SymbolEditorPinContext(editor);
            BitArray cache = nullptr;
            for (ElementRecord* pin : pins) {
                if (pin->kind != kElementNode) continue;
                char number[kPinTextSize];
                GetNodesPinNumber(&context, AsNode(pin)->pinNumbers, KeyOf(section), set, number);
                if (number[0] && IsPinNumberUnique(editor, set, number, pin)) continue;
                const int32_t free = GetUniquePinNumber(editor, &cache, set, pin, true);
                if (free <= 0) continue;
                std::snprintf(number, sizeof number, "%d", int(free));
                SetNodesPinNumber(&context, &AsNode(pin)->pinNumbers, KeyOf(section), set, number);
            }
            if (cache) MemFree(cache);
        }
    }
    editor->section = current;
    editor->pinSet = currentSet;
    if (skipCurrent) return;  // the numbers shown are those of the current section
    SetCtxPinText(editor, kTextKindPinNumber);
    for (TextRecord* t : EditorListItems<TextRecord*>(editor->texts)) {
        if ((t->kind & 0xC000) != kTextKindPinNumber || (t->flags & kTextFlagHidden)) continue;
        if (std::find(pins.begin(), pins.end(), OwnerPin(t)) != pins.end() && bounds) AddEditorArea(bounds, t->bounds);
    }
}

void PasteIntoSymbolEditor(SymbolEditorRecord* editor, uint16_t undoKind) {
    SymbolClip* clip = gSymbolClip;
    if (!clip || !(clip->flags & kSymClipFromEditor) || !clip->holdsItems) return;
    SetSymbolEditorTool(editor, kSymEditToolSelect);
    editor->tool = kSymEditToolSelect;
    StartSymbolEditorUndoCollection(editor, undoKind);
    const int32_t step = CalcPasteOffsetStep(editor->grid);
    if (!clip->pasteAtPosition && !((clip->flags & kSymClipCut) && !(clip->flags & kSymClipPasted))) {
        clip->reference.v = int16_t(clip->reference.v + step);
        clip->reference.h = int16_t(clip->reference.h + step);
    }
    clip->pasteAtPosition = false;
    Rect placed = clip->bounds;
    VXOffsetRect(&placed, clip->reference.h, clip->reference.v);
    Rect inside{};
    if (!VXSectRect(&placed, &kSymbolEditorSurface, &inside)) {
        const int32_t height = placed.bottom - placed.top, width = placed.right - placed.left;
        const int32_t top = (kSymbolEditorSurface.bottom - height) / 2, left = (kSymbolEditorSurface.right - width) / 2;
        clip->reference = Point{int16_t(top - clip->bounds.top), int16_t(left - clip->bounds.left)};
    }
    Point reference = clip->reference;
    SnapPointToGrid(&reference, std::max<int16_t>(editor->grid, 1));
    SetEditModified(editor, false);
    clip->flags |= kSymClipPasted;

    // Wire symbols and ports have exactly one pin.
    const bool onePin = editor->kind == kLibItemWireSymbol || editor->kind == kLibItemPort;
    bool clipHasPin = false;
    for (ElementRecord* e : EditorListItems<ElementRecord*>(clip->elements)) clipHasPin |= e->kind == kElementNode;
    Rect area{};
    ClearSymbolEditorSelection(editor);
    if (onePin && clipHasPin) {
        for (ElementRecord* e : EditorListItems<ElementRecord*>(editor->elements)) {
            if (e->kind != kElementNode) continue;
            (void)LLRemoveOrFree(editor->elements, e, nullptr, false);
            AddEditorArea(&area, e->bounds);
            CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemElement, e, false);
            break;
        }
    }
    // Frames first, in the clip's order.
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(clip->frames)) {
        TextFrameHandle copy = DuplicateTextFrame(f);
        if (!copy) continue;
        (*copy)->style = ((*copy)->flags & kFrameFlagThemed) && editor->defaultStyle
                             ? InstallStyleInList(editor->defaultStyle, editor->styleList)
                             : InstallStyleInList((*f)->style, editor->styleList);
        OffsetTextFrame(copy, reference.h, reference.v);
        LLAppend(editor->frames, copy);
        AddEditorArea(&area, (*copy)->bounds);
        CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemFrame, copy, true);
    }
    // Elements before the existing ones, back-layer ones after the others.
    const std::vector<ElementRecord*> before = EditorListItems<ElementRecord*>(editor->elements);
    ElementRecord* const firstExisting = before.empty() ? nullptr : before.front();
    ImageList* images = GetElementListImageList(editor->elements);
    std::vector<ElementRecord*> pastedPins;
    std::vector<ElementRecord*> order;
    for (ElementRecord* e : EditorListItems<ElementRecord*>(clip->elements))
        if (!(e->flags & kElementBackLayer)) order.push_back(e);
    for (ElementRecord* e : EditorListItems<ElementRecord*>(clip->elements))
        if (e->flags & kElementBackLayer) order.push_back(e);
    ElementRecord* after = nullptr;
    bool pinKept = false;
    for (ElementRecord* source : order) {
        const bool pin = source->kind == kElementNode;
        if (pin && onePin && (pinKept || !clipHasPin)) continue;
        ElementRecord* e = DuplicateElement(source, pin && !onePin, clip->images, images ? images : editor->images);
        if (!e) continue;
        if (pin && AsNode(e)->pinNumbers) {  // the clip's numbers are given out below
            MemFree(AsNode(e)->pinNumbers);
            AsNode(e)->pinNumbers = nullptr;
        }
        e->flags &= uint16_t(~(0x1u | 0x2u | 0x800u | 0x2000u));
        e->flags |= kElementSelected;
        OffsetElement(e, reference);
        if (after) LLInsert(editor->elements, after, e);
        else LLPush(editor->elements, e);
        after = e;
        AddEditorArea(&area, e->bounds);
        CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemElement, e, true);
        if (pin) {
            pinKept = true;
            if (!onePin && editor->kind == kLibItemComponent) {
                ConvertNodeDataFromClip(editor, clip, source, e);
                PasteTextElements(editor, clip, source, e, reference, &area);
            }
            pastedPins.push_back(e);
        }
    }
    (void)firstExisting;
    UpdateAltNodeLinks(editor, clip, pastedPins, before);
    if (editor->kind == kLibItemComponent) {
        SetUniquePinNumbers(editor, pastedPins, nullptr, false, &area);
        PasteTextElements(editor, clip, nullptr, nullptr, reference, &area);
    }
    // A sheet clip's wires and bus lines go at the end of the drawing.
    if (clip->wires)
        for (ElementRecord* source : EditorListItems<ElementRecord*>(clip->wires)) {
            ElementRecord* e = DuplicateElement(source, false, nullptr, nullptr);
            if (!e) continue;
            e->flags |= kElementSelected;
            OffsetElement(e, reference);
            LLAppend(editor->elements, e);
            AddEditorArea(&area, e->bounds);
            CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemElement, e, true);
        }
    if (!VXEmptyRect(&area)) {
        VXInsetRect(&area, -9, -9);
        InvalEditorView(editor, area);
        CollectUndoInvalSymbolEditorRect(editor, area);
    }
    AcceptSymbolEditorUndoCollection(editor);
    PrepSymbolEditorSelection(editor);
}

void DuplicateSymbolEditorSelection(SymbolEditorRecord* editor) {
    // The user's clip is set aside: the duplicate goes through a clip of its own.
    SymbolClip* saved = gSymbolClip;
    const uint32_t savedLastClip = editor->lastClipId;
    gSymbolClip = nullptr;
    // A failed copy duplicates nothing.
    if (CopySymbolEditorSelection(editor) == status::kNoErr) PasteIntoSymbolEditor(editor, kSymUndoDuplicate);
    KillSymbolEditorClip(true);
    gSymbolClip = saved;
    // The editor's last copy stays the user's, so that pasting it later counts as its own.
    editor->lastClipId = savedLastClip;
}

// ---- A sheet's clip ----

namespace {

// The new elements of a symbol of the sheet clip: its drawing played at its place and turned
// with it, its pins first (pin i links to pin i of the symbol).
std::vector<ElementRecord*> PlaySymbol(SheetRecord* content, SymbolRecord* symbol, SymbolClip* clip) {
    std::vector<ElementRecord*> made;
    SymbolMapEntry* entry = content->symbolMap ? GetSymbolMapEntryPtr(content->symbolMap, GetSymbolMapId(symbol)) : nullptr;
    if (!entry || !entry->definition) return made;
    LinkListHeader* played = CreateElementList(clip->images);
    if (!played) return made;
    if (SymbolDataToElements(entry->definition, entry->size, GetSymbolMapImageList(content->symbolMap),
                             symbol->position, played, nullptr, nullptr, clip->styles, clip->strings, content) ==
        status::kNoErr)
        for (ElementRecord* e : EditorListItems<ElementRecord*>(played)) {
            (void)LLRemoveOrFree(played, e, nullptr, false);  // unlinked only: it goes to the clip
            TransformElement(e, symbol->position, int32_t(symbol->flags & kSymbolFlagTransform));
            made.push_back(e);
        }
    DestroyElementList(played);
    return made;
}

// A sheet symbol: its box, and an outline and a pin for every port (named and typed as the port).
std::vector<ElementRecord*> SheetSymbolElements(SheetRecord* content, SymbolRecord* symbol, SymbolClip* clip) {
    std::vector<ElementRecord*> made;
    Rect box{};
    GetSheetSymbolBounds(symbol, &box, 0);
    VXOffsetRect(&box, symbol->position.h, symbol->position.v);
    if (ElementRecord* e = BuildCommonElement(kElementRect, Point{box.top, box.left},
                                              Point{int16_t(box.bottom - 1), int16_t(box.right - 1)}, 1, 0, 0, false,
                                              false, 0, false, 0, false))
        made.push_back(e);
    const int32_t ports = CountSheetSymbolPorts(symbol);
    for (int32_t port = 0; port < ports; ++port) {
        Point outline[7];
        const int32_t count = BuildSheetSymbolPortPoly(symbol, port, outline);
        if (count > 0)
            if (ElementRecord* e = BuildPolyElement(int16_t(count), nullptr, 1, false, false, 0, false, 0, false)) {
                std::memcpy(PolyPoints(e), outline, sizeof(Point) * size_t(count));
                CalcElementBounds(e);
                made.push_back(e);
            }
        Point tail[2];
        BuildSheetSymbolPortPinTail(symbol, port, tail);
        ElementRecord* pin = BuildNodeElement(tail[1], tail[0], 1, 0, false, uint16_t(port), false, 0, false, 0);
        if (!pin) continue;
        Handle data = CreateNewPinData();
        if (data) {
            char name[kPinTextSize] = {};
            GetSheetSymbolPortName(symbol, port, content->stringBlock, name, sizeof name);
            SetPinDataName(data, clip->strings, name);
            SetPinDataType(data, uint8_t(GetSheetSymbolPortType(symbol, port)), false);
        }
        AsNode(pin)->pinData = data;
        made.push_back(pin);
    }
    return made;
}

// The pins of a component's symbol take the numbers and pin data the component gives them.
void NumberComponentPins(SheetRecord* content, SymbolRecord* symbol, const std::vector<ElementRecord*>& made,
                         SymbolClip* clip) {
    char designator[kAnnotationTextSize] = {};
    const int32_t slot = std::max(GetSymbolAnnotation(content, symbol->serial, designator), 0);
    const int32_t pinSet = GetSymbolsPinSet(symbol);
    int32_t index = 0;
    for (ElementRecord* e : made) {
        if (e->kind != kElementNode) break;  // the pins lead
        NodeElement* node = AsNode(e);
        node->serial = uint16_t(index);
        char number[kPinTextSize] = {};
        uint32_t dataId = 0xFFFFFFFF;
        const StringSpec spec = GetCompPinInfo(symbol->component, content->stringBlock, pinSet, uint16_t(slot), index,
                                               number, &dataId);
        const StringSpec specs[4] = {spec, spec, spec, spec};
        if (!SetNodesPinNumberSet(&node->pinNumbers, 1, specs, clip->strings, clip->strings)) break;  // out of memory
        if (dataId != 0xFFFFFFFF && content->pinDataTable) {
            if (node->pinData) DestroyPinData(node->pinData);
            node->pinData = GetPinDataCopy(content->pinDataTable, int32_t(dataId));
        }
        ++index;
    }
}

void SortClipPinsByNumber(SymbolClip* clip) {
    std::vector<std::pair<std::string, ElementRecord*>> pins;
    for (ElementRecord* e : EditorListItems<ElementRecord*>(clip->elements)) {
        if (e->kind != kElementNode) continue;
        StringSpec specs[4]{};
        (void)GetNodesPinNumberSet(AsNode(e)->pinNumbers, 1, specs);  // empty specs without numbers
        char number[kPinTextSize];
        ExtractStringSpec(specs[0], clip->strings, number, sizeof number);
        pins.emplace_back(number, e);
        (void)LLRemoveOrFree(clip->elements, e, nullptr, false);  // unlinked only: put back in order below
    }
    std::stable_sort(pins.begin(), pins.end(), [](const auto& a, const auto& b) {
        return StrCmpAlphaNumeric(a.first.c_str(), b.first.c_str(), false) < 0;
    });
    for (auto& [number, e] : pins) LLPush(clip->elements, e);
}

// A wire list as lines (two corners) and polygons (more).
void WiresAsElements(WireList wires, int16_t width, SymbolClip* clip) {
    for (auto wire = static_cast<WireHandle>(LLFirst(wires)); wire; wire = static_cast<WireHandle>(LLGetNext(wires, wire))) {
        const int32_t corners = (*wire)->cornerCount;
        const Point* points = WireCorners(wire);
        ElementRecord* e = nullptr;
        if (corners == 2) {
            if (points[0].h == points[1].h && points[0].v == points[1].v) continue;
            e = BuildCommonElement(kElementLine, points[0], points[1], width, 0, 0, false, false, 0, false, 0, false);
        } else if (corners > 2) {
            e = BuildPolyElement(int16_t(corners), nullptr, width, false, false, 0, false, 0, false);
            if (e) {
                std::memcpy(PolyPoints(e), WireCorners(wire), sizeof(Point) * size_t(corners));
                CalcElementBounds(e);
            }
        }
        if (e) LLAppend(clip->wires, e);
    }
}

}  // namespace

bool SymbolClipIsFromSheetClip(uint32_t clipId) {
    return gSymbolClip && gSymbolClip->source == kSheetClipSource && gSymbolClip->clipId == clipId &&
           gSymbolClip->holdsItems;
}

void ConvertSheetClipToSymbolClip(SheetRecord* content, const SheetClipInfo& info) {
    SymbolClip* clip = TheClip();
    EmptyClip(clip);
    if (!content) return;
    if (!clip->styles) clip->styles = CreateTextStyleList(nullptr);
    clip->clipId = info.clipId;
    clip->source = kSheetClipSource;
    clip->resolution = info.resolution;
    clip->flags = uint16_t(kSymClipFromEditor | (info.cut ? kSymClipCut : 0) | (info.pasted ? kSymClipPasted : 0));
    clip->pasteAtPosition = false;
    clip->reference = info.reference;
    clip->bounds = info.bounds;
    clip->strings = CloneHandle(nullptr, content->stringBlock);
    clip->images = CreateLocalImageList();
    clip->elements = CreateElementList(clip->images);
    clip->wires = CreateElementList(nullptr);
    clip->texts = CreateTextList();
    clip->frames = CreateTextFrameList();
    if (!clip->strings || !clip->images || !clip->elements || !clip->wires || !clip->texts || !clip->frames) {
        EmptyClip(clip);
        return;
    }
    // Graphic elements of the sheet, in its order.
    ImageList* sheetImages = GetElementListImageList(content->elementList);
    for (ElementRecord* e : EditorListItems<ElementRecord*>(content->elementList))
        if (ElementRecord* copy = DuplicateElement(e, false, sheetImages, clip->images)) LLAppend(clip->elements, copy);
    // Symbols as elements and pins; the pins of each, by serial number, for its pin texts.
    std::map<uint32_t, std::vector<ElementRecord*>> pinsOf;
    int32_t symbols = 0;
    for (SymbolRecord* symbol : EditorListItems<SymbolRecord*>(content->symbolList)) {
        ++symbols;
        const bool sheetSymbol = (symbol->flags & kSymbolFlagSheet) != 0;
        std::vector<ElementRecord*> made =
            sheetSymbol ? SheetSymbolElements(content, symbol, clip) : PlaySymbol(content, symbol, clip);
        if (!sheetSymbol && symbol->component) NumberComponentPins(content, symbol, made, clip);
        for (ElementRecord* e : made) {
            if (e->kind == kElementNode && (sheetSymbol || symbol->component)) pinsOf[symbol->serial].push_back(e);
            LLAppend(clip->elements, e);
        }
    }
    // Texts: a pin text goes with its pin; the others stay plain texts.
    for (TextRecord* t : EditorListItems<TextRecord*>(content->textList)) {
        ElementRecord* owner = nullptr;
        if (IsPinText(t)) {
            auto found = pinsOf.find(uint32_t(t->owner));
            if (found == pinsOf.end()) continue;
            for (ElementRecord* pin : found->second)
                if (AsNode(pin)->serial == (t->kind & kTextKindNodeMask)) owner = pin;
            if (!owner) continue;
        }
        TextRecord* copy = DuplicateText2(t);
        if (!copy) continue;
        copy->owner = reinterpret_cast<intptr_t>(owner);
        copy->flags &= uint16_t(~kTextFlagThemed);
        copy->style = InstallStyleInList(t->style, clip->styles);
        LLAppend(clip->texts, copy);
    }
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(content->textFrameList)) {
        TextFrameHandle copy = DuplicateTextFrame(f);
        if (!copy) continue;
        (*copy)->style = InstallStyleInList((*f)->style, clip->styles);
        (*copy)->owner = 0;
        LLAppend(clip->frames, copy);
    }
    if (symbols == 1) SortClipPinsByNumber(clip);
    for (auto signal = static_cast<SignalHandle>(LLFirst(content->signalList)); signal;
         signal = static_cast<SignalHandle>(LLGetNext(content->signalList, signal)))
        WiresAsElements((*signal)->wires, 1, clip);
    for (auto buss = static_cast<BussHandle>(LLFirst(content->bussList)); buss;
         buss = static_cast<BussHandle>(LLGetNext(content->bussList, buss)))
        WiresAsElements((*buss)->wires, 2, clip);
    clip->holdsItems = clip->elements->count || clip->texts->count || clip->frames->count || clip->wires->count;
}

}  // namespace plexa
