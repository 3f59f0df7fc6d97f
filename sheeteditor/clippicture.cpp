// What the system clipboard receives for the sheet clip: a picture of the copied objects (drawn
// by the platform as an image, and written here as an SVG document) and their plain text.
#include <algorithm>
#include <cstdio>
#include <string>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "model/busses.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "platform/clipboard_platform.h"
#include "sheeteditor/sheetclip.h"
#include "sheeteditor/sheetclipcopy.h"

namespace plexa {

namespace {

constexpr int kMargin = 8;

std::u16string Wide(const char* utf8) { return TempCFStringUsing(utf8, kEncodingUTF8); }

std::string Escaped(const char* text) {
    std::string out;
    for (const char* c = text; *c; ++c) {
        switch (*c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        default: out += *c; break;
        }
    }
    return out;
}

// The texts of the clip's objects, one a line: designators, texts and frames.
void ForEachClipText(SheetRecord* content, void (*each)(const char* text, Point at, void* data), void* data) {
    char text[kTextPlainSize];
    for (auto* s = ListNext<SymbolRecord>(content->symbolList, nullptr); s; s = ListNext(content->symbolList, s)) {
        char designator[kSymbolTextSize] = {};
        GetSymbolsDisplayDesignator(content, s, designator);
        if (designator[0] && designator[0] != '?') each(designator, s->position, data);
    }
    for (auto* t = ListNext<TextRecord>(content->textList, nullptr); t; t = ListNext(content->textList, t)) {
        if (t->flags & kTextFlagHidden) continue;
        GetTextRecordString(t, content->stringBlock, text, sizeof text);
        if (text[0]) each(text, t->position, data);
    }
    for (auto f = ListNext<void>(content->textFrameList, nullptr); f; f = ListNext(content->textFrameList, f)) {
        auto frame = static_cast<TextFrameHandle>(f);
        GetTextFrameTextAsString(frame, true, int32_t(sizeof text), text);
        if (text[0]) each(text, (*frame)->position, data);
    }
}

struct PictureBuild {
    PlatformClipPicture picture;
    std::string svg;
    Point origin;  // the sheet point drawn at the margin
};

int X(const PictureBuild& b, int h) { return h - b.origin.h + kMargin; }
int Y(const PictureBuild& b, int v) { return v - b.origin.v + kMargin; }

void AddLine(PictureBuild& b, Point p0, Point p1) {
    const PlatformClipPicture::Line l{X(b, p0.h), Y(b, p0.v), X(b, p1.h), Y(b, p1.v)};
    b.picture.lines.push_back(l);
    char element[160];
    std::snprintf(element, sizeof element, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\"/>\n", l.x0, l.y0, l.x1, l.y1);
    b.svg += element;
}

void AddBox(PictureBuild& b, const Rect& r) {
    const PlatformClipPicture::Box box{X(b, r.left), Y(b, r.top), X(b, r.right), Y(b, r.bottom)};
    b.picture.boxes.push_back(box);
    char element[160];
    std::snprintf(element, sizeof element, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"none\"/>\n", box.left,
                  box.top, box.right - box.left, box.bottom - box.top);
    b.svg += element;
}

void AddNet(PictureBuild& b, WireList wires) {
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) {
        const Point* c = WireCorners(w);
        for (int32_t i = 0; i + 1 < (*w)->cornerCount; ++i) AddLine(b, c[i], c[i + 1]);
    }
}

}  // namespace

std::string ClipPlainText() {
    std::string text;
    if (!CurrClip->content) return text;
    ForEachClipText(
        CurrClip->content,
        [](const char* line, Point, void* data) {
            auto* out = static_cast<std::string*>(data);
            *out += line;
            *out += '\n';
        },
        &text);
    return text;
}

bool PutClipOnSystemClipboard() {
    SheetRecord* content = CurrClip->content;
    if (!content) return false;
    const Rect& bounds = CurrClip->bounds;
    PictureBuild b;
    b.origin = Point{bounds.top, bounds.left};
    b.picture.width = std::max(1, bounds.right - bounds.left) + 2 * kMargin;
    b.picture.height = std::max(1, bounds.bottom - bounds.top) + 2 * kMargin;
    char head[200];
    std::snprintf(head, sizeof head,
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" stroke=\"black\">\n",
                  b.picture.width, b.picture.height);
    b.svg = head;
    for (auto* s = ListNext<SymbolRecord>(content->symbolList, nullptr); s; s = ListNext(content->symbolList, s)) {
        Rect r;
        GetSymbolInstanceBounds(content, s, 1, &r);
        if (VXEmptyRect(&r)) r = Rect{s->position.v, s->position.h, int16_t(s->position.v + 4), int16_t(s->position.h + 4)};
        AddBox(b, r);
    }
    for (auto* e = ListNext<ElementRecord>(content->elementList, nullptr); e; e = ListNext(content->elementList, e)) AddBox(b, e->bounds);
    for (auto n = ListNext<void>(content->signalList, nullptr); n; n = ListNext(content->signalList, n)) {
        auto signal = static_cast<SignalHandle>(n);
        AddNet(b, (*signal)->wires);
        CacheSignalJunctionDots(signal);
        if ((*signal)->dotCount != kSignalDotsStale)
            for (int32_t i = 0; i < (*signal)->dotCount; ++i)
                b.picture.dots.push_back({X(b, SignalDots(signal)[i].h), Y(b, SignalDots(signal)[i].v)});
    }
    for (auto n = ListNext<void>(content->bussList, nullptr); n; n = ListNext(content->bussList, n))
        AddNet(b, (*static_cast<BussHandle>(n))->wires);
    ForEachClipText(
        content,
        [](const char* line, Point at, void* data) {
            auto& build = *static_cast<PictureBuild*>(data);
            const int x = X(build, at.h), y = Y(build, at.v);
            build.picture.labels.push_back({x, y, Wide(line)});
            char element[80];
            std::snprintf(element, sizeof element, "<text x=\"%d\" y=\"%d\" stroke=\"none\">", x, y);
            build.svg += element;
            build.svg += Escaped(line);
            build.svg += "</text>\n";
        },
        &b);
    b.svg += "</svg>\n";
    return PlatformClipboardSetPicture(b.picture, b.svg, Wide(ClipPlainText().c_str()));
}

}  // namespace plexa
