// The readable text of a library item; see libitemdump.h.
#include "model/libitemdump.h"

#include <cstdio>
#include <cstring>

#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "graphics/textstyle.h"
#include "model/attributes.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/symboldata.h"
#include "model/textframes.h"
#include "model/texts.h"

namespace plexa {

namespace {

// printf into a string.
template <class... Args>
std::string Format(const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) std::snprintf(out.data(), out.size() + 1, format, args...);
    return out;
}

std::string At(Point p) { return Format("(%d,%d)", p.h, p.v); }
std::string Span(Point a, Point b) { return At(a) + "-" + At(b); }
std::string Box(const Rect& r) { return Span({r.top, r.left}, {r.bottom, r.right}); }
std::string FlagText(uint32_t flags) { return flags ? Format(" flags 0x%X", flags) : std::string(); }
std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }
// " face F" for a bold or italic style; nothing for a plain one.
std::string FaceText(const txStyle* style) { return style && style->face ? Format(" face %u", style->face) : std::string(); }

const char* KindName(uint8_t kind) {
    static const char* const kNames[] = {"?",   "line", "arrow", "rect", "oval",
                                         "rrect", "arc", "poly",  "node", "image"};
    return kind < sizeof kNames / sizeof kNames[0] ? kNames[kind] : "?";
}

std::string ElementLine(const ElementRecord* e) {
    std::string s = KindName(e->kind);
    switch (e->kind) {
        case kElementLine:
        case kElementArrow:
        case kElementNode: s += " " + Span(e->points.point1, e->points.point2); break;
        case kElementPoly:
            for (int16_t i = 0; i < ElementAs<PolyElement>(e)->pointCount; ++i)
                s += " " + At(PolyPoints(e)[i]);
            break;
        default: s += " " + Box(e->rect); break;
    }
    s += Format(" pen %d", e->penWidth) + FlagText(e->flags);
    if (e->flags & kElementOwnFrameColor) s += Format(" frame 0x%08X", e->frameColor);
    if (e->flags & kElementOwnFillColor) s += Format(" fill 0x%08X", e->fillColor);
    switch (e->kind) {
        case kElementArrow:
        case kElementRoundRect:
        case kElementArc: {
            const auto* words = ElementAs<ArcElement>(e);
            s += Format(" words %d,%d", words->startAngle, words->arcAngle);
            break;
        }
        case kElementNode:
            if (const uint8_t radius = ElementAs<NodeElement>(e)->bubbleRadius)
                s += Format(" bubble %d", radius);
            if (const uint16_t serial = ElementAs<NodeElement>(e)->serial) s += Format(" serial %u", serial);
            break;
        case kElementImage: {
            const auto* image = ElementAs<ImageElement>(e);
            s += Format(" res %d,%d turn %d", image->hResolution, image->vResolution,
                        image->orientation);
            break;
        }
        default: break;
    }
    return s;
}

// A drawing read back into lists and written one line per element, text and frame.
std::string DrawingText(LibraryItem* item, const char* label, Ptr data) {
    if (!data) return Format("  %s none\n", label);
    const auto* head = reinterpret_cast<const SymbolDataHead*>(data);
    if (SizeOfPtr(data) < kSymbolDataHeadSize) return Format("  %s unreadable\n", label);
    std::string s = Format("  %s graphics ", label) + Box(head->graphics) + " all " + Box(head->all) + "\n";
    ImageList* images = CreateLocalImageList();
    LinkListHeader* elements = CreateElementList(images);
    LinkListHeader* texts = CreateTextList();
    LinkListHeader* frames = CreateTextFrameList();
    TextStyleList* styles = CreateTextStyleList(gGenPool);
    StringBlock block = CreateStringBlock(gGenPool, 256);
    if (!images || !elements || !texts || !frames || !styles || !block ||
        SymbolDataToElements(data, SizeOfPtr(data), item->imageList, {0, 0}, elements, texts,
                             frames, styles, block, nullptr) != 0) {
        s = Format("  %s unreadable\n", label);
    } else {
        int32_t n = 0;
        for (void* e = LLFirst(elements); e; e = LLGetNext(elements, e))
            s += Format("    E%d ", ++n) + ElementLine(static_cast<ElementRecord*>(e)) + "\n";
        n = 0;
        for (void* t = LLFirst(texts); t; t = LLGetNext(texts, t)) {
            const auto* text = static_cast<TextRecord*>(t);
            char string[kTextStringSize];
            GetTextRecordString(text, block, string, sizeof string);
            s += Format("    T%d kind 0x%04X at ", ++n, text->kind) + At(text->position) +
                 FlagText(text->flags) + " " + Quoted(string) + FaceText(text->style) + "\n";
        }
        n = 0;
        for (void* f = LLFirst(frames); f; f = LLGetNext(frames, f)) {
            auto frame = static_cast<TextFrameHandle>(f);
            char string[kTextStringSize];
            GetTextFrameTextAsString(frame, false, sizeof string, string);
            s += Format("    F%d at ", ++n) + At((*frame)->position) + FlagText((*frame)->flags) +
                 Format(" lines %d ", (*frame)->lineCount) + Quoted(string) + FaceText((*frame)->style) + "\n";
        }
    }
    DestroyElementList(elements);
    DestroyTextList(texts);
    DestroyTextFrameList(frames);
    DestroyTextStyleList(styles);
    DestroyStringBlock(block);
    DestroyImageList(images);
    return s;
}

