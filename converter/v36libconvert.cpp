// The conversion of version-3.6 libraries.
#include "converter/v36libconvert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "converter/options.h"
#include "converter/output.h"
#include "converter/progress.h"
#include "converter/report.h"
#include "converter/scale72.h"
#include "converter/v36library.h"
#include "converter/v36translate.h"
#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "graphics/textstyle.h"
#include "library/libfile.h"
#include "model/listscale.h"
#include "model/attributes.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/symboldata.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"

namespace plexa {
namespace {

constexpr const char* kSymbolName = "Part 1";
constexpr const char* kSectionSuffix = "A";
constexpr const char* kDefaultPrefix = "U";
constexpr const char* kFootprintAttribute = "Footprint";
constexpr uint32_t kSymbolFlag128 = 128;
constexpr uint8_t kPlaceName = 0x1, kPlaceRefDes = 0x2;
constexpr uint16_t kPinTextIndexMask = 0x3FFF;

struct Pin {
    ElementRecord* element;
    uint16_t value;  // the node value that pin texts name
};

// The drawing of an item while it is built, and its pins.
struct View : V36Drawing {
    std::vector<Pin> pins;  // in the order of the element list once sorted
};

struct ItemHolder {
    LibraryItem* item = nullptr;
    ~ItemHolder() { DestroyLibraryItem(item); }
};

struct HandleHolder {
    Handle handle = nullptr;
    ~HandleHolder() {
        if (handle) MemFree(handle);
    }
};

struct ReadItem {
    V36LibItem item{};
    ~ReadItem() { FreeV36LibItem(&item); }
};

// ---- The canonical order of a view ----

bool IsPin(const ElementRecord* e) { return e->kind == kElementNode; }

template <class T>
void Rebuild(LinkListHeader* list, const std::vector<T>& items) {
    LLRemoveOrFreeAll(list, false);
    for (auto it = items.rbegin(); it != items.rend(); ++it) LLPush(list, *it);
}

// A view that shows an image or a filled shape together with an element of a colour of its own
// keeps the stacking of its graphics.
bool KeepsGraphicsOrder(LinkListHeader* elements) {
    bool layered = false, coloured = false;
    for (void* item = LLFirst(elements); item; item = LLGetNext(elements, item)) {
        const auto* e = static_cast<const ElementRecord*>(item);
        if (e->kind == kElementImage || (e->flags & kElementFilled)) layered = true;
        if (e->flags & (kElementOwnFrameColor | kElementOwnFillColor)) coloured = true;
    }
    return layered && coloured;
}

std::string FontName(const txStyle* style) {
    char name[256] = {};
    if (style) GetStyleFont(style, name);
    std::string folded = name;
    for (char& c : folded) c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return folded;
}

// -1, 0 or 1 as a's style sorts before, with or after b's.
int CompareStyles(const txStyle* a, const txStyle* b) {
    const std::string fa = FontName(a), fb = FontName(b);
    if (fa != fb) return fa < fb ? -1 : 1;
    const int32_t sa = a ? a->size : 0, sb = b ? b->size : 0;
    if (sa != sb) return sa < sb ? -1 : 1;
    const int32_t xa = a ? a->face : 0, xb = b ? b->face : 0;
    return xa == xb ? 0 : xa < xb ? -1 : 1;
}

bool PointBefore(Point a, Point b) { return a.v != b.v ? a.v < b.v : a.h < b.h; }

void SortView(View& view) {
    std::vector<ElementRecord*> elements = V36ListItems<ElementRecord*>(view.elements);
    const bool keep = KeepsGraphicsOrder(view.elements);
    std::stable_sort(elements.begin(), elements.end(),
                     [keep](const ElementRecord* a, const ElementRecord* b) { return V36ElementBefore(a, b, keep); });
    Rebuild(view.elements, elements);
    std::vector<Pin> pins;
    for (ElementRecord* e : elements)
        for (const Pin& pin : view.pins)
            if (pin.element == e) pins.push_back(pin);
    view.pins = pins;

    std::vector<TextRecord*> texts = V36ListItems<TextRecord*>(view.texts);
    for (TextRecord* text : texts) {
        if (text->kind < kTextKindPinNumber) continue;
        for (size_t i = 0; i < view.pins.size(); ++i)
            if (text->owner == int64_t(reinterpret_cast<intptr_t>(view.pins[i].element)))
                text->kind = uint16_t((text->kind & ~kPinTextIndexMask) | i);
    }
    auto length = [&view](const TextRecord* t) {
        char string[kTextStringSize];
        return GetTextRecordString(t, view.block, string, sizeof string);
    };
    std::stable_sort(texts.begin(), texts.end(), [&](const TextRecord* a, const TextRecord* b) {
        const bool ta = a->flags & kTextFlagThemed, tb = b->flags & kTextFlagThemed;
        if (ta != tb) return !ta;
        if (!ta) {
            if (const int c = CompareStyles(a->style, b->style)) return c < 0;
        }
        const int32_t la = length(a), lb = length(b);
        if (la != lb) return la > lb;
        return PointBefore(a->position, b->position);
    });
    Rebuild(view.texts, texts);

    std::vector<TextFrameHandle> frames = V36ListItems<TextFrameHandle>(view.frames);
    std::stable_sort(frames.begin(), frames.end(), [](TextFrameHandle a, TextFrameHandle b) {
        const bool ta = (*a)->flags & kFrameFlagThemed, tb = (*b)->flags & kFrameFlagThemed;
        if (ta != tb) return !ta;
        if (!ta) {
            if (const int c = CompareStyles((*a)->style, (*b)->style)) return c < 0;
        }
        return PointBefore((*a)->position, (*b)->position);
    });
    Rebuild(view.frames, frames);
}

// The connection point of the pin nearest (0, 0), the first of equally near ones; without pins
// the top-left corner of the elements' rectangles.
Point ViewOrigin(LinkListHeader* elements) {
    bool pin = false;
    int64_t nearest = 0;
    Point origin{0, 0};
    Rect all = kSymbolDataEmptyRect;
    for (void* item = LLFirst(elements); item; item = LLGetNext(elements, item)) {
        const auto* e = static_cast<const ElementRecord*>(item);
        if (IsPin(e)) {
            const Point p = e->points.point1;
            const auto distance = int64_t(std::lround(std::sqrt(double(p.v) * p.v + double(p.h) * p.h)));
            if (!pin || distance < nearest) {
                nearest = distance;
                origin = p;
            }
            pin = true;
            continue;
        }
        Rect r = V36DefiningRect(e);
        if (e->kind == kElementArc) GetMinimumArcBounds(e, &r);
        all.top = std::min(all.top, std::min(r.top, r.bottom));
        all.left = std::min(all.left, std::min(r.left, r.right));
    }
    return pin ? origin : Point{all.top, all.left};
}

// The view as symbol display data relative to its origin, or none for a view without an element
// other than a pin. Frames that hold a field reference are recorded as field-reference texts.
// False when memory failed.
bool FlattenView(View& view, Handle* data) {
    *data = nullptr;
    bool graphics = false;
    for (void* item = LLFirst(view.elements); item; item = LLGetNext(view.elements, item))
        graphics = graphics || !IsPin(static_cast<const ElementRecord*>(item));
    if (!graphics) return true;
    for (TextFrameHandle frame : V36ListItems<TextFrameHandle>(view.frames)) {
        char text[kTextStringSize];
        GetTextFrameTextAsString(frame, false, sizeof text, text);
        char name[kTextStringSize];
        bool at = false;
        if (!ParseAttrTextName(text, int32_t(sizeof text), name, int32_t(sizeof name), &at)) continue;
        TextRecord* field = CreateTextElementFromTextFrame(frame, kTextKindSymbolAttribute, view.block,
                                                           nullptr, nullptr, false, view.styles);
        if (!field) return false;
        LLPush(view.texts, field);
        // The frame is the field text now; it goes with the view's texts.
        LLRemoveOrFree(view.frames, frame, nullptr, true);
    }
    SortView(view);
    const Point origin = ViewOrigin(view.elements);
    OffsetElementList(view.elements, Point{int16_t(-origin.v), int16_t(-origin.h)});
    OffsetTextList(view.texts, uint32_t(uint16_t(-origin.h)) << 16 | uint16_t(-origin.v));
    OffsetTextFrameList(view.frames, int16_t(-origin.h), int16_t(-origin.v));
    *data = ElementsToSymbolData(view.elements, view.texts, view.frames, view.block, false, nullptr);
    return *data != nullptr;
}

// ---- Texts ----

bool HasPrefixNoCase(const std::string& text, const char* prefix) {
    return StrCINCmp(text.c_str(), prefix, uint16_t(std::strlen(prefix))) == 0 &&
           text.size() >= std::strlen(prefix);
}

// What building one item needs while its texts are read.
class ItemBuilder {
public:
    ItemBuilder(const V36LibItem& old, View& view, LibraryItem* item, LibSection* section,
                const std::vector<txStyle*>& styles, txStyle* fallback)
        : old_(old), view_(view), item_(item), section_(section), styles_(styles), fallback_(fallback) {}

