// Symbol texts; see symboltexts.h.
#include "model/symboltexts.h"

#include <algorithm>
#include <initializer_list>

#include "foundation/chunky.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/textstyle.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"

namespace plexa {

const SymbolTextOffsets kDefaultSymbolTextOffsets = {
    {{-1, 4}, {-1, 2}, {-1, -2}, {3, 1}},
    {{4, -3}, {4, -4}, {4, 4}, {-1, -4}},
    {{4, -16}, {4, 19}},
};

namespace {

SymbolTextHooks gSymbolTextHooks;

constexpr uint16_t kPinTextKinds = 0xC000;

int16_t Clamp16(int32_t v) { return int16_t(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

// An empty area takes the bounds; a non-empty one grows to hold them.
void AddToArea(Rect* area, const Rect& bounds) {
    if (!area) return;
    if (VXEmptyRect(area))
        *area = bounds;
    else
        VXUnionRect(area, &bounds, area);
}

// Whether the string, trimmed of blanks, is one of the names (ignoring case).
bool TrimmedIs(char* string, std::initializer_list<const char*> names) {
    TrimSpacesC(string);
    for (const char* name : names)
        if (StrCINCmp(string, name, 33) == 0) return true;
    return false;
}

// Whether the frame's trimmed source text is one of the names.
bool FrameTextIs(TextFrameHandle frame, std::initializer_list<const char*> names) {
    if (!frame || !*frame || (*frame)->textLength > 15) return false;
    char text[33];
    GetTextFrameTextAsString(frame, false, sizeof text, text);
    return TrimmedIs(text, names);
}

bool TextIs(const TextRecord* text, StringBlock block, std::initializer_list<const char*> names) {
    if (!text || text->kind != kTextKindSymbolAttribute) return false;
    char string[kTextStringSize];
    GetTextRecordString(text, block, string, sizeof string);
    return TrimmedIs(string, names);
}

StyleMetrics MetricsOf(const TextRecord* text) {
    StyleMetrics metrics{};
    GetStyleMetrics(text->style, &metrics);
    return metrics;
}

bool IsDesignatorKind(uint16_t kind) {
    return kind == kTextKindCompDesignator || kind == kTextKindDesignator;
}

// Moves a text that CreateDrawingText put at the head of the sheet's list to its tail.
void MoveToTail(LinkListHeader* list, TextRecord* text) {
    if (LLRemoveOrFree(list, text, nullptr, false)) LLAppend(list, text);
}

TextRecord* BuildSymbolText(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* text,
                            bool ownMetricsOnly, bool name) {
    if (!sheet || !symbol) return nullptr;
    char string[kSymbolTextSize];
    string[0] = 0;
    if (name)
        GetSymbolName(symbol, sheet->stringBlock, string);
    else
        GetSymbolsDisplayDesignator(sheet, symbol, string);
    const uint16_t kind = name ? kTextKindSymbolName : SymbolDesignatorKind(symbol);
    if (text) {
        text->kind = kind;
        SetTextRecordString(text, sheet->stringBlock, string);
        CalcTextBounds(sheet->window, text, sheet->stringBlock);
        text->owner = TextOwnerSerial(symbol->serial);
        return text;
    }
    text = CreateDrawingText(sheet, kind, 0, Point{0, 0}, string);
    if (!text) return nullptr;
    MoveToTail(sheet->textList, text);
    text->owner = TextOwnerSerial(symbol->serial);
    AutoPositionSymbolText(sheet, symbol, text, ownMetricsOnly);
    return text;
}

}  // namespace

// ---- Telling name and designator texts ----

bool IsSymbolNameTextFrame(TextFrameHandle frame) {
    return FrameTextIs(frame, {"{Name}", "{CompName}"});
}

bool IsRefDesTextFrame(TextFrameHandle frame) { return FrameTextIs(frame, {"{RefDes}"}); }

bool IsSymbolNameText(const TextRecord* text, StringBlock block) {
    return TextIs(text, block, {"{Name}", "{CompName}"});
}

bool IsRefDesText(const TextRecord* text, StringBlock block) {
    return TextIs(text, block, {"{RefDes}"});
}

// ---- Preferences and hooks ----

void GetDefaultPortLabelPositions(Point out[2]) {
    out[0] = kDefaultSymbolTextOffsets.portLabel[0];
    out[1] = kDefaultSymbolTextOffsets.portLabel[1];
}

void SetSymbolTextHooks(const SymbolTextHooks& hooks) { gSymbolTextHooks = hooks; }
const SymbolTextHooks& GetSymbolTextHooks() { return gSymbolTextHooks; }

const SymbolTextOffsets& CurrentSymbolTextOffsets() {
    const SymbolTextOffsets* prefs =
        gSymbolTextHooks.preferences ? gSymbolTextHooks.preferences() : nullptr;
    return prefs ? *prefs : kDefaultSymbolTextOffsets;
}

// ---- Symbol texts ----

TextRecord* RetrieveSymbolText(SheetRecord* sheet, const SymbolRecord* symbol, uint16_t kind) {
    if (!sheet || !symbol) return nullptr;
    const int64_t owner = TextOwnerSerial(symbol->serial);
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text; text = text->link)
        if (text->kind == kind && text->owner == owner) return text;
    return nullptr;
}

uint16_t SymbolDesignatorKind(const SymbolRecord* symbol) {
    return symbol && (symbol->component || (symbol->flags & kSymbolFlagSheet))
               ? kTextKindCompDesignator
               : kTextKindDesignator;
}

TextRecord* BuildSymbolNameText(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* text,
                                bool ownMetricsOnly) {
    return BuildSymbolText(sheet, symbol, text, ownMetricsOnly, true);
}

TextRecord* BuildSymbolReferenceText(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* text,
                                     bool ownMetricsOnly) {
    return BuildSymbolText(sheet, symbol, text, ownMetricsOnly, false);
}

TextRecord* BuildNetSymbolText(SheetRecord* sheet, SymbolRecord* symbol) {
    if (!sheet || !symbol) return nullptr;
    char name[kSymbolTextSize];
    name[0] = 0;
    if (symbol->flags & kSymbolFlagModulePort) {
        GetPortSymbolName(sheet, symbol, nullptr, name, sizeof name);
    } else {
        SignalHandle signal = GetConnectedSignal(sheet->signalList, symbol, 0, nullptr, nullptr);
        if (!signal) return nullptr;
        GetSignalName(signal, sheet->stringBlock, name, sizeof name);
    }
    TextRecord* text = CreateDrawingText(sheet, kTextKindNetSymbol, 0, Point{0, 0}, name);
    if (!text) return nullptr;
    text->owner = TextOwnerSerial(symbol->serial);
    AutoPositionNetSymbolText(sheet, symbol, text, nullptr);
    return text;
}

bool SetSymbolTextVisible(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* text,
                          uint16_t kind, bool show, Rect* area, TextRecord** outText) {
    if (outText) *outText = nullptr;
    if (!sheet || !symbol) return false;
    if (kind != kTextKindSymbolAttribute) text = RetrieveSymbolText(sheet, symbol, kind);
    bool changed = false;
    if (text) {
        changed = SetTextVisibility(text, false, show) != show;
        if (changed) AddToArea(area, text->bounds);
    } else if (show) {
        switch (kind) {
            case kTextKindCompDesignator:
            case kTextKindDesignator:
                text = BuildSymbolReferenceText(sheet, symbol, nullptr, false);
                break;
            case kTextKindSymbolName: text = BuildSymbolNameText(sheet, symbol, nullptr, false); break;
            case kTextKindNetSymbol: text = BuildNetSymbolText(sheet, symbol); break;
            case kTextKindSymbolAttribute:
                text = CreateDrawingText(sheet, kTextKindSymbolAttribute, 0, Point{0, 0}, "");
                if (text) text->owner = TextOwnerSerial(symbol->serial);
                break;
            default: break;
        }
        changed = text != nullptr;
        if (text && kind != kTextKindSymbolAttribute) AddToArea(area, text->bounds);
    }
    if (outText) *outText = text;
    return changed;
}

void CreateSymbolTextItems(SheetRecord* sheet, SymbolRecord* symbol, uint32_t flags,
                           TextRecord* nameText, TextRecord* refText, Rect* area) {
    if (!sheet || !symbol) return;
    struct Item {
        TextRecord* given;
        uint32_t flag;
        bool name;
        bool ownMetricsOnly;
    };
    const Item items[] = {
        {nameText, kSymbolTextShowName, true, (flags & kSymbolTextShowDesignator) && !refText},
        {refText, kSymbolTextShowDesignator, false, false},
    };
    for (const Item& item : items) {
        if (!item.given && !(flags & item.flag)) continue;
        TextRecord* text = BuildSymbolText(sheet, symbol, item.given, item.ownMetricsOnly, item.name);
        if (!text) continue;
        if (flags & item.flag)
            AddToArea(area, text->bounds);
        else
            text->flags |= kTextFlagHidden;
    }
}

// ---- Placement ----

void AutoPositionSymbolText(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* text,
                            bool ownMetricsOnly) {
    if (!sheet || !symbol || !text) return;
    uint32_t sides = 0;  // bit n: a pin of orientation n
    const int32_t nodes = CountSymbolNodes(sheet, symbol);
    for (int32_t n = 0; n < nodes; ++n) {
        const int32_t orientation = GetNodeInstanceOrient(sheet, symbol, n);
        if (orientation >= 1 && orientation <= 4) sides |= 1u << orientation;
    }
    Rect r{};
    GetSymbolInstanceBounds(sheet, symbol, 0, &r);
    const StyleMetrics own = MetricsOf(text);
    if (text->kind == kTextKindSymbolAttribute) {
        SetTextElementPosition(text, Point{Clamp16(r.bottom + own.ascent), Clamp16(r.right + 6)});
        return;
    }
    if (text->flags & kTextFlagRightAligned) {
        text->flags &= uint16_t(~kTextFlagRightAligned);
        CalcTextBounds(sheet->window, text, sheet->stringBlock);
    }
    const bool designator = IsDesignatorKind(text->kind);
    StyleMetrics d = own, n = own;
    if (!ownMetricsOnly) {
        const uint16_t partnerKind = designator ? kTextKindSymbolName : SymbolDesignatorKind(symbol);
        const TextRecord* partner = RetrieveSymbolText(sheet, symbol, partnerKind);
        StyleMetrics metrics{};
        if (partner && !(partner->flags & kTextFlagHidden)) metrics = MetricsOf(partner);
        (designator ? n : d) = metrics;
    }
    const int32_t stack = n.leading + d.descent + n.ascent;
    constexpr uint32_t kRight = 1u << 1, kTop = 1u << 2, kBottom = 1u << 4;
    int32_t h = r.left, v;
    if ((sides & kTop) && (sides & kBottom)) {
        h = r.right + 6;
        if (!(sides & kRight))
            v = r.top + d.ascent + d.descent / 2 + (designator ? 0 : stack);
        else
            v = r.top - n.descent - (designator ? stack : 0);
    } else if (sides == kTop) {
        v = r.bottom + d.ascent + d.descent / 2 + (designator ? 0 : stack);
    } else {
        v = r.top - n.descent - (designator ? stack : 0);
    }
    SetTextElementPosition(text, Point{Clamp16(v), Clamp16(h)});
}

void AutoPositionNetSymbolText(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* text,
                               Rect* area) {
    if (!sheet || !symbol || !text) return;
    AddToArea(area, text->bounds);
    text->flags &= uint16_t(~(kTextFlagRotation | kTextFlagRightAligned));
    const int32_t orientation = GetNodeInstanceOrient(sheet, symbol, 0);
    Rect r{};
    GetSymbolInstanceBounds(sheet, symbol, 1, &r);
    const int32_t sv = symbol->position.v, sh = symbol->position.h;
    const int32_t ascent = MetricsOf(text).ascent;
    int32_t v = text->position.v, h = text->position.h;
    if (orientation == 1 || orientation == 3) {
        v = sv + ascent / 2;
        if (orientation == 1) {
            text->flags |= kTextFlagRightAligned;
            h = sh - (r.right - r.left) - 1;
        } else {
            h = sh + (r.right - r.left) + 2;
        }
    } else if (orientation == 2 || orientation == 4) {
        h = sh - (text->bounds.right - text->bounds.left - 1) / 2;
        v = orientation == 2 ? sv + (r.bottom - r.top) + ascent + 1 : sv - (r.bottom - r.top) - 2;
    }
    text->position = Point{Clamp16(v), Clamp16(h)};
    CalcTextBounds(sheet->window, text, sheet->stringBlock);
    AddToArea(area, text->bounds);
}

VXChunkyBlock CollectPinsText(LinkListHeader* textList, uint32_t serial, int32_t node) {
    VXChunkyBlock block = VXCreateChunkyBlock(gGenPool, sizeof(PinTextCollectionItem), 16, 0);
    if (!block) return nullptr;
    const int64_t owner = TextOwnerSerial(serial);
    for (auto* text = static_cast<TextRecord*>(LLFirst(textList)); text; text = text->link) {
        if (!(text->kind & kPinTextKinds) || text->owner != owner) continue;
        if (node >= 0 && (text->kind & kTextKindNodeMask) != node) continue;
        const PinTextCollectionItem item{text};
        if (VXChunkyAdd(block, &item) < 0) {
            VXDestroyChunkyBlock(block);
            return nullptr;
        }
    }
    return block;
}

void DestroyPinTextCollection(VXChunkyBlock collection) {
    if (collection) VXDestroyChunkyBlock(collection);
}

void AutoPositionPinText(TextRecord* text, StringBlock block, Point tailPoint,
                         int32_t orientation, VXChunkyBlock collection,
                         VXWindowRecordTag* window) {
    if (!text) return;
    if (orientation < 1 || orientation > 4) orientation = 1;
    text->flags &= uint16_t(~(kTextFlagRotation | kTextFlagRightAligned));
    const bool name = (text->kind & kPinTextKinds) == kTextKindPinName;
    const bool turned = orientation == 2 || orientation == 4;
    // Names read toward the symbol on the right and bottom sides, numbers on the top and left.
    const bool rightAligned = (orientation == 1 || orientation == 4) ? name : !name;
    if (turned) text->flags |= 1;
    if (rightAligned) text->flags |= kTextFlagRightAligned;
    CalcTextBounds(window, text, block);
    const SymbolTextOffsets& offsets = CurrentSymbolTextOffsets();
    const Point offset = (name ? offsets.pinName : offsets.pinNumber)[orientation - 1];
    SetTextElementPosition(text, Point{Clamp16(tailPoint.v + offset.v),
                                       Clamp16(tailPoint.h + offset.h)});
    const uint32_t count = VXChunkyCount(collection);
    // Every move takes the text past one other text for good, so count moves always suffice.
    for (uint32_t moves = 0; moves <= count;) {
        bool moved = false;
        for (uint32_t i = 0; i < count && !moved; ++i) {
            auto* item = VXChunkyItemAs<PinTextCollectionItem>(collection, i);
            const TextRecord* other = item ? item->text : nullptr;
            if (!other || other == text) continue;
            Rect overlap;
            if (!VXSectRect(&other->bounds, &text->bounds, &overlap)) continue;
            const Rect& o = other->bounds;
            const Rect& p = text->bounds;
            switch (orientation) {
                case 1: OffsetTextElement(text, Clamp16(o.right - p.left + 2), 0); break;
                case 2: OffsetTextElement(text, 0, Clamp16(o.top - p.bottom - 2)); break;
                case 3: OffsetTextElement(text, Clamp16(o.left - p.right - 2), 0); break;
                default: OffsetTextElement(text, 0, Clamp16(o.bottom - p.top + 2)); break;
            }
            moved = true;
        }
        if (!moved) break;
        ++moves;
    }
}

void AutoPositionSheetPortText(TextRecord* text, SheetRecord* sheet, SymbolRecord* sheetSymbol) {
    if (!text || !sheet || !sheetSymbol || !gSymbolTextHooks.getSheetSymbolPortPos) return;
    const uint16_t former = text->flags;
    text->flags &= uint16_t(~(kTextFlagRotation | kTextFlagRightAligned));
    Point port{0, 0};
    int32_t side = 3;
    gSymbolTextHooks.getSheetSymbolPortPos(sheetSymbol, text->kind & kTextKindNodeMask, &port,
                                           &side);
    if (side == 1) text->flags |= kTextFlagRightAligned;
    const Point offset = CurrentSymbolTextOffsets().portLabel[side == 1 ? 0 : 1];
    SetTextElementPosition(text, Point{Clamp16(port.v + offset.v), Clamp16(port.h + offset.h)});
    // The bounds follow the turn and the alignment just cleared or set.
    if ((former ^ text->flags) & (kTextFlagRotation | kTextFlagRightAligned))
        CalcTextBounds(sheet->window, text, sheet->stringBlock);
    const uint32_t transform = sheetSymbol->flags & kSymbolFlagTransform;
    for (uint32_t turn = 0; turn < (transform & 3); ++turn)
        TransformTextElement(text, sheet->window, sheet->stringBlock, Point{0, 0}, 1);
    if (transform & 4)
        TransformTextElement(text, sheet->window, sheet->stringBlock, Point{0, 0}, 4);
    OffsetTextElement(text, sheetSymbol->position.h, sheetSymbol->position.v);
}

}  // namespace plexa
