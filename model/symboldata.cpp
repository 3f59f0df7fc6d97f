// Symbol display data; the stored form is described in symboldata.h.
//
// The writer draws the lists through a capture on the measuring state; the reader and the pin
// walkers play the list into that state through the null drawing procedures with some slots
// replaced, and the image walkers only walk its comments. A reading runs in one context object
// that its drawing procedures find through `gReader` while the list plays.
#include "model/symboldata.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/assert.h"
#include "foundation/byteswap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/displaylist.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/offscreen.h"
#include "graphics/pixels.h"
#include "graphics/textstyle.h"
#include "model/attributes.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/modelhooks.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"

namespace plexa {

namespace {

// The kind a text had in data older than version 257 when it was a text frame.
constexpr uint16_t kLegacyFrameTextKind = 16;
constexpr uint32_t kStyleFields = kStyleFont | kStyleSize | kStyleFace;
constexpr uint16_t kPendingColorFlags = kElementOwnFrameColor | kElementOwnFillColor;
constexpr int32_t kTextStringBytes = kTextStringSize - 1;

// Reading states.
enum : uint16_t {
    kStateArrow = 2,
    kStatePins = 8,
    kStateImage = 9,
    kStateGraphics = 64,
    kStateText = 128,
    kStateFrameText = 129,
};

// The bytes a comment's payload needs (228: its fixed part; the line starts are checked apart).
int32_t CommentNeeds(int16_t kind) {
    switch (kind) {
        case kSymCommentHeader:
        case kSymCommentArrow: return 8;
        case kSymCommentText:
        case kSymCommentFrame:
        case kSymCommentFrameColor:
        case kSymCommentFillColor: return 4;
        case kSymCommentImage: return 10;
        default: return 0;
    }
}

// Copies the fields of a comment that its kind needs into `out` in this machine's order; false
// when the comment is shorter.
bool TakeComment(int16_t kind, const void* data, int32_t length, bool swapped, void* out) {
    const int32_t needs = CommentNeeds(kind);
    if (length < needs || (needs && !data)) return false;
    if (needs == 0) return true;
    std::memcpy(out, data, size_t(needs));
    if (swapped) ByteSwapSymbolDispalyComment(kind, out, needs);
    return true;
}

#pragma pack(push, 2)
struct HeaderComment {
    uint16_t version;
    uint16_t pinCount;
    uint32_t zero;
};
struct ArrowComment {
    int16_t dv, dh;
    int16_t headLength, headAngle;
};
struct TextComment {
    uint16_t kind, flags;
};
struct FrameComment {
    uint16_t flags, lineCount;
};
struct ImageComment {
    uint32_t id;
    uint16_t hResolution, vResolution;
    uint8_t orientation;
    uint8_t spare;
};
#pragma pack(pop)
static_assert(sizeof(HeaderComment) == 8 && sizeof(ArrowComment) == 8);
static_assert(sizeof(TextComment) == 4 && sizeof(FrameComment) == 4 && sizeof(ImageComment) == 10);

// The union of two rectangles where {32767, 32767, -32767, -32767} is empty.
void Unite(Rect* into, const Rect& r) {
    into->top = std::min(into->top, r.top);
    into->left = std::min(into->left, r.left);
    into->bottom = std::max(into->bottom, r.bottom);
    into->right = std::max(into->right, r.right);
}

Point Pen() {
    Point p;
    VXGetPenPosition(&p);
    return p;
}

bool ThemedText(uint16_t flags) { return flags & kTextFlagThemed; }

// ---- Writing ----

void Comment(int16_t kind, const void* data = nullptr, int32_t length = 0) {
    VXAddDisplayComment(kind, data, length);
}

void RecordColors(const ElementRecord* e) {
    if (e->flags & kElementOwnFrameColor) Comment(kSymCommentFrameColor, &e->frameColor, 4);
    if (e->flags & kElementOwnFillColor) Comment(kSymCommentFillColor, &e->fillColor, 4);
    if (e->kind != kElementNode && (e->flags & kElementFilled) && (e->flags & kElementOptionalFill))
        Comment(kSymCommentOptionalFill);
}

void RecordText(const TextRecord* text, StringBlock block) {
    const uint16_t kind = text->kind;
    uint16_t flags = text->flags;
    char string[kTextStringSize] = {};
    if (kind >= kTextKindPinNumber && kind < kTextKindPinAttribute) {
        string[0] = kind >= kTextKindPinName ? '$' : '#';
    } else {
        if (((flags & kTextFlagMacro) ? text->macroText : text->text) == 0) return;
        GetTextRecordMacroString(text, block, string, sizeof string);
        char name[kTextStringSize - 2];
        bool at = false;
        if (kind == kTextKindSymbolAttribute &&
            ParseAttrTextName(string, int32_t(sizeof string), name, int32_t(sizeof name), &at)) {
            if (at) flags |= kTextFlagHidden;
            std::snprintf(string, sizeof string, "{%s}", name);
        }
    }
    const auto length = int32_t(std::strlen(string));
    if (length == 0) return;  // nothing would be recorded for the comment to announce
    const TextComment comment{kind, flags};
    Comment(kSymCommentText, &comment, sizeof comment);
    if (!ThemedText(text->flags) && text->style) VXSetTextStyle(text->style);
    VXMoveTo(text->position.h, text->position.v);
    VXDrawTextWithEncoding(string, length, kEncodingUTF8);
}

// The line starts of a frame whose recorded text has `recorded` UTF-16 units: the frame's own
// when they describe its text (cut where the recorded text was cut); none (a single line) when
// the frame has fewer than two lines or its starts do not fit its text.
std::vector<uint32_t> RecordedLineStarts(TextFrameHandle frame, uint32_t recorded) {
    const uint16_t count = (*frame)->lineCount;
    const Handle handle = (*frame)->lineStarts;
    const uint32_t entries = handle ? SizeOfHandle(handle) / 4 : 0;
    if (count < 2 || entries < uint32_t(count) + 1) return {};
    std::vector<uint32_t> starts(count + 1u);
    std::memcpy(starts.data(), *handle, starts.size() * 4);
    if (!std::is_sorted(starts.begin(), starts.end()) || starts.back() != (*frame)->textLength)
        return {};
    if (recorded != starts.back()) {
        starts.erase(std::lower_bound(starts.begin(), starts.end(), recorded), starts.end());
        starts.push_back(recorded);
        if (starts.size() < 3) return {};
    }
    return starts;
}

void RecordFrame(TextFrameHandle frame) {
    uint32_t units = 0;
    const char16_t* source = GetTextFrameUnicodeText(frame, false, &units);
    const std::u16string text(source, units);
    std::string utf8(GetCFStringByteSize(text, kEncodingUTF8), '\0');
    ExtractCFStringTo(text, utf8.data(), uint32_t(utf8.size()), kEncodingUTF8);
    utf8.pop_back();  // the terminator
    const int32_t count = DLCutUTF8(utf8.data(), int32_t(utf8.size()), kDLMaxTextBytes);
    if (count == 0) return;  // an empty text records nothing
    std::u16string recorded;
    DecodeTextLossy(utf8.data(), size_t(count), kEncodingUTF8, &recorded);
    const std::vector<uint32_t> starts = RecordedLineStarts(frame, uint32_t(recorded.size()));
    const uint16_t lines = starts.empty() ? std::min<uint16_t>((*frame)->lineCount, 1)
                                          : uint16_t(starts.size() - 1);
    std::vector<uint8_t> payload(sizeof(FrameComment) + starts.size() * 4);
    const FrameComment comment{(*frame)->flags, lines};
    std::memcpy(payload.data(), &comment, sizeof comment);
    if (!starts.empty())
        std::memcpy(payload.data() + sizeof comment, starts.data(), starts.size() * 4);
    Comment(kSymCommentFrame, payload.data(), int32_t(payload.size()));
    if (!((*frame)->flags & kFrameFlagThemed) && (*frame)->style) VXSetTextStyle((*frame)->style);
    VXMoveTo((*frame)->position.h, (*frame)->position.v);
    VXDrawTextWithEncoding(utf8.data(), count, kEncodingUTF8);
}

void RecordTexts(LinkListHeader* texts, LinkListHeader* frames, StringBlock block) {
    VXSetDefaultTextStyle(kStyleUser);
    for (const bool themed : {true, false}) {
        for (void* item = LLFirst(texts); item; item = LLGetNext(texts, item)) {
            const auto* text = static_cast<const TextRecord*>(item);
            if (ThemedText(text->flags) == themed) RecordText(text, block);
        }
        for (void* item = LLFirst(frames); item; item = LLGetNext(frames, item)) {
            auto frame = static_cast<TextFrameHandle>(item);
            if (bool((*frame)->flags & kFrameFlagThemed) == themed) RecordFrame(frame);
        }
    }
}

// Records one image element; false when its image could not be added to the destination.
bool RecordImage(ElementRecord* e, ImageList* images, ImageList* destination, Rect* bounds,
                 std::vector<int32_t>* taken) {
    auto* element = ElementAs<ImageElement>(e);
    VXPixels* pixels = GetImageFromImageList(images, element->imageId, false);
    if (!pixels) return true;  // an image the list does not hold is left out
    int32_t id = element->imageId;
    if (destination) {
        id = AddImageToImageList(destination, pixels);
        if (id < 0) return false;
        taken->push_back(id);
    }
    CalcElementBounds(e);
    Unite(bounds, e->bounds);
    const ImageComment comment{uint32_t(id), uint16_t(element->hResolution),
                               uint16_t(element->vResolution), element->orientation, 0};
    Comment(kSymCommentImage, &comment, sizeof comment);
    if (pixels->depth == 8) RecordColors(e);
    else e->flags &= uint16_t(~kElementFilled);
    ElementRecord shape = *e;  // the head alone: drawn as a rectangle
    shape.kind = kElementRect;
    RecordElement(&shape, images);
    return true;
}

// Records the pins and the graphics; the rectangles of both; false when an image could not be
// added to the destination.
bool RecordElements(LinkListHeader* elements, bool pinGroup, ImageList* destination,
                    SymbolDataHead* head, std::vector<int32_t>* taken) {
    ImageList* images = GetElementListImageList(elements);
    std::vector<ElementRecord*> list;
    for (void* item = LLFirst(elements); item; item = LLGetNext(elements, item))
        list.push_back(static_cast<ElementRecord*>(item));
    // Every pin of the list goes into the pin group, so that none is lost among the graphics.
    const auto isPin = [pinGroup](const ElementRecord* e) {
        return pinGroup && e->kind == kElementNode;
    };
    const HeaderComment header{kSymbolDataVersion,
                               uint16_t(std::count_if(list.begin(), list.end(), isPin)), 0};
    Comment(kSymCommentHeader, &header, sizeof header);
    Rect pins = kSymbolDataEmptyRect;
    for (ElementRecord* e : list) {
        if (!isPin(e)) continue;
        CalcElementBounds(e);
        Unite(&pins, e->bounds);
        RecordColors(e);
        RecordElement(e, images);
    }
    Comment(kSymCommentPinsEnd);
    head->graphics = kSymbolDataEmptyRect;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        ElementRecord* e = *it;
        if (isPin(e)) continue;
        if (e->kind == kElementImage) {
            if (!RecordImage(e, images, destination, &head->graphics, taken)) return false;
            continue;
        }
        if (e->kind == kElementPoly && ElementAs<PolyElement>(e)->pointCount < 2) continue;
        CalcElementBounds(e);
        Unite(&head->graphics, e->bounds);
        if (e->kind == kElementArrow) {
            const auto* arrow = ElementAs<ArrowElement>(e);
            const ArrowComment comment{
                int16_t(e->points.point2.v - e->points.point1.v),
                int16_t(e->points.point2.h - e->points.point1.h), arrow->headLength,
                arrow->headAngle};
            Comment(kSymCommentArrow, &comment, sizeof comment);
        }
        RecordColors(e);
        RecordElement(e, images);
    }
    head->all = head->graphics;
    Unite(&head->all, pins);
    return true;
}

// ---- Reading ----

struct Pending {
    uint32_t frameColor = 0;
    uint32_t fillColor = 0;
    uint16_t flags = 0;       // kElementOwnFrameColor, kElementOwnFillColor, kElementOptionalFill
    bool fill = false;        // the next shape or polygon is filled
    // The comment area.
    int32_t bubbleWidth = 0;
    bool bubblePaint = false;
    ArrowComment arrow{};
    TextComment text{};
    FrameComment frame{};
    ImageComment image{};
};

struct SymbolDataReader {
    ~SymbolDataReader() {
        if (lineStarts) MemFree(lineStarts);
        for (ElementRecord* e : head) DestroyElement(e, elementImages);
        for (ElementRecord* e : tail) DestroyElement(e, elementImages);
        for (TextRecord* t : newTexts) MemFreePtr(t);
        for (TextFrameHandle f : newFrames) DestroyTextFrame(f);
    }