std::string PinDataText(LibraryItem* item, uint32_t id) {
    Handle record = item->pinTable ? GetIndexedPinData(item->pinTable, int32_t(id)) : nullptr;
    if (!record) return Format("no pin data %u", id);
    char name[kPinTextSize], signal[kPinTextSize];
    GetPinDataName(record, item->stringBlock, name);
    GetHiddenPinSignalName(record, item->stringBlock, false, signal);
    std::string s = Quoted(name) + Format(" type 0x%02X", GetPinDataType(record, true));
    if (*signal) s += " signal " + Quoted(signal);
    return s;
}

std::string Spec(StringSpec spec, StringBlock block) {
    char text[kStringSpecBufferSize];
    ExtractStringSpec(spec, block, text, sizeof text);
    return Quoted(text);
}

}  // namespace

std::string DumpLibraryItem(LibraryItem* item) {
    if (!item) return "no item\n";
    const StringBlock block = item->stringBlock;
    char text[kLibItemTextSize];
    GetLibraryItemRefPrefix(item, text);
    std::string s = Format("item kind %d prefix ", item->head.kind) + Quoted(text) +
                    FlagText(item->head.flags) + "\n";
    for (int32_t i = 0; i < CountLibraryItemNames(item); ++i) {
        const uint8_t info = GetLibraryItemNameInfo(item, i, text);
        s += "name " + Quoted(text) + Format(" package %d\n", info);
    }
    for (int32_t i = 0; i < item->head.attributeCount; ++i) {
        char name[kAttributeTextSize], value[kAttributeTextSize];
        uint16_t flags = 0;
        GetIndexedAttribute(block, item->attributes, 0, i, name, value, &flags, nullptr);
        s += "attribute " + Quoted(name) + " = " + Quoted(value) + FlagText(flags) + "\n";
    }
    for (int32_t i = 0; i < item->head.symbolCount; ++i) {
        GetLibSymbolName(item, i, text);
        s += Format("symbol %d ", i) + Quoted(text) + Format(" flags 0x%X grid %d place %d res %d",
                                                             GetLibSymbolFlags(item, i),
                                                             GetLibSymbolGrid(item, i),
                                                             GetLibSymbolPlacementOptions(item, i),
                                                             GetLibSymbolResolution(item, i));
        GetLibSymbolSheetName(item, i, text);
        if (*text) s += " sheet " + Quoted(text);
        s += "\n";
        for (int32_t pin = 0; pin < CountLibSymbolPins(item, 0, i); ++pin)
            s += Format("  pin %d ", pin) + PinDataText(item, GetLibSymbolPinDataId(item, 0, i, pin)) + "\n";
        s += DrawingText(item, "main", GetLibSymbolData(item, i, 0));
        s += DrawingText(item, "alternate", GetLibSymbolData(item, i, 1));
    }
    for (int32_t i = 0; i < item->head.packageCount; ++i) {
        char footprint[kLibItemTextSize];
        GetLibPackageName(item, i, text);
        GetLibPackageFootprint(item, i, footprint);
        s += Format("package %d ", i) + Quoted(text) + " " + Quoted(footprint) +
             Format(" set %d\n", GetLibPackagePinSet(item, i));
    }
    for (auto* section = static_cast<LibSection*>(LLFirst(item->sections)); section;
         section = section->next) {
        GetLibSectionSuffix(section, block, text);
        s += "section " + Quoted(text) + Format(" symbol %d pins %d", section->symbolIndex, section->pinCount);
        for (int32_t set = 0; set < kLibPinSetCount; ++set) {
            if (!section->pinNumbers[set]) continue;
            s += Format(" set%d", set);
            for (int32_t pin = 0; pin < section->pinCount; ++pin)
                s += (pin ? "," : " ") + Spec(GetLibSectionPinNumber(section, block, set, pin, nullptr), block);
        }
        s += "\n";
    }
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        for (int32_t i = 0; i < CountLibSymbolPins(item, set, kLibHiddenPins); ++i) {
            uint32_t id = 0;
            GetLibItemHiddenPinInfo(item, set, i, text, &id);
            s += Format("hidden set%d ", set) + Quoted(text) + " " + PinDataText(item, id) + "\n";
        }
    }
    if (item->imageList && DACount(item->imageList->entries)) {
        s += "images";
        int32_t id = -1;
        char* address = nullptr;
        while (DANextAddress(item->imageList->entries, &id, &address))
            s += Format(" %d:%u", id, GetImageListReferenceCount(item->imageList, id));
        s += "\n";
    }
    return s;
}

}  // namespace plexa