    uint8_t placement() const { return placement_; }

    OSStatus LoadText(const V36TextRecord& record) {
        const std::string text = V36BlockText(old_.strings, record.text);
        const std::string macro =
            (record.flagsB & kV36TextMacro) ? V36BlockText(old_.strings, record.macro) : std::string();
        if (record.kind > 0) return PinText(record, text, macro);
        switch (record.kind) {
            case kV36TextDesignator:
                if (record.flagsA & kV36TextPinNumberOrFrame) return AddFrame(record, text);
                return AddText(record, view_.pins.empty() ? kTextKindDesignator : kTextKindCompDesignator,
                               text, macro, nullptr);
            case kV36TextAttribute: {
                const std::string name = GetMappedAttributeName(
                    (record.flagsA & kV36TextSecondAttribute) ? kAttrNameSecondEntry : kAttrNameValueEntry);
                if (OSStatus st = SetAttribute(name, EscapeAttributeValue(text))) return st;
                return AddFrame(record, "{" + name + "}");
            }
            case kV36TextFree: return FreeText(record, text, macro);
            case kV36TextName: return AddText(record, kTextKindSymbolName, text, macro, nullptr);
            case kV36TextSpice:
                return SetAttribute(GetMappedAttributeName(kAttrNameSpiceEntry),
                                    V36ReplaceValueMacro(EscapeAttributeValue(text),
                                                         "{" + GetMappedAttributeName(kAttrNameValueEntry) + "}"));
            case kV36TextPartFields: return PartFields(text);
            default: return AddText(record, kTextKindFree, text, macro, nullptr);
        }
    }

private:
    txStyle* StyleOf(const V36TextRecord& record) const {
        return record.style < styles_.size() ? styles_[record.style] : fallback_;
    }

