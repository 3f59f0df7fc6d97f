// The translation of version-3.6 sheets into current sheets.
#include "converter/v36sheetconvert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "converter/options.h"
#include "converter/scale72.h"
#include "converter/v36sheet.h"
#include "converter/v36translate.h"
#include "foundation/bitarray.h"
#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stringblock.h"
#include "files/sheetcontents.h"
#include "graphics/textstyle.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"
#include "model/wires.h"

namespace plexa {
namespace {

constexpr uint32_t kSymbolFlag128 = 0x80;

constexpr uint16_t kBusSegmentWhole = 0x40;
constexpr uint16_t kJunction = 0x4000;
constexpr uint16_t kFreeEnd = 0xC000;
constexpr int32_t kBusHitSlop = 2;

// The tail symbol of a dangling wire end: a local net symbol.
constexpr uint32_t kTailSymbolFlags = 0x300;

struct HandleHolder {
    Handle handle = nullptr;
    ~HandleHolder() {
        if (handle) MemFree(handle);
    }
};

// ---- Turning a drawing ----

// The direction of an angle (0 at the top, clockwise) as a point.
Point AngleVector(double degrees) {
    const double r = degrees * M_PI / 180.0;
    return Point{int16_t(std::lround(-1000 * std::cos(r))), int16_t(std::lround(1000 * std::sin(r)))};
}
double VectorAngle(Point p) {
    double a = std::atan2(double(p.h), double(-p.v)) * 180.0 / M_PI;
    if (a < 0) a += 360;
    return a;
}

void TransformRect(Rect* r, uint32_t code) {
    Point corners[2] = {{r->top, r->left}, {r->bottom, r->right}};
    TransformPointArray(corners, 2, Point{0, 0}, int32_t(code));
    r->top = std::min(corners[0].v, corners[1].v);
    r->bottom = std::max(corners[0].v, corners[1].v);
    r->left = std::min(corners[0].h, corners[1].h);
    r->right = std::max(corners[0].h, corners[1].h);
}

// Turns an element about the origin by a transformation code.
void TransformElement(ElementRecord* e, uint32_t code) {
    switch (e->kind) {
        case kElementLine:
        case kElementArrow:
        case kElementNode: TransformPointArray(&e->points.point1, 2, Point{0, 0}, int32_t(code)); break;
        case kElementPoly: {
            auto* poly = ElementAs<PolyElement>(e);
            TransformPointArray(PolyPoints(e), poly->pointCount, Point{0, 0}, int32_t(code));
            TransformRect(&e->rect, code);
            break;
        }
        case kElementArc: {
            auto* arc = ElementAs<ArcElement>(e);
            Point ends[2] = {AngleVector(arc->startAngle), AngleVector(double(arc->startAngle) + arc->arcAngle)};
            TransformPointArray(ends, 2, Point{0, 0}, int32_t(code));
            // A mirrored arc runs the other way round: it starts where it ended.
            const bool mirrored = (code & 4) != 0;
            arc->startAngle = int16_t(std::lround(VectorAngle(mirrored ? ends[1] : ends[0])) % 360);
            TransformRect(&e->rect, code);
            break;
        }
        default: TransformRect(&e->rect, code); break;
    }
    CalcElementBounds(e);
}

uint32_t InverseTransform(uint32_t code) {
    if (code & 4) return code;            // a mirror with a turn is its own inverse
    return (4 - (code & 3)) & 3;
}

bool IsPin(const ElementRecord* e) { return e->kind == kElementNode; }

}  // namespace

OSStatus BuildV36SymbolView(const V36Symbol& symbol, bool /*longHead*/, ImageList* from,
                            ImageList* images, V36SymbolView* view) {
    *view = V36SymbolView{};
    ImageList* local = CreateLocalImageList();
    LinkListHeader* elements = local ? CreateElementList(local) : nullptr;
    struct Holder {
        ImageList* images;
        LinkListHeader* elements;
        ~Holder() {
            if (elements) DestroyElementList(elements);
            DestroyImageList(images);
        }
    } hold{local, elements};
    if (!elements) return status::kOutOfMemory;

    std::vector<ElementRecord*> built;
    std::map<const ElementRecord*, V36PinTrait> traits;
    const ElementRecord* originPin = nullptr;
    OSStatus st = status::kNoErr;
    for (uint16_t i = 0; i < symbol.graphics.count; ++i) {
        const V36Element& stored = symbol.graphics.items[i];
        ElementRecord* e = BuildV36Element(stored, from, local, false, &st);
        if (st) {
            for (ElementRecord* made : built) DestroyElement(made, local);
            return st;
        }
        if (!e) continue;
        built.push_back(e);
        if (IsPin(e)) {
            V36PinTrait trait;
            trait.node = stored.data[1];
            trait.type = TranslatePinType(int16_t(stored.data[2]));
            traits[e] = trait;
            if (e->points.point1.v == 0 && e->points.point1.h == 0) originPin = e;
        }
    }
    // A pin at the origin is turned to point left; the symbol is placed with the inverse turn.
    uint32_t turn = 0;
    if (originPin) {
        switch (Node_Orient(originPin)) {
            case 1: turn = 4; break;
            case 4: turn = 1; break;
            case 2: turn = 3; break;
            default: break;
        }
    }
    if (turn)
        for (ElementRecord* e : built) TransformElement(e, turn);
    view->transform = turn ? InverseTransform(turn) : 0;

    std::stable_sort(built.begin(), built.end(),
                     [](const ElementRecord* a, const ElementRecord* b) { return V36ElementBefore(a, b, false); });
    bool graphics = false;
    for (auto it = built.rbegin(); it != built.rend(); ++it) LLPush(elements, *it);
    for (ElementRecord* e : built) {
        if (IsPin(e))
            view->traits.push_back(traits[e]);
        else
            graphics = true;
    }
    if (!graphics) return status::kNoErr;
    HandleHolder data;
    data.handle = ElementsToSymbolData(elements, nullptr, nullptr, nullptr, false, images);
    if (!data.handle) return status::kOutOfMemory;
    view->data.assign(reinterpret_cast<const char*>(*data.handle), SizeOfHandle(data.handle));
    return status::kNoErr;
}

namespace {

// A placed symbol while the sheet is built.
struct Placed {
    SymbolRecord* symbol = nullptr;
    const V36Symbol* stored = nullptr;
    bool duplicate = false;
    std::vector<V36PinTrait> traits;
    std::string designator;  // its kind-17 text
};

class SheetBuilder {
public:
    SheetBuilder(const V36Sheet& old, int32_t sheetNumber, const V36ProjectData* parts, SheetRecord* sheet)
        : old_(old), sheetNumber_(sheetNumber), parts_(parts), sheet_(sheet) {}
    ~SheetBuilder() {
        DestroyImageList(symbolImages_);
        if (freeTexts_) DestroyTextList(freeTexts_);
    }