    // What to fill.
    ImageList* sourceImages = nullptr;
    LinkListHeader* elements = nullptr;
    LinkListHeader* texts = nullptr;
    LinkListHeader* frames = nullptr;
    TextStyleList* styles = nullptr;
    StringBlock block = nullptr;
    SheetRecord* sheet = nullptr;
    ImageList* elementImages = nullptr;

    HeaderComment header{};
    uint16_t state = kStatePins;
    Pending pending;
    Handle lineStarts = nullptr;  // of the frame text announced last
    // The elements read: the first `insert index` of them, and the rest.
    std::deque<ElementRecord*> head, tail;
    bool reversed = false;
    std::vector<TextRecord*> newTexts;
    std::vector<TextFrameHandle> newFrames;
    OSStatus status = status::kNoErr;

    void Fail(OSStatus s) {
        if (!status) status = s;
    }
    size_t ElementCount() const { return head.size() + tail.size(); }
    ElementRecord* ElementAt(size_t i) const {
        return i < head.size() ? head[i] : i - head.size() < tail.size() ? tail[i - head.size()]
                                                                          : nullptr;
    }
    void ReverseElements() {
        std::vector<ElementRecord*> all(head.begin(), head.end());
        all.insert(all.end(), tail.begin(), tail.end());
        std::reverse(all.begin(), all.end());
        const auto split = all.begin() + std::ptrdiff_t(head.size());
        head.assign(all.begin(), split);
        tail.assign(split, all.end());
        reversed = true;
    }
};

SymbolDataReader* gReader = nullptr;

// The reader whose drawing procedures may make something now.
SymbolDataReader* Active() { return gReader && !gReader->status ? gReader : nullptr; }

bool SamePolygon(const ElementRecord* a, const ElementRecord* b) {
    if (!a || a->kind != kElementPoly || a->penWidth != b->penWidth) return false;
    const int16_t count = ElementAs<PolyElement>(a)->pointCount;
    return count == ElementAs<PolyElement>(b)->pointCount &&
           std::memcmp(PolyPoints(a), PolyPoints(b), size_t(count) * 4) == 0;
}

// Pins go to the head of the list, everything else to the insert index, which then advances. A
// polygon that repeats the first element (older lists paint a filled polygon, then frame it) is
// dropped when it is not filled, and replaces that element when it is.
void AddOneElement(SymbolDataReader& r, ElementRecord* e) {
    if (e->kind == kElementNode) {
        r.head.push_front(e);
        r.tail.push_front(r.head.back());
        r.head.pop_back();
        return;
    }
    if (e->kind == kElementPoly) {
        ElementRecord* first = r.ElementAt(0);
        if (SamePolygon(first, e)) {
            if (!(e->flags & kElementFilled)) {
                DestroyElement(e, r.elementImages);
                return;
            }
            if (r.head.empty()) r.tail.pop_front();
            else r.head.pop_front();
            DestroyElement(first, r.elementImages);
        }
    }
    r.head.push_back(e);
}

ElementParamRecord Params(const SymbolDataReader& r, uint8_t kind) {
    ElementParamRecord p{};
    p.kind = kind;
    p.penWidth = int16_t(VXGetPenWidth());
    p.frameColor = r.pending.frameColor;
    p.fillColor = r.pending.fillColor;
    p.flags = r.pending.flags;
    return p;
}

void Add(SymbolDataReader& r, ElementParamRecord& p) {
    r.pending.flags = 0;
    ElementRecord* e = BuildElement(&p);
    if (!e) return r.Fail(status::kOutOfMemory);
    AddOneElement(r, e);
}

void ReadLine(int16_t h, int16_t v) {
    SymbolDataReader* r = Active();
    if (!r || !r->elements) return;
    const Point from = Pen(), to{v, h};
    switch (r->state) {
        case kStatePins: {
            ElementParamRecord p = Params(*r, kElementNode);
            p.flags &= kPendingColorFlags;
            p.point1 = to;
            p.point2 = from;
            p.filled = r->pending.bubblePaint;
            if (const int32_t d = r->pending.bubbleWidth) {
                p.extra[1] = int16_t(std::min(d / 2, 255));
                NodeElement probe{};
                probe.head.points = {to, from};
                switch (Node_Orient(&probe.head)) {
                    case 1: p.point2.h = int16_t(p.point2.h - d); break;
                    case 3: p.point2.h = int16_t(p.point2.h + d); break;
                    case 2: p.point2.v = int16_t(p.point2.v + d); break;
                    default: p.point2.v = int16_t(p.point2.v - d); break;
                }
            }
            r->pending.bubbleWidth = 0;
            r->pending.bubblePaint = false;
            Add(*r, p);
            break;
        }
        case kStateArrow: {
            ElementParamRecord p = Params(*r, kElementArrow);
            p.flags &= kElementOwnFrameColor;
            const ArrowComment& a = r->pending.arrow;
            p.point1 = from;
            p.point2 = {int16_t(from.v + a.dv), int16_t(from.h + a.dh)};
            p.extra[0] = a.headLength;
            p.extra[1] = a.headAngle;
            r->state = kStateGraphics;
            Add(*r, p);
            break;
        }
        case kStateGraphics: {
            ElementParamRecord p = Params(*r, kElementLine);
            p.point1 = from;
            p.point2 = to;
            Add(*r, p);
            break;
        }
        default: break;
    }
}

// A rectangle, oval, rounded rectangle or arc element.
void FramedShape(SymbolDataReader& r, uint8_t kind, const Rect* rect, int8_t verb, bool fill,
                 int16_t extra0 = 0, int16_t extra1 = 0) {
    if (!r.elements) return;
    ElementParamRecord p = Params(r, kind);
    p.filled = verb != 0 || fill;
    p.point1 = {rect->top, rect->left};
    p.point2 = {rect->bottom, rect->right};
    p.extra[0] = extra0;
    p.extra[1] = extra1;
    Add(r, p);
}

// Runs a measurement without disturbing the playing window's text style and pen, which the
// texts after it take as theirs.
template <class Measure>
void KeepingPort(Measure measure) {
    txStyle* style = VXPreserveTextStyle();
    VXPenState pen;
    VXGetPenState(&pen);
    measure();
    VXSetPenState(&pen);
    VXRestoreTextStyle(style);
}

// Takes the fill marker, which every shape clears.
bool TakeFill(SymbolDataReader& r) { return std::exchange(r.pending.fill, false); }

void ReadImage(SymbolDataReader& r, const Rect* rect, bool fill) {
    r.state = kStateGraphics;
    const ImageComment& kept = r.pending.image;
    const int32_t width = rect->right - rect->left + 1, height = rect->bottom - rect->top + 1;
    if (width <= 0 || height <= 0 || width > INT16_MAX || height > INT16_MAX)
        return r.Fail(kSymbolDataCorrupt);
    VXPixels* pixels = GetImageFromImageList(r.sourceImages, int32_t(kept.id), false);
    if (!r.elements || !r.elementImages || !pixels) {
        r.pending.flags = 0;  // the image is left out, and its colours with it
        return;
    }
    ElementParamRecord p = Params(r, kElementImage);
    p.filled = fill;
    p.point1 = {rect->top, rect->left};
    p.point2 = {int16_t(height), int16_t(width)};
    p.hResolution = int16_t(kept.hResolution);
    p.vResolution = int16_t(kept.vResolution);
    p.orientation = kept.orientation;
    r.pending.flags = 0;
    ElementRecord* e = BuildElement(&p);  // without pixels: id -1 until it holds a reference
    if (!e) return r.Fail(status::kOutOfMemory);
    int32_t id = int32_t(kept.id);
    if (r.sourceImages != r.elementImages) id = AddImageToImageList(r.elementImages, pixels);
    else GetImageFromImageList(r.elementImages, id, true);
    if (id < 0) {
        DestroyElement(e, nullptr);
        return r.Fail(status::kOutOfMemory);
    }
    ElementAs<ImageElement>(e)->imageId = id;
    AddOneElement(r, e);
}

void ReadRect(const Rect* rect, int8_t verb) {
    SymbolDataReader* r = Active();
    if (!r) return;
    const bool fill = TakeFill(*r);
    if (r->state == kStateImage) ReadImage(*r, rect, fill);
    else FramedShape(*r, kElementRect, rect, verb, fill);
}

void ReadOval(const Rect* rect, int8_t verb) {
    SymbolDataReader* r = Active();
    if (!r) return;
    const bool fill = TakeFill(*r);
    if (r->state == kStatePins) {
        r->pending.bubbleWidth = rect->right - rect->left + 1;
        r->pending.bubblePaint = verb == 1;
    } else {
        FramedShape(*r, kElementOval, rect, verb, fill);
    }
}

void ReadRRect(const Rect* rect, int16_t width, int16_t height, int8_t verb) {
    if (SymbolDataReader* r = Active())
        FramedShape(*r, kElementRoundRect, rect, verb, TakeFill(*r), width, height);
}

void ReadArc(const Rect* rect, int16_t start, int16_t arc, int8_t verb) {
    if (SymbolDataReader* r = Active())
        FramedShape(*r, kElementArc, rect, verb, TakeFill(*r), start, arc);
}

void ReadPoly(const Point* points, int16_t count, int8_t verb) {
    SymbolDataReader* r = Active();
    if (!r) return;
    const bool fill = TakeFill(*r);
    if (r->state == kStateArrow || !r->elements || count < 0) return;  // arrow heads
    Handle copy = AllocHandleWithData(nullptr, points, uint32_t(count) * 4);
    if (!copy) return r->Fail(status::kOutOfMemory);
    ElementParamRecord p = Params(*r, kElementPoly);
    p.filled = verb != 0 || fill;
    p.points = copy;
    p.pointCount = count;
    Add(*r, p);
    MemFree(copy);
}

void ReadTextElement(SymbolDataReader& r, const void* bytes, int32_t count, uint32_t encoding) {
    TextRecord* text = CreateTextElement();
    if (!text) return r.Fail(status::kOutOfMemory);
    const uint16_t kind = r.pending.text.kind;
    text->kind = kind;
    text->flags = r.pending.text.flags;
    text->position = Pen();
    const VXGrafState* port = VXGetCurrentGrafState();
    const txStyle* style = ThemedText(text->flags) ? GetTextThemeStyle(r.sheet, text)
                                                   : port ? port->textStyle : nullptr;
    if (style && r.styles) InstallStyleInText(text, style, kStyleFields, r.styles);
    if (kind & (kTextKindPinNumber | kTextKindPinName))
        text->owner = int64_t(reinterpret_cast<intptr_t>(r.ElementAt(kind & kTextKindNodeMask)));
    const uint16_t top = kind & kTextKindPinAttribute;
    if (top != kTextKindPinNumber && top != kTextKindPinName) {
        char string[kTextStringSize];
        const auto* chars = static_cast<const char*>(bytes);
        const int32_t n = encoding == kEncodingUTF8
                              ? DLCutUTF8(chars, count, kTextStringBytes)
                              : std::min(count, kTextStringBytes);
        std::memcpy(string, chars, size_t(n));
        string[n] = 0;
        if (encoding == kEncodingMacRoman)
            RecodeFromMacRomanIfNeeded(string, sizeof string, kEncodingUTF8);
        SetTextRecordString(text, r.block, string);
        // The recorded string is the macro source of a macro text.
        if (text->flags & kTextFlagMacro) SetTextRecordMacroString(text, r.block, string);
        KeepingPort([&] { CalcTextBounds(nullptr, text, r.block); });
    }
    if (kind == kLegacyFrameTextKind && r.header.version < kSymbolDataVersion) {
        text->flags &= uint16_t(~kTextFlagMacro);
        if (r.frames) {
            TextFrameHandle frame = nullptr;
            KeepingPort([&] {
                frame = CreateTextFrameFromTextElement(text, r.block, r.styles, true, nullptr);
            });
            if (frame) r.newFrames.push_back(frame);
            else r.Fail(status::kOutOfMemory);
        }
        MemFreePtr(text);
        return;
    }
    if (r.texts) r.newTexts.push_back(text);
    else MemFreePtr(text);
}

void ReadFrameText(SymbolDataReader& r, const void* bytes, int32_t count, uint32_t encoding) {
    TextFrameHandle frame = CreateTextFrame(bytes, count, encoding);
    if (!frame) return r.Fail(status::kOutOfMemory);
    r.newFrames.push_back(frame);
    (*frame)->position = Pen();
    (*frame)->flags = r.pending.frame.flags;
    (*frame)->lineCount = r.pending.frame.lineCount;
    const uint32_t length = (*frame)->textLength;
    if (Handle starts = std::exchange(r.lineStarts, nullptr)) {
        const auto* offsets = reinterpret_cast<const uint32_t*>(*starts);
        const uint32_t entries = SizeOfHandle(starts) / 4;
        if (!std::is_sorted(offsets, offsets + entries) || offsets[entries - 1] != length) {
            MemFree(starts);
            return r.Fail(kSymbolDataCorrupt);
        }
        MemFree((*frame)->lineStarts);
        (*frame)->lineStarts = starts;
    } else {
        const uint32_t whole[2] = {0, length};
        if (!SetHandleContent((*frame)->lineStarts, whole, sizeof whole))
            return r.Fail(status::kOutOfMemory);
    }
    const VXGrafState* port = VXGetCurrentGrafState();
    const txStyle* style = ((*frame)->flags & kFrameFlagThemed)
                               ? GetSheetThemeStyle(r.sheet, kThemeSymbolOwned)
                           : port ? port->textStyle
                                  : nullptr;
    if (style && r.styles) InstallStyleInFrame(frame, style, kStyleFields, r.styles);
    KeepingPort([&] { CalcTextFrameBounds(nullptr, frame, false, 0); });
}

void ReadText(const void* bytes, int32_t count, uint32_t encoding) {
    SymbolDataReader* r = Active();
    if (!r || !bytes || count < 0) return;
    if (r->state == kStateText && r->texts) ReadTextElement(*r, bytes, count, encoding);
    else if (r->state == kStateFrameText && r->frames) ReadFrameText(*r, bytes, count, encoding);
}

// Keeps the line starts of a frame comment of `length` bytes; false when it is too short.
bool KeepLineStarts(SymbolDataReader& r, const uint8_t* data, int32_t length, bool swapped) {
    if (r.lineStarts) MemFree(std::exchange(r.lineStarts, nullptr));
    const uint32_t count = r.pending.frame.lineCount;
    if (count < 2) return true;
    const uint32_t bytes = (count + 1) * 4;
    if (uint32_t(length) - sizeof(FrameComment) < bytes) return false;
    r.lineStarts = AllocHandleWithData(nullptr, data + sizeof(FrameComment), bytes);
    if (!r.lineStarts) {
        r.Fail(status::kOutOfMemory);
        return true;
    }
    if (swapped) ByteSwapLongArray(*r.lineStarts, bytes);
    return true;
}

bool ReadComment(int16_t kind, void* data, int32_t length, bool swapped, void* refCon) {
    auto& r = *static_cast<SymbolDataReader*>(refCon);
    if (r.status) return true;
    Pending& p = r.pending;
    uint8_t fields[16];
    if (!TakeComment(kind, data, length, swapped, fields)) {
        r.Fail(kSymbolDataCorrupt);
        return true;
    }
    switch (kind) {
        case kSymCommentHeader: std::memcpy(&r.header, fields, sizeof r.header); break;
        case kSymCommentPinsEnd:
            p.bubbleWidth = 0;
            p.bubblePaint = false;
            p.arrow = {};
            p.text = {};
            p.frame = {};
            p.image = {};
            r.state = kStateGraphics;
            break;
        case kSymCommentArrow:
            if (!r.elements) break;
            std::memcpy(&p.arrow, fields, sizeof p.arrow);
            r.state = kStateArrow;
            break;
        case kSymCommentText:
        case kSymCommentFrame:
            if (r.state != kStateText && r.state != kStateFrameText) r.ReverseElements();
            if (kind == kSymCommentText) {
                std::memcpy(&p.text, fields, sizeof p.text);
                r.state = kStateText;
            } else {
                std::memcpy(&p.frame, fields, sizeof p.frame);
                r.state = kStateFrameText;
                if (!KeepLineStarts(r, static_cast<const uint8_t*>(data), length, swapped))
                    r.Fail(kSymbolDataCorrupt);
            }
            break;
        case kSymCommentFrameColor:
            std::memcpy(&p.frameColor, fields, 4);
            p.flags |= kElementOwnFrameColor;
            break;
        case kSymCommentFillColor:
            std::memcpy(&p.fillColor, fields, 4);
            p.flags |= kElementOwnFillColor;
            break;
        case kSymCommentFilled: p.fill = true; break;
        case kSymCommentOptionalFill: p.flags |= kElementOptionalFill; break;
        case kSymCommentImage:
            std::memcpy(&p.image, fields, sizeof p.image);
            if (p.image.orientation > 7) r.Fail(kSymbolDataCorrupt);
            r.state = kStateImage;
            break;
        default: break;
    }
    return r.status != status::kNoErr;
}

// Moves the items into the front of a list, keeping their order.
template <class Item>
void Prepend(LinkListHeader* list, std::vector<Item>& items) {
    for (auto it = items.rbegin(); it != items.rend(); ++it) LLPush(list, *it);
    items.clear();
}

// The list of some data, or null when the data cannot hold one.
uint8_t* ListOf(const void* data, uint32_t size) {
    if (!data || size < kSymbolDataHeadSize + 2) return nullptr;
    return const_cast<uint8_t*>(static_cast<const uint8_t*>(data)) + kSymbolDataHeadSize;
}

// Plays the list of some data into the measuring state through the null procedures with the
// given ones in their place (tracking the pen); false for a list that is not whole, or when
// there is no such state.
bool PlaySymbolData(const void* data, uint32_t size, Point point, const VXGrafProcsRecord& procs,
                    DLCommentProc commentProc, void* refCon, OSStatus* status) {
    uint8_t* list = ListOf(data, size);
    if (!list) {
        *status = kSymbolDataCorrupt;
        return false;
    }
    VXGrafState* graf = VXGetMeasuringState();
    if (!graf) {
        *status = status::kOutOfMemory;
        return false;
    }
    const VXGrafProcsRecord* saved = std::exchange(graf->grafProcs, &procs);
    const int32_t valid = VXPlayDisplayListBytes(graf, list, size - kSymbolDataHeadSize, point,
                                                 kDLPlayTrackPen | kDLPlayTextFace, commentProc,
                                                 refCon);
    graf->grafProcs = saved;
    if (!valid) *status = kSymbolDataCorrupt;
    return valid;
}

// ---- Pin walkers ----

struct PinWalk {
    bool started = false;  // 224 read
    bool ended = false;    // 225 read
    uint16_t count = 0;
    int32_t wanted = -1;   // the tail walker's pin
    std::vector<Point> ends;
    std::vector<uint8_t> codes;
    Point tail{0, 0};
    bool found = false;
    OSStatus status = status::kNoErr;
};

PinWalk* gPinWalk = nullptr;

// A pin's node code: its orientation as Node_Orient gives it, and 0x80 for a wide pin.
uint8_t PinCode(Point from, Point to, int32_t penWidth) {
    return uint8_t(PinLineOrient(to, from) | (penWidth >= 2 ? 0x80 : 0));
}

void PinLine(int16_t h, int16_t v) {
    PinWalk* w = gPinWalk;
    if (!w || w->status || !w->started || w->ended) return;
    const auto index = int32_t(w->ends.size());
    if (index >= w->count) {
        w->status = kSymbolDataCorrupt;  // more pin lines than pins
        return;
    }
    const Point from = Pen();
    if (index == w->wanted) {
        w->tail = from;
        w->found = true;
    }
    w->ends.push_back({v, h});
    w->codes.push_back(PinCode(from, {v, h}, VXGetPenWidth()));
}

bool PinComment(int16_t kind, void* data, int32_t length, bool swapped, void* refCon) {
    auto& w = *static_cast<PinWalk*>(refCon);
    if (kind == kSymCommentHeader) {
        HeaderComment header;
        if (w.started || !TakeComment(kind, data, length, swapped, &header)) {
            w.status = kSymbolDataCorrupt;
            return true;
        }
        w.started = true;
        w.count = header.pinCount;
        return w.wanted >= 0 && w.count <= w.wanted;
    }
    if (kind == kSymCommentPinsEnd && w.started) {
        w.ended = true;
        return true;
    }
    return w.found || w.status;
}

// Walks the pin group; the walk's status.
OSStatus WalkPins(const void* data, uint32_t size, Point point, PinWalk* walk) {
    VXGrafProcsRecord procs;
    VXSetNullGrafProcs(&procs);
    procs.line = PinLine;
    PLEXA_ASSERT(!gPinWalk);
    gPinWalk = walk;
    OSStatus status = status::kNoErr;
    PlaySymbolData(data, size, point, procs, PinComment, walk, &status);
    gPinWalk = nullptr;
    return status ? status : walk->status;
}

// ---- Image walkers ----

struct ImageReference {
    uint8_t* id;   // in the list, in its order
    bool swapped;
};

struct ImageWalk {
    std::vector<ImageReference> references;
    bool corrupt = false;
};

bool CollectImageComment(int16_t kind, void* data, int32_t length, bool swapped, void* refCon) {
    auto& w = *static_cast<ImageWalk*>(refCon);
    if (kind != kSymCommentImage) return false;
    if (length < CommentNeeds(kind) || !data) {
        w.corrupt = true;
        return true;
    }
    w.references.push_back({static_cast<uint8_t*>(data), swapped});
    return false;
}

OSStatus CollectImages(const void* data, uint32_t size, ImageWalk* walk) {
    uint8_t* list = ListOf(data, size);
    if (!list || !VXWalkDisplayListComments(list, size - kSymbolDataHeadSize, CollectImageComment, walk) ||
        walk->corrupt)
        return kSymbolDataCorrupt;
    return status::kNoErr;
}

int32_t IdOf(const ImageReference& ref) {
    uint32_t id;
    std::memcpy(&id, ref.id, 4);
    return int32_t(ref.swapped ? __builtin_bswap32(id) : id);
}

void SetId(const ImageReference& ref, int32_t id) {
    const uint32_t value = ref.swapped ? __builtin_bswap32(uint32_t(id)) : uint32_t(id);
    std::memcpy(ref.id, &value, 4);
}

bool SwapComment(int16_t kind, void* data, int32_t length, bool, void*) {
    ByteSwapSymbolDispalyComment(kind, data, length);
    return false;
}

}  // namespace