    Point Anchor(const V36TextRecord& record, txStyle* style, uint16_t rotation) const {
        StyleMetrics metrics{};
        GetStyleMetrics(style, &metrics);
        return CalcTextBaseLineFromV6Bounds(record.bounds, metrics.ascent, rotation);
    }

    OSStatus SetAttribute(const std::string& name, const std::string& value) {
        if (name.empty()) return status::kNoErr;
        const int16_t before = item_->head.attributeCount;
        const int16_t found =
            SetAttributeValue(item_->stringBlock, item_->attributes, 0, &item_->head.attributeCount,
                              name.c_str(), value.empty() ? kAttributeEmptyValue : value.c_str(), nullptr);
        // A name that was absent and is still not there could not be stored.
        return (found & kAttributeAbsent) && item_->head.attributeCount == before ? status::kOutOfMemory
                                                                                  : status::kNoErr;
    }

    OSStatus AddText(const V36TextRecord& record, uint16_t kind, const std::string& text,
                     const std::string& macro, ElementRecord* owner) {
        TextRecord* t = CreateTextElement();
        if (!t) return status::kOutOfMemory;
        t->kind = kind;
        t->flags = ConvertV36TextFlags(record.flagsA);
        t->style = StyleOf(record);
        if (owner) t->owner = int64_t(reinterpret_cast<intptr_t>(owner));
        SetTextRecordString(t, view_.block, text.c_str());
        std::string rewritten;
        if ((record.flagsB & kV36TextMacro) && ConvertMacroString(macro, &rewritten)) {
            SetTextRecordMacroString(t, view_.block, rewritten.c_str());
            t->flags |= kTextFlagMacro;
        }
        t->position = Anchor(record, t->style, t->flags & kTextFlagRotation);
        CalcTextBounds(nullptr, t, view_.block);
        LLPush(view_.texts, t);
        return status::kNoErr;
    }