    void Build() {
        symbolImages_ = CreateLocalImageList();
        freeTexts_ = CreateTextList();
        if (!symbolImages_ || !freeTexts_) FailureSignal(status::kOutOfMemory);
        Settings();
        Symbols();
        Elements();
        Styles();
        Texts();
        Busses();
        Nets();
        Components();
        ShownTexts();
        if (gConvert96DPI) Signal(ScaleConvertedSheet(sheet_, kConvertedResolution, kV36Resolution));
    }

private:
    std::string Text(StringSpec spec) const { return V36BlockText(old_.labels, spec); }

    void SheetAttribute(const char* name, const std::string& value) {
        int16_t count = int16_t(sheet_->stored.attributeCount);
        if (!sheet_->attributes) {
            sheet_->attributes = AllocHandleClear(gGenPool, 0);
            if (!sheet_->attributes) FailureSignal(status::kOutOfMemory);
        }
        SetAttributeValue(sheet_->stringBlock, sheet_->attributes, 0, &count, name,
                          value.empty() ? kAttributeEmptyValue : value.c_str(), nullptr);
        sheet_->stored.attributeCount = uint16_t(count);
    }

    // ---- Settings ----

    void Settings() {
        const V36SheetSettingsBlock& block = old_.settingsBlock;
        const std::string title = V36CountedText(old_.settingsText);
        if (!title.empty()) SheetAttribute("DrawingTitle", title);
        sheet_->view.snap = uint8_t(block.words[1] & 0xFF);   // byte 3
        sheet_->view.showGrid = block.bytes[21 - 10];
        sheet_->view.showRulers = block.bytes[22 - 10];
        sheet_->view.showPageBreaks = block.bytes[23 - 10];
        if (int16_t(block.words[3]) > 0) sheet_->view.gridSpacing = int16_t(block.words[3]);
        sheet_->stored.scopeA = 2;
        sheet_->stored.scopeB = 2;
        sheet_->stored.printInColour = 1;
        sheet_->stored.resolution = uint16_t(kV36Resolution);
        CalcSheetBounds(sheet_->stored.sizeCode, sheet_->stored.orientation, kV36Resolution,
                        &sheet_->sheetBounds);
        SheetAttribute("SheetNumber", std::to_string(std::max(sheetNumber_, 0) + 1));
    }

    // ---- Symbols ----

    void Symbols() {
        uint32_t highest = sheet_->stored.nextSerial;
        for (uint16_t i = 0; i < old_.symbolCount; ++i) highest = std::max(highest, old_.symbols[i].record.id + 1);
        sheet_->stored.nextSerial = highest;
        std::set<uint32_t> seen;
        const bool longHead = IsV36GraphicsVersion(old_.start);
        for (uint16_t i = 0; i < old_.symbolCount; ++i) {
            const V36Symbol& stored = old_.symbols[i];
            V36SymbolView view;
            Signal(BuildV36SymbolView(stored, longHead, old_.images, symbolImages_, &view));
            Placed placed;
            placed.stored = &stored;
            placed.duplicate = !seen.insert(stored.record.id).second;
            SymbolRecord* symbol = CreateSymbol();
            if (!symbol) FailureSignal(status::kOutOfMemory);
            symbol->position = stored.record.position;
            symbol->serial = placed.duplicate ? sheet_->stored.nextSerial++ : stored.record.id;
            const uint8_t flags = stored.record.flags;
            if (flags & 0x08) symbol->flags |= kSymbolFlagPort;
            if (flags & 0x04) symbol->flags |= 0x8;
            if (flags & 0x02) symbol->flags |= kSymbolFlag128;
            symbol->flags |= view.transform & kSymbolFlagTransform;
            symbol->mapId = -1;
            LLAppend(sheet_->symbolList, symbol);
            if (!view.data.empty()) {
                symbol->mapId = AddSymbolToMap(sheet_->symbolMap, view.data.data(), int32_t(view.data.size()),
                                               symbolImages_);
                if (symbol->mapId < 0) FailureSignal(status::kOutOfMemory);
            }
            if (stored.record.classId != 0 && gConvertClassID)
                SymbolAttribute(symbol, GetMappedAttributeName(kAttrNameClassIDEntry),
                                std::to_string(stored.record.classId));
            if (!placed.duplicate) placed.traits = view.traits;
            placed.symbol = symbol;
            placed_.push_back(placed);
        }
    }

