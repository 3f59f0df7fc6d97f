// The canonical text dump of a sheet; see sheetdump.h.
#include "model/sheetdump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "graphics/textstyle.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"

namespace plexa {

namespace {

// The pieces one after another (strings, C strings, characters and numbers).
void Append(std::string& out, const std::string& piece) { out.append(piece); }
void Append(std::string& out, const char* piece) { out.append(piece); }
void Append(std::string& out, char piece) { out.push_back(piece); }
template <class Number, class = std::enable_if_t<std::is_arithmetic_v<Number>>>
void Append(std::string& out, Number piece) {
    out.append(std::to_string(piece));
}
template <class... Pieces>
std::string Cat(const Pieces&... pieces) {
    std::string out;
    (Append(out, pieces), ...);
    return out;
}

// Ids of the items of one list by their place in it, 1-based.
class ListIds {
public:
    ListIds(LinkListHeader* list, char prefix) : prefix_(prefix) {
        int32_t n = 0;
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) ids_[item] = ++n;
    }
    // "S3", or "S?" for an item that is not in the list.
    std::string Of(const void* item) const {
        auto found = ids_.find(item);
        return found == ids_.end() ? Cat(prefix_, '?') : Cat(prefix_, found->second);
    }

private:
    char prefix_;
    std::unordered_map<const void*, int32_t> ids_;
};

std::string Hex(uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
    return buffer;
}
// " flags 0x..." or nothing for zero.
std::string Flags(uint32_t value, int digits) {
    return value ? Cat(" flags ", Hex(value, digits)) : std::string();
}
std::string Pt(Point p) { return Cat('(', p.h, ',', p.v, ')'); }
std::string Bounds(const Rect& r) {
    if (VXEmptyRect(&r)) return "empty";
    return Cat(Pt(Point{r.top, r.left}), '-', Pt(Point{r.bottom, r.right}));
}
std::string Quote(const char* text) { return Cat('"', text, '"'); }

std::string End(uint16_t word, const char* terminal) {
    if (IsWireEndTerminal(word)) return Cat(terminal, ' ', word);
    if (IsWireEndJunction(word)) return "junction";
    if (IsWireEndBreakOut(word)) return Cat("breakout ", word & kWireEndIndexMask);
    if (word == kWireEndFree) return "free";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "free:%04x", word);
    return buffer;
}

class Dumper {
public:
    explicit Dumper(SheetRecord* sheet)
        : sheet_(sheet),
          components_(sheet->componentList, 'C'),
          signals_(sheet->signalList, 'S'),
          busses_(sheet->bussList, 'B'),
          texts_(sheet->textList, 'T') {}

    std::string Run(uint32_t sections) {
        if (sections & kDumpSheet) Sheet();
        if (sections & kDumpComponents) Components();
        if (sections & kDumpSymbols) Symbols();
        if (sections & kDumpAnnotation) Annotation();
        if (sections & kDumpSignals) Signals();
        if (sections & kDumpBusses) {
            Busses();
            BreakOuts();
        }
        if (sections & kDumpTexts) Texts();
        if (sections & kDumpFrames) Frames();
        if (sections & kDumpElements) Elements();
        return out_;
    }

private:
    void Line(int32_t indent, const std::string& text) {
        out_.append(size_t(indent) * 2, ' ');
        out_.append(text);
        out_.push_back('\n');
    }

    std::string Quoted(StringSpec spec) const {
        char buffer[kStringSpecBufferSize];
        ExtractStringSpec(spec, sheet_->stringBlock, buffer, sizeof buffer);
        return Quote(buffer);
    }