    OSStatus AddFrame(const V36TextRecord& record, const std::string& text) {
        TextRecord* t = CreateTextElement();
        if (!t) return status::kOutOfMemory;
        // A frame keeps a text's rotation; it cannot be hidden.
        t->flags = ConvertV36TextFlags(record.flagsA) & kTextFlagRotation;
        t->style = StyleOf(record);
        t->position = Anchor(record, t->style, t->flags);
        SetTextRecordString(t, view_.block, text.c_str());
        TextFrameHandle frame = CreateTextFrameFromTextElement(t, view_.block, view_.styles, true, nullptr);
        MemFreePtr(reinterpret_cast<Ptr>(t));
        if (!frame) return status::kOutOfMemory;
        LLPush(view_.frames, frame);
        return status::kNoErr;
    }

    OSStatus PinText(const V36TextRecord& record, const std::string& text, const std::string& macro) {
        for (size_t i = 0; i < view_.pins.size(); ++i) {
            const Pin& pin = view_.pins[i];
            if (pin.value != uint16_t(record.kind)) continue;
            uint16_t kind;
            if (record.flagsA & kV36TextPinNumberOrFrame) {
                if (!SetLibSectionPinNumber(section_, item_->stringBlock, 0, int32_t(i), text.c_str()) &&
                    !text.empty())
                    return status::kOutOfMemory;
                kind = uint16_t(kTextKindPinNumber | i);
            } else {
                SetPinDataName(ElementAs<NodeElement>(pin.element)->pinData, item_->stringBlock, text.c_str());
                kind = uint16_t(kTextKindPinName | i);
            }
            return AddText(record, kind, text, macro, pin.element);
        }
        return status::kNoErr;  // a text of no pin is dropped
    }

    OSStatus FreeText(const V36TextRecord& record, const std::string& text, const std::string& macro) {
        const std::string& source = (record.flagsB & kV36TextMacro) ? macro : text;
        std::string shown;
        if (ConvertMacroString(source, &shown)) return AddFrame(record, shown);
        if (HasPrefixNoCase(source, "\\N")) {
            placement_ |= kPlaceName;
            return AddFrame(record, "{Name}");
        }
        if (HasPrefixNoCase(source, "\\L")) {
            std::string prefix = source.substr(2);
            prefix.erase(0, prefix.find_first_not_of(' '));
            prefix.erase(prefix.find_last_not_of(' ') + 1);
            if (!prefix.empty()) SetLibraryItemRefPrefix(item_, prefix.c_str());
            placement_ |= kPlaceRefDes;
            return AddFrame(record, "{RefDes}");
        }
        return AddFrame(record, text);
    }

    OSStatus PartFields(const std::string& text) {
        const StringFields fields = ExtractStringFields(text);
        const std::string footprint = BuildFootprintString(fields);
        int32_t first = 1;
        if (!footprint.empty()) {
            if (OSStatus st = SetAttribute(kFootprintAttribute, EscapeAttributeValue(footprint))) return st;
            first = 4;
        }
        for (int32_t i = first; i < kSymbolFieldCount; ++i) {
            if (fields[size_t(i)].empty()) continue;
            if (OSStatus st = SetAttribute(GetStringFieldInfo(i), EscapeAttributeValue(fields[size_t(i)])))
                return st;
        }
        return status::kNoErr;
    }