    void SymbolAttribute(SymbolRecord* symbol, const std::string& name, const std::string& value) {
        if (name.empty()) return;
        SetSymbolAttribute(symbol, sheet_->stringBlock, name.c_str(),
                           value.empty() ? kAttributeEmptyValue : value.c_str(), nullptr);
    }

    Placed* PlacedOf(uint16_t number) {
        const int32_t index = FindV36Symbol(&old_, number);
        return index < 0 ? nullptr : &placed_[size_t(index)];
    }

    // ---- Sheet graphics ----

    void Elements() {
        if (!IsV36GraphicsVersion(old_.start)) return;
        for (uint16_t i = 0; i < old_.elements.count; ++i) {
            OSStatus st = status::kNoErr;
            ElementRecord* e = BuildV36Element(old_.elements.items[i], old_.images, sheet_->imageList, false, &st);
            Signal(st);
            if (e) LLPush(sheet_->elementList, e);  // the last stored ends up first
        }
    }

    // ---- Styles ----

    void Styles() {
        if (!BuildV36TextStyles(old_.styles, false, sheet_->styleList, &styles_)) FailureSignal(status::kOutOfMemory);
        if (styles_.empty()) return;
        txStyle* first = styles_.front();
        if (sheet_->currentTextStyle) CopyTextStyle(first, sheet_->currentTextStyle);
        if (sheet_->themeTable)
            for (txStyle* theme : sheet_->themeTable->styles)
                if (theme) CopyTextStyle(first, theme);
    }

    txStyle* StyleOf(const V36TextRecord& record) {
        if (record.style < styles_.size()) return styles_[record.style];
        if (!styles_.empty()) return styles_.front();
        return sheet_->currentTextStyle;
    }

    // ---- Texts ----

    TextRecord* MakeText(const V36TextRecord& record, uint16_t kind, const std::string& text) {
        TextRecord* t = CreateTextElement();
        if (!t) FailureSignal(status::kOutOfMemory);
        t->kind = kind;
        t->flags = ConvertV36TextFlags(record.flagsA);
        t->style = StyleOf(record);
        SetTextRecordString(t, sheet_->stringBlock, text.c_str());
        if (record.flagsB & kV36TextMacro) {
            std::string rewritten;
            if (ConvertMacroString(Text(record.macro), &rewritten)) {
                SetTextRecordMacroString(t, sheet_->stringBlock, rewritten.c_str());
                t->flags |= kTextFlagMacro;
            }
        }
        StyleMetrics metrics{};
        if (t->style) GetStyleMetrics(t->style, &metrics);
        t->position = CalcTextBaseLineFromV6Bounds(record.bounds, metrics.ascent, t->flags & kTextFlagRotation);
        CalcTextBounds(nullptr, t, sheet_->stringBlock);
        return t;
    }

    void AddText(TextRecord* t) { LLAppend(sheet_->textList, t); }

    // A frame shows its rewritten macro text when it has one, else its text.
    void AddFrame(const V36TextRecord& record, const std::string& text, int64_t owner) {
        std::string shown = text;
        if (record.flagsB & kV36TextMacro) {
            std::string rewritten;
            if (ConvertMacroString(Text(record.macro), &rewritten)) shown = rewritten;
        }
        TextRecord* t = MakeText(record, kTextKindFree, shown);
        t->flags &= kTextFlagRotation;
        TextFrameHandle frame = CreateTextFrameFromTextElement(t, sheet_->stringBlock, sheet_->styleList, true, nullptr);
        MemFreePtr(reinterpret_cast<Ptr>(t));
        if (!frame) FailureSignal(status::kOutOfMemory);
        (*frame)->owner = owner;
        LLAppend(sheet_->textFrameList, frame);
    }

    void Texts() {
        for (uint16_t i = 0; i < old_.textCount; ++i) ConvertText(old_.texts[i]);
    }