    void Wires(WireList list, const char* terminal, std::unordered_map<const void*, int32_t>* ids) {
        int32_t n = 0;
        for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
            (*ids)[w] = ++n;
            std::string line = Cat('W', n, ' ', End((*w)->end0, terminal), " - ",
                                   End((*w)->end1, terminal), Flags((*w)->flags, 4), ':');
            for (int32_t i = 0; i < (*w)->cornerCount; ++i) line.append(Cat(' ', Pt(WireCorners(w)[i])));
            Line(2, line);
        }
    }

    // The texts of one kind and owner in the order of the text list; the list is walked once for
    // all owners.
    const std::vector<TextRecord*>& TextsOf(uint16_t kind, int64_t owner) {
        if (!textsByOwner_) {
            textsByOwner_.emplace();
            LinkListHeader* list = sheet_->textList;
            for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
                auto* text = static_cast<TextRecord*>(item);
                (*textsByOwner_)[{text->kind, text->owner}].push_back(text);
            }
        }
        static const std::vector<TextRecord*> kNone;
        auto found = textsByOwner_->find({kind, owner});
        return found == textsByOwner_->end() ? kNone : found->second;
    }

    void Labels(uint16_t kind, int64_t owner, const std::unordered_map<const void*, int32_t>& wires) {
        for (TextRecord* text : TextsOf(kind, owner)) {
            std::string line = Cat("label ", texts_.Of(text), ' ', Quoted(text->text));
            int32_t segment = -1;
            if (WireHandle w = GetWireFromWireLabel(text, &segment)) {
                auto found = wires.find(w);
                line.append(found == wires.end() ? std::string(" on W?")
                                                 : Cat(" on W", found->second));
                line.append(Cat(" segment ", segment));
            } else {
                line.append(" on no wire");
            }
            Line(2, line);
        }
    }

    void Sheet() {
        const SheetStoredSettings& st = sheet_->stored;
        const int length = std::min<int>(st.signalPrefix[0], sizeof st.signalPrefix - 1);
        const std::string prefix(reinterpret_cast<const char*>(st.signalPrefix + 1), size_t(length));
        Line(0, Cat("sheet page ", int32_t(st.sizeCode), st.orientation ? " portrait " : " landscape ",
                    Bounds(sheet_->sheetBounds), " serial ", st.nextSerial, Flags(st.flags, 8),
                    " prefix ", Quote(prefix.c_str()), " digits ", int32_t(st.signalDigits)));
        for (int32_t i = 0; i < st.attributeCount; ++i) {
            char name[kAttributeTextSize], value[kAttributeTextSize];
            uint16_t flags = 0;
            GetIndexedAttribute(sheet_->stringBlock, sheet_->attributes, 0, i, name, value, &flags,
                                nullptr);
            Line(1, Cat("attribute ", Quote(name), " = ", Quote(value), Flags(flags, 4)));
        }
    }

    // One component of the component list.
    std::string ComponentLine(ComponentRecord* c) const {
        return Cat(components_.Of(c), " prefix ", Quoted(c->refPrefix), " symbols ",
                   int32_t(c->symbolCount), " sections ", int32_t(c->sectionCount), " packages ",
                   int32_t(c->packageCount), " pin sets ", int32_t(c->pinSetCount), " names ",
                   int32_t(c->nameCount));
    }

    // What a component holds beyond its counts: its names, the symbols' map ids and pins, its
    // sections, packages and hidden pins; parts that hold nothing are left out.
    void ComponentParts(ComponentRecord* c) {
        for (int32_t i = 0; i < c->nameCount; ++i)
            if (CompNames(c)[i]) Line(2, Cat("name ", i, ' ', Quoted(CompNames(c)[i])));
        for (int32_t i = 0; i < c->symbolCount; ++i) {
            const CompSymbolEntry& symbol = CompSymbols(c)[i];
            const int32_t pins = CountCompSymbolPins(c, 0, uint16_t(i));
            if (symbol.mapId == 0 && symbol.secondMapId == 0 && pins == 0) continue;
            Line(2, Cat("symbol ", i, ": map ", symbol.mapId, " second map ", symbol.secondMapId,
                        " pins ", pins));
        }
        for (int32_t i = 0; i < c->sectionCount; ++i) {
            const ComponentSection* section = GetCompSection(c, i);
            if (!section) continue;
            std::string line = Cat("section ", i, ": symbol ", section->symbolIndex, " suffix ",
                                   Quoted(section->suffix), " pins");
            for (int32_t pin = 0; pin < section->pinCount; ++pin) {
                line.push_back(' ');
                for (int32_t set = 0; set < CompSectionPinSets(section); ++set) {
                    char number[kCompTextSize];
                    GetCompSectionPinNumber(section, sheet_->stringBlock, set, pin, number);
                    line.append(Cat(set ? "/" : "", number[0] ? number : "-"));
                }
            }
            Line(2, line);
        }
        for (int32_t i = 0; i < c->packageCount; ++i) {
            const CompPackage& package = CompPackages(c)[i];
            if (!package.name && !package.footprint) continue;
            Line(2, Cat("package ", i, ' ', Quoted(package.name), " footprint ",
                        Quoted(package.footprint), " pin set ", int32_t(package.pinSet)));
        }
        for (int32_t set = 0; set < c->pinSetCount; ++set) {
            const int32_t count = CountCompSymbolPins(c, set, kCompHiddenPins);
            if (count == 0) continue;
            std::string line = Cat("hidden pins of set ", set, ':');
            for (int32_t pin = 0; pin < count; ++pin) {
                char number[kCompTextSize];
                uint32_t id = kCompNoPinData;
                GetCompHiddenPinInfo(c, sheet_->stringBlock, set, pin, number, &id);
                line.append(Cat(' ', Quote(number), " data ", int32_t(id)));
            }
            Line(2, line);
        }
    }

    void Components() {
        LinkListHeader* list = sheet_->componentList;
        if (!LLFirst(list)) return;
        Line(0, Cat("components ", list->count));
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto* c = static_cast<ComponentRecord*>(item);
            Line(1, ComponentLine(c));
            ComponentParts(c);
        }
    }

    // One placed symbol, the n-th of the symbol list: its placement, its map ids, what its kind
    // data holds, and the designator and slot it shows in the sheet's context.
    std::string SymbolLine(int32_t n, SymbolRecord* s) {
        std::string line = Cat('#', n, " serial ", s->serial, " at ", Pt(s->position));
        if (const uint32_t transform = s->flags & kSymbolFlagTransform)
            line.append(Cat(" transform ", transform));
        line.append(Cat(Flags(s->flags & ~kSymbolFlagTransform, 8), " map ", s->mapId));
        if (s->secondMapId != -1) line.append(Cat(" second map ", s->secondMapId));
        if (s->libraryName != kNoLibraryName && s->libraryName != 0)
            line.append(Cat(" library ", Quoted(s->libraryName)));
        char text[kSymbolTextSize];
        if (s->component) {
            line.append(Cat(" component ", components_.Of(s->component), " package ",
                            int32_t(s->kind.comp.package), " symbol ", int32_t(s->kind.comp.symbol),
                            " name ", int32_t(s->kind.comp.nameIndex)));
        } else if (s->flags & kSymbolFlagPort) {
            if (s->kind.spec) line.append(Cat(" port name ", Quoted(s->kind.spec)));
        } else if (GetSymbolRefPrefix(s, sheet_->stringBlock, text) && text[0]) {
            line.append(Cat(" prefix ", Quote(text)));
        }
        if (s->attributeCount) line.append(Cat(" attributes ", s->attributeCount));
        if (s->flags & kSymbolFlagPort) return line;
        GetSymbolsDisplayDesignator(sheet_, s, text);
        if (s->component || (s->flags & kSymbolFlagSheet)) {
            line.append(Cat(" designator ", Quote(text), " slot ", GetSymbolSlotIndex(sheet_, s)));
        } else if (text[0]) {
            line.append(Cat(" designator ", Quote(text)));
        }
        return line;
    }

    void Symbols() {
        LinkListHeader* list = sheet_->symbolList;
        if (!LLFirst(list)) return;
        Line(0, Cat("symbols ", list->count));
        int32_t n = 0;
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
            Line(1, SymbolLine(++n, static_cast<SymbolRecord*>(item)));
    }

    // "instance "designator" slot n", or "instance remove" for a pending removal.
    std::string Specs(const AnnotationSpec* list, StringBlock block) const {
        std::string text;
        for (const AnnotationSpec* s = list; s; s = s->next) {
            text.append(Cat(text.empty() ? "" : ", ", s->instanceId));
            if (s->designator == kNoDesignator) {
                text.append(" remove");
                continue;
            }
            char designator[kAnnotationTextSize];
            ExtractAnnotationSpec(s, block, designator);
            text.append(Cat(' ', Quote(designator), " slot ", int32_t(s->slot)));
        }
        return text;
    }

    void Annotation() {
        int32_t instance = 0;
        bool noSlots = false;
        AnnotationMap* map = GetSheetContextAnnotationInfo(sheet_, &instance, &noSlots);
        const int32_t count = CountAnnotationMapEntries(map);
        if (count == 0) return;
        StringBlock block = GetAnnotationMapStringBlock(map);
        Line(0, Cat("annotation ", count, instance ? Cat(" instance ", instance) : std::string()));
        for (int32_t i = 0; i < count; ++i) {
            AnnotationMapEntry entry;
            GetAnnotationMapEntry(map, i, &entry);
            std::string line = Cat("serial ", entry.symbolId, ':');
            if (entry.saved) line.append(Cat(" saved ", Specs(entry.saved, block)));
            if (entry.saved && entry.pending) line.push_back(';');
            if (entry.pending) line.append(Cat(" pending ", Specs(entry.pending, block)));
            Line(1, line);
        }
    }

    void Signals() {
        LinkListHeader* list = sheet_->signalList;
        if (!LLFirst(list)) return;
        Line(0, Cat("signals ", list->count));
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto s = static_cast<SignalHandle>(item);
            std::string line = Cat(signals_.Of(s), ' ', Quoted((*s)->name), Flags((*s)->flags, 4),
                                   " bounds ", Bounds((*s)->bounds));
            if ((*s)->dotCount == kSignalDotsStale) {
                line.append(" dots stale");
            } else if ((*s)->dotCount) {
                line.append(" dots");
                for (int32_t i = 0; i < (*s)->dotCount; ++i) line.append(Cat(' ', Pt(SignalDots(s)[i])));
            }
            if ((*s)->attributeCount) line.append(Cat(" attributes ", (*s)->attributeCount));
            Line(1, line);
            for (int32_t i = 0; i < (*s)->pinCount; ++i) {
                const SignalPinEntry e = SignalPins(s)[i];
                Line(2, Cat("pin ", i, ": serial ", e.serial, " node ", e.node, Flags(e.flags, 2)));
            }
            std::unordered_map<const void*, int32_t> wires;
            Wires((*s)->wires, "pin", &wires);
            Labels(kTextKindSignal, SignalOwnerWord(s), wires);
        }
    }

    void Busses() {
        LinkListHeader* list = sheet_->bussList;
        if (!LLFirst(list)) return;
        Line(0, Cat("busses ", list->count));
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto b = static_cast<BussHandle>(item);
            Line(1, Cat(busses_.Of(b), ' ', Quoted((*b)->name), Flags((*b)->flags, 2), " bounds ",
                        Bounds((*b)->bounds)));
            for (int32_t i = 0; i < (*b)->terminalCount; ++i) {
                const BussTerminal t = BussTerminals(b)[i];
                std::string line =
                    Cat("terminal ", i, ": serial ", t.serial, " node ", t.node, Flags(t.flags, 2));
                if (t.name) line.append(Cat(" name ", Quoted(t.name)));
                Line(2, line);
            }
            std::unordered_map<const void*, int32_t> wires;
            Wires((*b)->wires, "terminal", &wires);
            Labels(kTextKindBuss, BussOwnerWord(b), wires);
        }
    }

    void BreakOuts() {
        BreakOutTable table = sheet_->breakOutTable;
        if (DACount(table) == 0) return;
        Line(0, Cat("breakouts ", DACount(table)));
        int32_t id = -1;
        char* address = nullptr;
        while (DANextAddress(table, &id, &address)) {
            BreakOutRow row;
            std::memcpy(&row, address, sizeof row);
            Line(1, Cat("row ", id, ": ", Pt(row.first), '-', Pt(row.second), " buss ",
                        row.buss ? busses_.Of(row.buss) : std::string("none"), Flags(row.flags, 4)));
        }
    }

    std::string TextOwner(const TextRecord* text) const {
        const auto* owner = reinterpret_cast<const void*>(text->owner);
        if (text->kind == kTextKindSignal) return Cat(" owner ", signals_.Of(owner));
        if (text->kind == kTextKindBuss) return Cat(" owner ", busses_.Of(owner));
        if (text->kind == kTextKindFree || !text->owner) return std::string();
        return Cat(" owner serial ", uint32_t(text->owner));
    }

    void Texts() {
        LinkListHeader* list = sheet_->textList;
        if (!LLFirst(list)) return;
        Line(0, Cat("texts ", list->count));
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto* text = static_cast<TextRecord*>(item);
            std::string line = Cat(texts_.Of(text), " kind ", Hex(text->kind, 4), TextOwner(text),
                                   Flags(text->flags, 4), " at ", Pt(text->position), ' ',
                                   Quoted(text->text));
            if (text->flags & kTextFlagMacro) line.append(Cat(" macro ", Quoted(text->macroText)));
            if (text->style && text->style->face) line.append(Cat(" face ", text->style->face));
            Line(1, line);
        }
    }

    void Frames() {
        LinkListHeader* list = sheet_->textFrameList;
        if (!LLFirst(list)) return;
        Line(0, Cat("frames ", list->count));
        int32_t n = 0;
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto frame = static_cast<TextFrameHandle>(item);
            char text[kStringSpecBufferSize];
            GetTextFrameTextAsString(frame, false, sizeof text, text);
            std::string line = Cat('F', ++n, " at ", Pt((*frame)->position), Flags((*frame)->flags, 4));
            if ((*frame)->owner) line.append(Cat(" owner serial ", (*frame)->owner));
            line.append(Cat(" lines ", (*frame)->lineCount, ' ', Quote(text)));
            Line(1, line);
        }
    }

    // The defining geometry and the kind's own fields.
    static std::string Geometry(ElementRecord* e) {
        switch (e->kind) {
            case kElementLine:
                return Cat(' ', Pt(e->points.point1), '-', Pt(e->points.point2));
            case kElementNode: {
                std::string text = Cat(' ', Pt(e->points.point1), '-', Pt(e->points.point2));
                if (const uint16_t serial = ElementAs<NodeElement>(e)->serial) text.append(Cat(" serial ", serial));
                return text;
            }
            case kElementArrow: {
                const auto* a = ElementAs<ArrowElement>(e);
                return Cat(' ', Pt(e->points.point1), '-', Pt(e->points.point2), " head ",
                           a->headLength, '/', a->headAngle);
            }
            case kElementRoundRect: {
                const auto* r = ElementAs<RoundRectElement>(e);
                return Cat(' ', Bounds(e->rect), " oval ", r->ovalWidth, 'x', r->ovalHeight);
            }
            case kElementArc: {
                const auto* a = ElementAs<ArcElement>(e);
                return Cat(' ', Bounds(e->rect), " angles ", a->startAngle, '/', a->arcAngle);
            }
            case kElementPoly: {
                std::string text = " points";
                const int32_t count = ElementAs<PolyElement>(e)->pointCount;
                for (int32_t i = 0; i < count; ++i) text.append(Cat(' ', Pt(PolyPoints(e)[i])));
                return text;
            }
            case kElementImage:
                return Cat(' ', Bounds(e->rect), " image ", ElementAs<ImageElement>(e)->imageId);
            default:
                return Cat(' ', Bounds(e->rect));
        }
    }

    void Elements() {
        LinkListHeader* list = sheet_->elementList;
        if (!LLFirst(list)) return;
        Line(0, Cat("elements ", list->count));
        int32_t n = 0;
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto* e = static_cast<ElementRecord*>(item);
            std::string line = Cat('E', ++n, " kind ", int32_t(e->kind), Flags(e->flags, 4), " pen ",
                                   int32_t(e->penWidth), Geometry(e), " bounds ", Bounds(e->bounds));
            if (e->flags & kElementOwnFrameColor) line.append(Cat(" frame ", Hex(e->frameColor, 8)));
            if (e->flags & kElementOwnFillColor) line.append(Cat(" fill ", Hex(e->fillColor, 8)));
            Line(1, line);
        }
    }

    SheetRecord* sheet_;
    ListIds components_, signals_, busses_, texts_;
    std::optional<std::map<std::pair<uint16_t, int64_t>, std::vector<TextRecord*>>> textsByOwner_;
    std::string out_;
};

}  // namespace

std::string DumpSheet(SheetRecord* sheet, uint32_t sections) {
    if (!sheet) return std::string();
    return Dumper(sheet).Run(sections);
}

}  // namespace plexa