    const V36LibItem& old_;
    View& view_;
    LibraryItem* item_;
    LibSection* section_;
    const std::vector<txStyle*>& styles_;
    txStyle* fallback_;
    uint8_t placement_ = 0;
};

OSStatus BuildItem(const V36LibItem& old, const V36LibraryEntry& entry, LibraryItem* item) {
    View view;
    if (!view.Make()) return status::kOutOfMemory;

    // The drawing's elements, each pin with a pin-data record of its type.
    std::vector<ElementRecord*> built;
    for (uint32_t i = 0; i < old.elements.count; ++i) {
        const V36Element& stored = old.elements.items[i];
        OSStatus st = status::kNoErr;
        ElementRecord* e = BuildV36Element(stored, old.images, view.images, true, &st);
        if (st) {
            for (ElementRecord* made : built) DestroyElement(made, view.images);
            return st;
        }
        if (!e) continue;
        built.push_back(e);
        if (IsPin(e)) view.pins.push_back(Pin{e, stored.data[1]});
    }
    Rebuild(view.elements, built);
    if (gConvert96DPI) ScaleElementList(view.elements, kConvertedResolution, kV36Resolution);
    SortView(view);

    // The styles the texts name. Their sizes are of 72 units per inch in either byte order and are
    // scaled once, with the drawing.
    std::vector<txStyle*> styles;
    if (!BuildV36TextStyles(old.styles, false, view.styles, &styles)) return status::kOutOfMemory;
    txStyle* fallback = styles.empty() ? nullptr : styles.front();
    if (!fallback) {
        txStyle* standard = CreateTextStyle(nullptr, gDefaultStyle);
        fallback = standard ? InstallStyleInList(standard, view.styles) : nullptr;
        DestroyTextStyle(standard);
        if (!fallback) return status::kOutOfMemory;
    }

    if (old.strings) {
        StringBlockHeader header;
        std::memcpy(&header, *old.strings, sizeof header);
        if (header.used > kStringBlockHeaderSize) SetLibraryItemRefPrefix(item, kDefaultPrefix);
    }
    const std::string name = V36LibraryEntryName(entry);
    if (!SetLibraryItemNameInfo(item, kLibAppendName, name.c_str(), 0))
        return name.empty() ? kV36BadRecord : status::kOutOfMemory;

    const size_t pinCount = view.pins.size();
    auto* ids = pinCount ? reinterpret_cast<uint16_t*>(AllocPtrClear(nullptr, uint32_t(pinCount * 2))) : nullptr;
    if (pinCount && !ids) return status::kOutOfMemory;
    if (AddLibSymbolDef(item, kSymbolName, nullptr, nullptr, nullptr, ids) < 0) return status::kOutOfMemory;
    if (old.head.flags & kV36LibItemFlag128) SetLibSymbolFlags(item, 0, kSymbolFlag128);

    LibSection* section = CreateLibSection();
    if (!section) return status::kOutOfMemory;
    section->symbolIndex = 0;
    if (pinCount && (!SetLibSectionPinCount(section, int32_t(pinCount)) ||
                     !CreateLibSectionPinSet(section, 0, -1))) {
        DestroyLibSection(section);
        return status::kOutOfMemory;
    }
    AddSectionToLibItem(item, section, false);
    SetLibSectionSuffix(section, item->stringBlock, kSectionSuffix);

    ItemBuilder builder(old, view, item, section, styles, fallback);
    for (uint32_t i = 0; i < old.head.textCount; ++i)
        if (OSStatus st = builder.LoadText(old.texts[i])) return st;
    if (gConvert96DPI) {
        ScaleTextList(view.texts, view.styles, view.block, nullptr, kConvertedResolution, kV36Resolution, false);
        ScaleTextFrameList(view.frames, view.styles, nullptr, kConvertedResolution, kV36Resolution, false);
    }
    uint8_t placement = builder.placement();
    if (gConvertShowName) placement |= kPlaceName;
    if (gConvertShowRefDes) placement |= kPlaceRefDes;
    SetLibSymbolPlacementOptions(item, 0, placement);
    if (old.head.classId != 0 && gConvertClassID) {
        const std::string value = std::to_string(old.head.classId);
        SetAttributeValue(item->stringBlock, item->attributes, 0, &item->head.attributeCount,
                          GetMappedAttributeName(kAttrNameClassIDEntry).c_str(), value.c_str(), nullptr);
    }

    for (size_t i = 0; i < pinCount; ++i) {
        const int32_t id = AddPinDataToTable(item->pinTable, ElementAs<NodeElement>(view.pins[i].element)->pinData);
        if (id < 0 || !SetLibSymbolPinDataId(item, 0, 0, int32_t(i), uint32_t(id))) return status::kOutOfMemory;
    }

    HandleHolder data;
    if (!FlattenView(view, &data.handle)) return status::kOutOfMemory;
    if (!data.handle) return status::kNoErr;  // nothing but pins: the definition has no drawing
    Ptr drawing = AllocPtrWithData(nullptr, *data.handle, SizeOfHandle(data.handle));
    if (!drawing) return status::kOutOfMemory;
    return SetLibSymbolData(item, 0, 0, drawing, view.images);
}

}  // namespace

OSStatus TranslateV36LibItem(const V36LibItem& old, const V36LibraryEntry& entry, LibraryItem** out) {
    *out = nullptr;
    ItemHolder holder;
    const OSStatus st = CatchSignals([&] {
        holder.item = CreateLibraryItem(kLibItemComponent);
        if (!holder.item) FailureSignal(status::kOutOfMemory);
        Signal(BuildItem(old, entry, holder.item));
    });
    if (st == status::kNoErr) std::swap(*out, holder.item);
    return st;
}

OSStatus TranslateLibraryItem(StreamRecord* stream, MemPool pool, const V36LibraryEntry& entry,
                              LibraryFileRecord* library) {
    ReadItem read;
    if (OSStatus st = ReadV36LibItem(stream, pool, entry, &read.item)) return st;
    ItemHolder item;
    if (OSStatus st = TranslateV36LibItem(read.item, entry, &item.item)) return st;
    OSStatus st = status::kNoErr;
    HandleHolder flat;
    // A converted item is finished: definitions without a drawing or a section are dropped (an
    // item being edited keeps them through the flatten).
    PurgeEmptyUnusedParts(item.item);
    flat.handle = FlattenLibraryItem(item.item, true, 0, &st);
    if (!flat.handle) return st;
    uint32_t block = 0;
    return WriteLibraryFileItem(library, flat.handle, true, &block);
}

OSStatus ConvertV36LibraryFile(const FileSpec* source, uint32_t* written, uint32_t* items, std::string* output) {
    if (written) *written = 0;
    if (items) *items = 0;
    if (output) output->clear();
    if (!source) return status::kParamErr;
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(source, false, &path)) return st;
    StreamRecord* stream = nullptr;
    if (OSStatus st = OpenFileStream(path.c_str(), true, &stream)) return st;
    struct Closer {
        StreamRecord* stream;
        V36Library library{};
        FileSpec folder{};
        bool created = false;  // the libraries folder was made for this library
        bool written = false;
        ~Closer() {
            FreeV36Library(&library);
            (void)CloseAndMaybeFlushFileStream(stream, false);  // read only: nothing to flush
            DestroyLibProgressWindow();
            if (created && !written) RemoveEmptyOutputFolder(&folder);
        }
    } open{stream};
    if (OSStatus st = ReadV36Library(stream, nullptr, &open.library)) return st;
    const uint16_t count = open.library.header.itemCount;
    if (items) *items = count;
    if (count == 0) return status::kNoErr;  // nothing to write