    void ConvertText(const V36TextRecord& record) {
        const std::string text = Text(record.text);
        Placed* owner = PlacedOf(record.symbol);
        const int64_t ownerWord = owner ? TextOwnerSerial(owner->symbol->serial) : 0;
        if (record.kind > 0) return PinText(record, text, owner);
        switch (record.kind) {
            case kV36TextDesignator: {
                if (record.flagsA & kV36TextPinNumberOrFrame) return AddFrame(record, text, 0);
                if (!owner) return;
                const bool pins = !owner->traits.empty();
                TextRecord* t = MakeText(record, pins ? kTextKindCompDesignator : kTextKindDesignator, text);
                t->owner = ownerWord;
                AddText(t);
                owner->designator = text;
                if (!pins) SetSymbolRefName(owner->symbol, sheet_->stringBlock, text.c_str());
                return;
            }
            case kV36TextAttribute: {
                if (!owner) return;
                const std::string name = GetMappedAttributeName(
                    (record.flagsA & kV36TextSecondAttribute) ? kAttrNameSecondEntry : kAttrNameValueEntry);
                SymbolAttribute(owner->symbol, name, EscapeAttributeValue(text));
                TextRecord* t = MakeText(record, kTextKindSymbolAttribute, "{" + name + "}");
                t->owner = ownerWord;
                AddText(t);
                return;
            }
            case kV36TextFree: return AddFrame(record, text, 0);
            case kV36TextName: {
                if (!owner) return;
                TextRecord* t = MakeText(record, owner->duplicate ? kTextKindNetSymbol : kTextKindSymbolName, text);
                t->owner = ownerWord;
                AddText(t);
                return;
            }
            case kV36TextNetLabel:
            case kV36TextBusLabel: {
                TextRecord* t =
                    MakeText(record, record.kind == kV36TextNetLabel ? kTextKindSignal : kTextKindBuss, text);
                labels_.push_back(Label{t, record.label, record.kind == kV36TextBusLabel});
                LLAppend(freeTexts_, t);
                return;
            }
            case kV36TextSpice: {
                if (!owner) return;
                // Escaped before the value macro is put in, so the braces it brings stay braces.
                SymbolAttribute(owner->symbol, GetMappedAttributeName(kAttrNameSpiceEntry),
                                V36ReplaceValueMacro(EscapeAttributeValue(text),
                                                     "{" + GetMappedAttributeName(kAttrNameValueEntry) + "}"));
                return;
            }
            case kV36TextPartFields: {
                if (!owner) return;
                const StringFields fields = ExtractStringFields(text);
                const std::string footprint = BuildFootprintString(fields);
                int32_t first = 1;
                if (!footprint.empty()) {
                    SymbolAttribute(owner->symbol, "~~Footprint", EscapeAttributeValue(footprint));
                    SymbolAttribute(owner->symbol, "Footprint", EscapeAttributeValue(footprint));
                    first = 4;
                }
                for (int32_t k = first; k < kSymbolFieldCount; ++k)
                    if (!fields[size_t(k)].empty())
                        SymbolAttribute(owner->symbol, GetStringFieldInfo(k), EscapeAttributeValue(fields[size_t(k)]));
                return;
            }
            default: {
                TextRecord* t = MakeText(record, kTextKindFree, text);
                AddText(t);
                return;
            }
        }
    }

    void PinText(const V36TextRecord& record, const std::string& text, Placed* owner) {
        if (!owner) return;
        for (size_t i = 0; i < owner->traits.size(); ++i) {
            V36PinTrait& trait = owner->traits[i];
            if (trait.node != uint16_t(record.kind)) continue;
            const bool number = record.flagsA & kV36TextPinNumberOrFrame;
            (number ? trait.number : trait.name) = text;
            TextRecord* t = MakeText(record, uint16_t((number ? kTextKindPinNumber : kTextKindPinName) | i), text);
            t->owner = TextOwnerSerial(owner->symbol->serial);
            AddText(t);
            return;
        }
    }

    // ---- Busses ----

    struct Label {
        TextRecord* text;
        uint16_t number;
        bool bus;
    };

    void GiveLabels(bool bus, uint16_t number, int64_t owner, uint16_t kind) {
        for (Label& label : labels_) {
            if (!label.text || label.bus != bus || label.number != number) continue;
            LLRemoveOrFree(freeTexts_, label.text, nullptr, false);
            label.text->owner = owner;
            label.text->kind = kind;
            AddText(label.text);
            label.text = nullptr;
        }
    }

    // Whether the stored end of segment `s` lies on another segment of the bus (on its line or at
    // one of its ends).
    static bool MeetsOtherSegment(const V36Bus& bus, uint16_t s) {
        const Point p = bus.segments[s].end;
        for (uint16_t o = 0; o < bus.record.segmentCount; ++o) {
            if (o == s) continue;
            const Point a = bus.segments[o].start, b = bus.segments[o].end;
            const int64_t cross = int64_t(b.h - a.h) * (p.v - a.v) - int64_t(b.v - a.v) * (p.h - a.h);
            if (cross != 0) continue;
            if (p.h >= std::min(a.h, b.h) && p.h <= std::max(a.h, b.h) && p.v >= std::min(a.v, b.v) &&
                p.v <= std::max(a.v, b.v))
                return true;
        }
        return false;
    }