// ---- Interfaces ----

Handle ElementsToSymbolData(LinkListHeader* elements, LinkListHeader* texts,
                            LinkListHeader* frames, StringBlock block, bool noPinGroup,
                            ImageList* destination) {
    VXGrafState* graf = VXGetMeasuringState();
    if (!graf || graf->displayList) return nullptr;
    VXGrafStateScope scope(graf);
    const VXGrafProcsRecord* savedProcs = std::exchange(graf->grafProcs, nullptr);
    txStyle* savedStyle = VXPreserveTextStyle();
    const int32_t savedPen = VXGetPenWidth();
    Handle data = nullptr;
    std::vector<int32_t> taken;
    if (VXOpenDisplayList(graf, gGenPool, {0, 0}, kDLSymbolCapture)) {
        const uint32_t savedFlags = gGenFlags;
        gGenFlags = (gGenFlags & ~(kGenPortMarkers | kGenSymbolCapture)) | kGenSymbolCapture;
        SymbolDataHead head{};
        const bool recorded = RecordElements(elements, !noPinGroup, destination, &head, &taken);
        gGenFlags = savedFlags;
        if (recorded && (texts || frames)) RecordTexts(texts, frames, block);
        data = VXCloseDisplayList(graf);
        if (data && (!recorded || !InsertInHandle(data, 0, &head, sizeof head))) {
            MemFree(data);
            data = nullptr;
        }
    }
    if (!data)
        for (int32_t id : taken) ReleaseImageListImage(destination, id);
    VXSetPenWidth(savedPen);
    VXRestoreTextStyle(savedStyle);
    graf->grafProcs = savedProcs;
    return data;
}