    const std::string message = std::string("Converting: ") + source->name;
    CreateLibProgressWindow(count, message.c_str(), 0);
    FileSpec target;
    if (OSStatus st = OutputLibraryFolder(source, true, &open.folder, &open.created)) return st;
    if (OSStatus st = OutputFileSpec(&open.folder, OutputLibraryFileName(source->name), &target)) return st;
    OutputFile out;
    if (OSStatus st = BeginOutputFile(&target, &out)) return st;
    LibraryFileRecord library{};
    OSStatus st = CreateLibraryFile(&out.pending);
    if (st == status::kNoErr) st = OpenLibraryFile(&out.pending, &library, kLibraryOpenLoadMap);
    if (st) {
        AbandonOutputFile(&out);
        return st;
    }
    uint32_t done = 0;
    for (uint32_t i = 0; i < count && st == status::kNoErr; ++i) {
        st = CatchSignals([&] { Signal(TranslateLibraryItem(stream, nullptr, open.library.entries[i], &library)); });
        if (st == status::kNoErr) ++done;
        StepLibProgressBar();
    }
    // The items written stay, also when a later one failed.
    const OSStatus closed = CloseLibraryFile(&library);
    if (st == status::kNoErr) st = closed;
    if (closed != status::kNoErr || done == 0) {
        AbandonOutputFile(&out);
        return st;
    }
    if (OSStatus committed = CommitOutputFile(&out)) return st ? st : committed;
    open.written = true;
    ConverterLog("\"%s\": wrote \"%s\" with %u of %u items", path.c_str(), OutputPath(&target).c_str(),
                 unsigned(done), unsigned(count));
    if (written) *written = done;
    if (output) *output = OutputPath(&target);
    return st;
}

}  // namespace plexa