    // Where a bus wire's end meets another wire of the bus, both become junction ends there (the
    // other wire is split first when the end meets it between its corners), so that the bus's
    // clean-up joins them and its groups hold together.
    static void JoinMeetingBusWires(WireList list) {
        const auto same = [](Point a, Point b) { return a.v == b.v && a.h == b.h; };
        std::vector<WireHandle> wires;
        for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) wires.push_back(w);
        for (WireHandle w : wires)
            for (int end = 0; end < 2; ++end) {
                const Point p = end ? WireCorners(w)[(*w)->cornerCount - 1] : WireCorners(w)[0];
                bool met = false;
                for (WireHandle o = FirstWire(list); o; o = NextWire(list, o)) {
                    if (o == w || (*o)->cornerCount < 2) continue;
                    const Point first = WireCorners(o)[0], last = WireCorners(o)[(*o)->cornerCount - 1];
                    if (same(first, p)) {
                        (*o)->end0 = kWireEndJunction;
                        met = true;
                    } else if (same(last, p)) {
                        (*o)->end1 = kWireEndJunction;
                        met = true;
                    } else if (const int32_t n = HitTestWire(o, p, 0, nullptr, false); n >= 0) {
                        WireHandle piece = SplitWire(o, n, p, false);
                        if (!piece) FailureSignal(status::kOutOfMemory);
                        LLPush(list, piece);
                        met = true;
                    }
                }
                if (met) (end ? (*w)->end1 : (*w)->end0) = kWireEndJunction;
            }
    }

    void Busses() {
        for (uint16_t i = 0; i < old_.busCount; ++i) {
            const V36Bus& stored = old_.busses[i];
            if (stored.record.segmentCount == 0) continue;
            BussHandle buss = CreateBuss(sheet_->bussList);
            if (!buss) FailureSignal(status::kOutOfMemory);
            SetBussName(buss, sheet_->stringBlock, V36CountedText(stored.record.name).c_str());
            for (uint16_t s = 0; s < stored.record.segmentCount; ++s) {
                const V36BusSegment& segment = stored.segments[s];
                Point end = segment.end;
                // An end where another segment of the bus meets this one stays where it is, so
                // that the bus stays whole there (an L-shaped bus is one bus).
                if (!(segment.flags & kBusSegmentWhole) && !MeetsOtherSegment(stored, s)) {
                    if (end.h - segment.start.h > 4) {
                        end.h = int16_t(end.h - 1);
                        end.v = int16_t(end.v - 2);
                    } else {
                        end.h = int16_t(end.h - 2);
                        end.v = int16_t(end.v - 1);
                    }
                }
                WireHandle wire = CreateWire((*buss)->wires);
                if (!wire || !InsertWireCorner(wire, segment.start, -1) || !InsertWireCorner(wire, end, -1))
                    FailureSignal(status::kOutOfMemory);
                (*wire)->flags = kWireFlagBuss;
                CalcWireBounds(wire);
                // The segment's label word is the only field that holds the bus's label number.
                GiveLabels(true, segment.label, BussOwnerWord(buss), kTextKindBuss);
            }
            JoinMeetingBusWires((*buss)->wires);
            CleanupBussWires(buss, nullptr);
            CalcBussBounds(buss);
        }
    }

    // ---- Nets ----

    // The tail symbol's definition, made once per sheet.
    int32_t TailDefinition() {
        if (tailMapId_ >= 0) return tailMapId_;
        LinkListHeader* elements = CreateElementList(symbolImages_);
        if (!elements) FailureSignal(status::kOutOfMemory);
        ElementRecord* pin = BuildNodeElement(Point{0, 0}, Point{0, 0}, 1, 0, false, 0, false, 0, false, 0);
        ElementRecord* line = BuildCommonElement(kElementLine, Point{2, 0}, Point{18, 0}, 1, 0, 0, false, false, 0,
                                                 false, 0, false);
        if (line) LLPush(elements, line);
        if (pin) LLPush(elements, pin);
        HandleHolder data;
        if (pin && line) data.handle = ElementsToSymbolData(elements, nullptr, nullptr, nullptr, false, nullptr);
        DestroyElementList(elements);
        if (!data.handle) FailureSignal(status::kOutOfMemory);
        tailMapId_ = AddSymbolToMap(sheet_->symbolMap, *data.handle, int32_t(SizeOfHandle(data.handle)), nullptr);
        if (tailMapId_ < 0) FailureSignal(status::kOutOfMemory);
        return tailMapId_;
    }

    // A tail symbol on the wire's last corner, turned along its last segment; its pin entry.
    SymbolRecord* AddTailSymbol(WireHandle wire) {
        const int32_t n = (*wire)->cornerCount;
        if (n < 1) return nullptr;
        const Point end = WireCorners(wire)[n - 1];
        int32_t orient = n >= 2 ? CalcLineOrient(WireCorners(wire)[n - 2], end) : 4;
        uint32_t turn = 0;
        switch (orient) {
            case 0: turn = 3; break;  // up
            case 4: turn = 1; break;  // down
            case 6: turn = 2; break;  // left
            default: break;
        }
        SymbolRecord* tail = CreateSymbol();
        if (!tail) FailureSignal(status::kOutOfMemory);
        tail->position = end;
        tail->flags = kTailSymbolFlags | turn;
        tail->mapId = TailDefinition();
        AddSymbolToSheet(sheet_, tail);
        return tail;
    }