OSStatus SymbolDataToElements(const void* data, uint32_t size, ImageList* sourceImages,
                              Point playPoint, LinkListHeader* elements, LinkListHeader* texts,
                              LinkListHeader* frames, TextStyleList* styles, StringBlock block,
                              SheetRecord* sheet) {
    SymbolDataReader r;
    r.sourceImages = sourceImages;
    r.elements = elements;
    r.texts = texts;
    r.frames = frames;
    r.styles = styles;
    r.block = block;
    r.sheet = sheet;
    r.elementImages = GetElementListImageList(elements);
    VXGrafProcsRecord procs;
    VXSetNullGrafProcs(&procs);
    procs.text = ReadText;
    procs.line = ReadLine;
    procs.rect = ReadRect;
    procs.oval = ReadOval;
    procs.rRect = ReadRRect;
    procs.arc = ReadArc;
    procs.poly = ReadPoly;
    PLEXA_ASSERT(!gReader);
    gReader = &r;
    OSStatus status = status::kNoErr;
    PlaySymbolData(data, size, playPoint, procs, ReadComment, &r, &status);
    gReader = nullptr;
    if (status || r.status) return status ? status : r.status;
    if (!r.reversed) r.ReverseElements();
    std::vector<ElementRecord*> read(r.head.begin(), r.head.end());
    read.insert(read.end(), r.tail.begin(), r.tail.end());
    r.head.clear();
    r.tail.clear();
    if (elements) Prepend(elements, read);
    if (texts) Prepend(texts, r.newTexts);
    if (frames) Prepend(frames, r.newFrames);
    return status::kNoErr;
}

