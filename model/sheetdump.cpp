// The canonical text dump of a sheet; see sheetdump.h.
#include "model/sheetdump.h"

#include <cstdio>
#include <cstring>
#include <type_traits>
#include <unordered_map>

#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
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
        if (sections & kDumpComponents) Components();
        if (sections & kDumpSymbols) Symbols();
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

    void Labels(uint16_t kind, int64_t owner, const std::unordered_map<const void*, int32_t>& wires) {
        LinkListHeader* list = sheet_->textList;
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto* text = static_cast<TextRecord*>(item);
            if (text->kind != kind || text->owner != owner) continue;
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

    void Components() {
        LinkListHeader* list = sheet_->componentList;
        if (!LLFirst(list)) return;
        Line(0, Cat("components ", list->count));
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto* c = static_cast<ComponentRecord*>(item);
            Line(1, Cat(components_.Of(c), " prefix ", Quoted(c->refPrefix), " symbols ",
                        int32_t(c->symbolCount), " sections ", int32_t(c->sectionCount),
                        " packages ", int32_t(c->packageCount), " pin sets ",
                        int32_t(c->pinSetCount), " names ", int32_t(c->nameCount)));
        }
    }

    void Symbols() {
        LinkListHeader* list = sheet_->symbolList;
        if (!LLFirst(list)) return;
        Line(0, Cat("symbols ", list->count));
        int32_t n = 0;
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto* s = static_cast<SymbolRecord*>(item);
            std::string line = Cat('#', ++n, " serial ", s->serial, " at ", Pt(s->position),
                                   Flags(s->flags, 8), " map ", s->mapId);
            if (s->component) line.append(Cat(" component ", components_.Of(s->component)));
            if ((s->flags & kSymbolFlagPort) && s->kindData)
                line.append(Cat(" port name ", Quoted(s->kindData)));
            if (s->attributeCount) line.append(Cat(" attributes ", s->attributeCount));
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

    void Elements() {
        LinkListHeader* list = sheet_->elementList;
        if (!LLFirst(list)) return;
        Line(0, Cat("elements ", list->count));
        int32_t n = 0;
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto* e = static_cast<ElementRecord*>(item);
            Line(1, Cat('E', ++n, " kind ", int32_t(e->kind), Flags(e->flags, 4), " pen ",
                        int32_t(e->penWidth), " bounds ", Bounds(e->bounds)));
        }
    }

    SheetRecord* sheet_;
    ListIds components_, signals_, busses_, texts_;
    std::string out_;
};

}  // namespace

std::string DumpSheet(SheetRecord* sheet, uint32_t sections) {
    if (!sheet) return std::string();
    return Dumper(sheet).Run(sections);
}

}  // namespace plexa