    void Nets() {
        for (uint16_t i = 0; i < old_.netCount; ++i) Net(old_.nets[i]);
        // Labels that no net or bus took are free texts.
        while (auto* t = static_cast<TextRecord*>(LLPop(freeTexts_, false))) {
            t->owner = 0;
            t->kind = kTextKindFree;
            AddText(t);
        }
        for (BussHandle buss : V36ListItems<BussHandle>(sheet_->bussList))
            SplitBussGroups(buss, sheet_->bussList, sheet_->breakOutTable, sheet_->symbolList, sheet_->textList,
                            nullptr, nullptr);
    }

    void Net(const V36Net& net) {
        SignalHandle signal = CreateSignal(nullptr);
        if (!signal) FailureSignal(status::kOutOfMemory);
        struct Guard {
            SignalHandle signal;
            ~Guard() {
                if (signal) DestroySignal(signal);
            }
        } guard{signal};
        const std::string name = Text(net.record.name);
        if (!name.empty()) SetSignalName(signal, sheet_->stringBlock, name.c_str());
        const uint16_t normal = (net.record.flags & kV36NetHighPriority) ? 16 : 0;
        if (net.record.priority != normal)
            SetSignalAttribute(signal, sheet_->stringBlock, "Priority", std::to_string(net.record.priority).c_str());

        std::map<uint32_t, uint16_t> ends;  // node index -> end word
        for (uint16_t n = 0; n < net.nodeCount; ++n) {
            const V36NodeEntry& node = net.nodes[n];
            uint16_t word = kJunction;
            if (node.symbol <= 0) {
                Placed* placed = PlacedOf(uint16_t(-node.symbol));
                if (placed) {
                    Point at = node.point;
                    const int32_t pin = HitTestSymbolPin(sheet_, placed->symbol, &at, 0);
                    if (pin >= 0) {
                        const int32_t entry = AddPinToSignal(signal, placed->symbol, uint16_t(pin));
                        if (entry < 0) FailureSignal(status::kOutOfMemory);
                        word = uint16_t(entry);
                    }
                }
            }
            ends[node.index] = word;
        }
        auto endOf = [&ends](uint32_t index) {
            auto found = ends.find(index);
            return found == ends.end() ? kFreeEnd : found->second;
        };

        for (uint16_t l = 0; l < net.linkCount; ++l) {
            const V36Link& link = net.links[l];
            WireHandle wire = CreateWire(nullptr);
            if (!wire) FailureSignal(status::kOutOfMemory);
            bool ok = InsertWireCorner(wire, link.record.start, -1);
            for (uint32_t c = 0; c < link.cornerCount && ok; ++c) ok = InsertWireCorner(wire, link.corners[c], -1);
            ok = ok && InsertWireCorner(wire, link.record.end, -1);
            if (!ok) {
                DestroyWire(wire);
                FailureSignal(status::kOutOfMemory);
            }
            (*wire)->end0 = endOf(link.record.startNode);
            (*wire)->end1 = endOf(link.record.endNode);
            const bool dangling = link.record.flags & kV36LinkDangling;
            const bool onBus = link.record.flags & kV36LinkOnBus;
            // The dangling or bus end goes last.
            if ((dangling || onBus) && link.record.startNode == 0) ReverseWire(wire);
            LLAppend((*signal)->wires, wire);
            if (dangling) {
                SymbolRecord* tail = AddTailSymbol(wire);
                const int32_t entry = AddPinToSignal(signal, tail, 0);
                if (entry < 0) FailureSignal(status::kOutOfMemory);
                (*wire)->end1 = uint16_t(entry);
                GiveLabels(false, link.record.label, TextOwnerSerial(tail->serial), kTextKindNetSymbol);
            } else {
                GiveLabels(false, link.record.label, SignalOwnerWord(signal), kTextKindSignal);
            }
            if (onBus) BreakOut(wire);
            CalcWireBounds(wire);
        }
        CleanupSignalWires(signal, nullptr);
        if ((*signal)->pinCount > 0 && FirstWire((*signal)->wires)) {
            CalcSignalBounds(signal);
            LLAppend(sheet_->signalList, signal);
            guard.signal = nullptr;
            return;
        }
        // A net without pins or wires: its labels become free texts.
        for (TextRecord* t : V36ListItems<TextRecord*>(sheet_->textList))
            if (t->owner == SignalOwnerWord(signal) && t->kind == kTextKindSignal) {
                t->owner = 0;
                t->kind = kTextKindFree;
            }
    }

    // The wire's last segment becomes a break-out of the bus its end lies on.
    void BreakOut(WireHandle wire) {
        const int32_t n = (*wire)->cornerCount;
        if (n < 2) return;
        Point end = WireCorners(wire)[n - 1];
        WireHandle bussWire = nullptr;
        int32_t segment = 0;
        Point hit{};
        BussHandle buss = HitTestBussList(sheet_, end, kBusHitSlop, false, &bussWire, &segment, &hit);
        if (!buss) return;
        const Point inner = n >= 3 ? WireCorners(wire)[n - 2] : end;
        const int32_t row = AddBussBreakout(sheet_->breakOutTable, buss, end, inner);
        if (row < 0) FailureSignal(status::kOutOfMemory);
        if (n >= 3) RemoveWireCorners(wire, n - 1, 1);
        (*wire)->end1 = uint16_t(0x8000 | (row & kWireEndIndexMask));
    }