int32_t NodeMapCount(const void* map) {
    if (!map) return 0;
    uint16_t count;
    std::memcpy(&count, map, 2);
    return SizeOfPtr(map) >= NodeMapSize(count) ? count : 0;
}

NodeMap ExtractSymbolNodePositions(const void* data, uint32_t size, Point playPoint,
                                   OSStatus* status) {
    PinWalk walk;
    OSStatus result = WalkPins(data, size, playPoint, &walk);
    if (!result && walk.count > 0 && (!walk.ended || walk.ends.size() != walk.count))
        result = kSymbolDataCorrupt;  // the pin group does not hold its pins
    NodeMap map = nullptr;
    if (!result && walk.count > 0) {
        map = AllocPtr(nullptr, NodeMapSize(walk.count));
        if (map) {
            std::memcpy(map, &walk.count, 2);
            std::memcpy(map + 2, walk.ends.data(), walk.ends.size() * 4);
            std::memcpy(map + 2 + 4 * walk.count, walk.codes.data(), walk.codes.size());
        } else {
            result = status::kOutOfMemory;
        }
    }
    if (status) *status = result;
    return map;
}

OSStatus ExtractSymbolNodeTailPosition(const void* data, uint32_t size, Point playPoint,
                                       int32_t pinIndex, Point* point) {
    *point = {0, 0};
    if (pinIndex < 0) return status::kNoErr;
    PinWalk walk;
    walk.wanted = pinIndex;
    const OSStatus result = WalkPins(data, size, playPoint, &walk);
    if (result) return result;
    if (walk.found) {
        *point = walk.tail;
        return status::kNoErr;
    }
    return pinIndex < walk.count ? kSymbolDataCorrupt : status::kNoErr;
}