    // ---- Components ----

    uint32_t PinData(const V36PinTrait& pin) {
        Handle record = CreateNewPinData();
        if (!record) FailureSignal(status::kOutOfMemory);
        std::string name = pin.name;
        const size_t esc = name.find('\x1B');
        if (esc != std::string::npos) name.resize(esc);
        SetPinDataName(record, sheet_->stringBlock, name.c_str());
        SetPinDataType(record, pin.type, false);
        const int32_t id = AddPinDataToTable(sheet_->pinDataTable, record);
        DestroyPinData(record);
        if (id < 0) FailureSignal(status::kOutOfMemory);
        return uint32_t(id);
    }

    // Makes the component a description gives, its symbols' definitions from `definitionIds`
    // (sheet map ids), and installs it.
    ComponentRecord* MakeComponent(const ConvertedComp& comp, const std::vector<int32_t>& mapIds) {
        ComponentRecord* c = CreateComponent(0, 1, int32_t(comp.symbols.size()), int32_t(comp.sections.size()), 1);
        if (!c) FailureSignal(status::kOutOfMemory);
        struct Guard {
            ComponentRecord* c;
            ~Guard() {
                if (c) FreeComponent(c);
            }
        } guard{c};
        SetCompName(c, sheet_->stringBlock, 0, comp.name.c_str());
        if (!comp.prefix.empty()) SetCompRefPrefix(c, sheet_->stringBlock, comp.prefix.c_str());
        for (size_t s = 0; s < comp.symbols.size(); ++s) {
            CompSymbols(c)[s].mapId = mapIds[s];
            CompSymbols(c)[s].secondMapId = -1;
            const auto& pins = comp.symbols[s].pins;
            if (pins.empty()) continue;
            auto* ids = reinterpret_cast<uint32_t*>(AllocPtrClear(gGenPool, uint32_t(4 * pins.size())));
            if (!ids) FailureSignal(status::kOutOfMemory);
            SetCompSymbolPinDataIds(c, int32_t(s), ids);
            for (size_t p = 0; p < pins.size(); ++p) ids[p] = PinData(pins[p]);
        }
        for (size_t s = 0; s < comp.sections.size(); ++s) {
            const ConvertedComp::Section& from = comp.sections[s];
            ComponentSection* section = CreateCompSection(1, int32_t(from.pinNumbers.size()));
            if (!section) FailureSignal(status::kOutOfMemory);
            section->symbolIndex = from.symbolIndex;
            section->suffix = OverlayStringBlock(sheet_->stringBlock, from.suffix.data(), int32_t(from.suffix.size()),
                                                 nullptr);
            for (size_t p = 0; p < from.pinNumbers.size(); ++p)
                SetCompSectionPinNumber(section, sheet_->stringBlock, 0, int32_t(p), from.pinNumbers[p].c_str());
            SetCompSection(c, int32_t(s), section);
        }
        if (!comp.hiddenPins.empty()) {
            auto* table = reinterpret_cast<CompHiddenPin*>(
                AllocPtrClear(gGenPool, uint32_t(sizeof(CompHiddenPin) * comp.hiddenPins.size())));
            if (!table) FailureSignal(status::kOutOfMemory);
            CompHiddenPins(c)[0] = table;
            for (size_t h = 0; h < comp.hiddenPins.size(); ++h) {
                const auto& pin = comp.hiddenPins[h];
                table[h].number = OverlayStringBlock(sheet_->stringBlock, pin.number.data(), int32_t(pin.number.size()),
                                                     nullptr);
                table[h].pinDataId = PinData(V36PinTrait{0, 0, pin.name, {}});
            }
        }
        guard.c = nullptr;
        return InstallCompInSheet(sheet_, c);
    }