OSStatus MapSymbolDataImageReferences(void* data, uint32_t size, ImageList* from, ImageList* to) {
    ImageWalk walk;
    if (OSStatus status = CollectImages(data, size, &walk)) return status;
    struct Change {
        const ImageReference* ref;
        int32_t id;
    };
    std::vector<Change> changes;
    for (const ImageReference& ref : walk.references) {
        VXPixels* pixels = GetImageFromImageList(from, IdOf(ref), false);
        if (!pixels) continue;
        const int32_t id = AddImageToImageList(to, pixels);
        if (id < 0) {
            for (const Change& c : changes) ReleaseImageListImage(to, c.id);
            return status::kOutOfMemory;
        }
        changes.push_back({&ref, id});
    }
    for (const Change& c : changes) SetId(*c.ref, c.id);
    return status::kNoErr;
}

OSStatus ClearMissingImageReferences(void* data, uint32_t size, ImageList* list) {
    ImageWalk walk;
    if (OSStatus status = CollectImages(data, size, &walk)) return status;
    for (const ImageReference& ref : walk.references)
        if (!GetImageFromImageList(list, IdOf(ref), false)) SetId(ref, -1);
    return status::kNoErr;
}

OSStatus AdjustImageReferenceCountsFromSymbolData(const void* data, uint32_t size,
                                                  ImageList* list, int32_t mode) {
    ImageWalk walk;
    if (OSStatus status = CollectImages(data, size, &walk)) return status;
    for (const ImageReference& ref : walk.references) {
        const int32_t id = IdOf(ref);
        if (mode & kImageReferenceAdd) GetImageFromImageList(list, id, true);
        if (mode & kImageReferenceRelease) ReleaseImageListImage(list, id);
    }
    return status::kNoErr;
}