    void Components() {
        for (Placed& placed : placed_) {
            SymbolRecord* symbol = placed.symbol;
            const std::string storedName = Text(placed.stored->record.name);
            if (placed.traits.empty()) {
                if (!placed.duplicate && !storedName.empty())
                    SetSymbolName(symbol, sheet_->stringBlock, storedName.c_str());
                continue;
            }
            int32_t sectionIndex = -1;
            const V36ProjectPart* part =
                parts_ ? GetSymbolsPart(parts_, placed.stored->record.id, sheetNumber_, &sectionIndex) : nullptr;
            ConvertedComp single;
            const ConvertedComp* comp = nullptr;
            std::vector<int32_t> mapIds;
            std::string designator;
            int32_t slot = 0;
            if (part && part->built && sectionIndex >= 0) {
                comp = &part->comp;
                const V36PartSectionInfo& section = part->sections[size_t(sectionIndex)];
                slot = std::max(section.index, 0);
                for (const ConvertedComp::Symbol& s : comp->symbols) {
                    int32_t id = -1;
                    if (s.definition >= 0 && size_t(s.definition) < parts_->definitions.size()) {
                        const std::string& data = parts_->definitions[size_t(s.definition)];
                        id = AddSymbolToMap(sheet_->symbolMap, data.data(), int32_t(data.size()), parts_->images);
                        if (id < 0) FailureSignal(status::kOutOfMemory);
                    }
                    mapIds.push_back(id);
                }
                if (comp->symbols.size() == 1 && mapIds[0] < 0) mapIds[0] = symbol->mapId;
                // A one-section part takes its pins from the symbol's pin traits.
                if (part->sections.size() == 1) {
                    single = *comp;
                    if (single.symbols.empty()) single.symbols.emplace_back();
                    single.symbols[0].pins = placed.traits;
                    if (single.sections.empty()) single.sections.push_back(ConvertedComp::Section{"A", 0, {}});
                    single.sections[0].pinNumbers.clear();
                    for (const V36PinTrait& t : placed.traits) single.sections[0].pinNumbers.push_back(t.number);
                    comp = &single;
                    mapIds.assign(1, symbol->mapId);
                }
                ExtractDelimitedString(JoinFields(part->fields), 2, '\t', &designator);
            } else {
                single.name = storedName;
                single.symbols.emplace_back();
                single.symbols[0].pins = placed.traits;
                ConvertedComp::Section section{"A", 0, {}};
                for (const V36PinTrait& t : placed.traits) section.pinNumbers.push_back(t.number);
                single.sections.push_back(section);
                designator = placed.designator;
                const size_t dot = designator.rfind('.');
                if (dot != std::string::npos) designator.resize(dot);
                if (!designator.empty()) {
                    char prefix[kCompTextSize] = {};
                    std::strncpy(prefix, designator.c_str(), sizeof prefix - 1);
                    RefDesToPrefix(prefix);
                    single.prefix = prefix;
                }
                comp = &single;
                mapIds.assign(1, symbol->mapId);
            }
            ComponentRecord* c = MakeComponent(*comp, mapIds);
            if (!c) FailureSignal(status::kOutOfMemory);
            symbol->component = c;
            uint16_t symbolIndex = 0;
            if (comp->sections.size() > size_t(slot)) symbolIndex = comp->sections[size_t(slot)].symbolIndex;
            symbol->kind.comp.symbol = uint8_t(symbolIndex);
            symbol->kind.comp.package = 0;
            symbol->kind.comp.nameIndex = 0;
            if (comp != &single && symbolIndex < mapIds.size() && mapIds[symbolIndex] >= 0)
                symbol->mapId = mapIds[symbolIndex];
            if (!designator.empty()) SetSymbolAnnotation(sheet_, symbol->serial, designator.c_str(), slot);
        }
    }

    // What a placed part shows follows what the sheet now stores: its designator text the
    // designator (and slot) it was given, its attribute texts the values their field references
    // name, kept as the references they expand from.
    void ShownTexts() {
        for (const Placed& placed : placed_) {
            SymbolRecord* symbol = placed.symbol;
            if (!symbol->component) continue;
            char designator[kAnnotationTextSize] = "";
            GetSymbolsDisplayDesignator(sheet_, symbol, designator);
            if (!designator[0]) continue;
            for (auto* t = static_cast<TextRecord*>(LLFirst(sheet_->textList)); t; t = t->link)
                if (t->kind == kTextKindCompDesignator && t->owner == TextOwnerSerial(symbol->serial))
                    ChangeSheetText(sheet_, t, designator, nullptr);
        }
        for (auto* t = static_cast<TextRecord*>(LLFirst(sheet_->textList)); t; t = t->link)
            if (t->kind == kTextKindSymbolAttribute && !(t->flags & kTextFlagMacro))
                ExpandTextRecordMacros(sheet_, t, nullptr, false);
    }

    static std::string JoinFields(const std::vector<std::string>& fields) {
        std::string joined;
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i) joined += '\t';
            joined += fields[i];
        }
        return joined;
    }

    const V36Sheet& old_;
    int32_t sheetNumber_;
    const V36ProjectData* parts_;
    SheetRecord* sheet_;
    ImageList* symbolImages_ = nullptr;
    LinkListHeader* freeTexts_ = nullptr;
    std::vector<Placed> placed_;
    std::vector<txStyle*> styles_;
    std::vector<Label> labels_;
    int32_t tailMapId_ = -1;
};

}  // namespace

OSStatus TranslateV36Sheet(const V36Sheet& old, int32_t sheetNumber, const V36ProjectData* parts,
                           SheetRecord** out) {
    *out = nullptr;
    SheetRecord* sheet = CreateDrawing();
    if (!sheet) return status::kOutOfMemory;
    const OSStatus st = CatchSignals([&] {
        SheetBuilder builder(old, sheetNumber, parts, sheet);
        builder.Build();
    });
    if (st != status::kNoErr) {
        DestroySheet(sheet);
        return st;
    }
    *out = sheet;
    return status::kNoErr;
}

OSStatus WriteConvertedSheet(SheetRecord* sheet, const FileSpec* target, char* message, int32_t messageSize) {
    if (message && messageSize > 0) message[0] = 0;
    // The designators given during translation are pending changes of the sheet's map; the file
    // keeps only what is committed.
    if (sheet && sheet->annotationMap) ApplyAnnotationMapChanges(sheet->annotationMap, nullptr);
    return WriteSheetFile(sheet, target, message, messageSize);
}

}  // namespace plexa