void ByteSwapSymbolDispalyComment(int16_t kind, void* data, int32_t length) {
    if (!data || length <= 0) return;
    auto* bytes = static_cast<uint8_t*>(data);
    const auto words = [&](int32_t count) {
        ByteSwapWordArray(bytes, uint32_t(std::min(count, length / 2)) * 2);
    };
    switch (kind) {
        case kSymCommentHeader:
        case kSymCommentText: words(2); break;
        case kSymCommentArrow: words(4); break;
        case kSymCommentFrame:
            words(2);
            if (length > 4) ByteSwapLongArray(bytes + 4, uint32_t((length - 4) / 4) * 4);
            break;
        case kSymCommentFrameColor:
        case kSymCommentFillColor:
            if (length >= 4) ByteSwapLong(bytes);
            break;
        case kSymCommentImage:
            if (length >= 4) ByteSwapLong(bytes);
            ByteSwapWordArray(bytes + 4, uint32_t(std::clamp(length - 4, 0, 4) / 2) * 2);
            break;
        default: break;
    }
}

OSStatus ByteSwapSymbolData(void* data, uint32_t size) {
    uint8_t* list = ListOf(data, size);
    if (!list) return kSymbolDataCorrupt;
    const DLCheckResult check = DLCheckDisplayList(list, size - kSymbolDataHeadSize);
    if (!check.whole || !check.validHeader) return kSymbolDataCorrupt;
    if (!check.swapped) return status::kNoErr;
    ByteSwapWordArray(data, kSymbolDataHeadSize);
    VXByteSwapDisplayListBytes(list, size - kSymbolDataHeadSize, SwapComment, nullptr);
    return status::kNoErr;
}

}  // namespace plexa
