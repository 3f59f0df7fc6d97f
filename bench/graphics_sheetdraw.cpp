// The drawing path as a schematic sheet uses it: 1,000, 5,000, 20,000 and 30,000 symbols recorded as
// display lists (a body frame, four pins, an inversion bubble and two labels) played into a
// 1920x1080 image at 100 % and at 25 %, and a sheet-like redraw (5,000 symbols with two labels each and 20,000 wire
// segments) at fit and at 4x zoom. Each case has a baseline in the same run: the backing
// library's painter drawing the same primitives at the same device positions. Items outside
// the visible part of the sheet are skipped by both, by their bounds, as an editor skips them.
// Scrolling at 4x zoom moves the pixels that stay and draws only the strip that comes into view,
// its items found through buckets of the sheet.
#include <benchmark/benchmark.h>

#include "bench/core_bench_main.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <random>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "foundation/windowgeometry.h"
#include "graphics/displaylist.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/render_text.h"
#include "graphics/textstyle.h"
#include "platform/baseline_platform.h"
#include "platform/text_layout.h"

using namespace plexa;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kSymbols = 5000, kWires = 20000;
constexpr int kSheetWidth = 7680, kSheetHeight = 4320;  // at fit, scale 1/4
constexpr const char* kFamily = "DejaVu Sans";
constexpr int kTextSize = 10;

struct Image {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t(kWidth) * kHeight, 0xFFFFFFFF);
    void Clear() { std::fill(pixels.begin(), pixels.end(), 0xFFFFFFFF); }
    uint8_t* bytes() { return reinterpret_cast<uint8_t*>(pixels.data()); }
};

int32_t Kind(void*) { return kQZWindowOffScreen; }
bool ImageOf(void* w, QZBitmap* out) {
    *out = {static_cast<Image*>(w)->bytes(), kWidth, kHeight, kWidth * 4, DrawPixelFormat::kARGB32};
    return true;
}

// A symbol in its own coordinates (origin at the body's top-left corner).
struct Symbol {
    std::string reference, value;
    Point at;  // on the sheet
};

const Rect kBody = {0, 10, 30, 50};
const Rect kBubble = {12, 50, 18, 56};
const Rect kBounds = {-12, 0, 44, 66};  // body, pins, bubble and labels
struct Pin {
    int16_t v, h1, h2;
};
const Pin kPins[4] = {{8, 0, 10}, {22, 0, 10}, {8, 56, 66}, {22, 56, 66}};
constexpr int16_t kReferenceV = -3, kValueV = 42, kLabelH = 10;

// Symbols in rows of cols, dh and dv apart; rows past the height start again at the top.
std::vector<Symbol> MakeSymbols(int count, int cols, int dh, int dv, int height) {
    std::vector<Symbol> out;
    for (int i = 0; i < count; i++) {
        char reference[16], value[16];
        std::snprintf(reference, sizeof reference, "U%d", i + 1);
        std::snprintf(value, sizeof value, "74HC%02d", i % 100);
        out.push_back({reference, value,
                       {int16_t(((i / cols) * dv) % height + 20), int16_t((i % cols) * dh + 20)}});
    }
    return out;
}

struct Wire {
    int16_t h1, v1, h2, v2;
};

// Axis-aligned wire segments in the channels between symbol rows and columns.
std::vector<Wire> MakeWires(int count) {
    std::mt19937 rng(5);
    std::vector<Wire> out;
    for (int i = 0; i < count; i++) {
        const int16_t len = int16_t(20 + rng() % 200);
        if (i % 2) {
            const int16_t v = int16_t(10 + (rng() % (kSheetHeight / 86)) * 86 + 64 + rng() % 10);
            const int16_t h = int16_t(rng() % (kSheetWidth - 220));
            out.push_back({h, v, int16_t(h + len), v});
        } else {
            const int16_t h = int16_t(10 + (rng() % (kSheetWidth / 76)) * 76 + 72 + rng() % 4);
            const int16_t v = int16_t(rng() % (kSheetHeight - 220));
            out.push_back({h, v, h, int16_t(v + len)});
        }
    }
    return out;
}

// A window over the image with its own text style, and the recorded lists.
struct Scene {
    Image image;
    VXGrafState window;
    std::vector<Symbol> symbols;
    std::vector<DisplayList> lists;
    std::vector<Wire> wires;
    bool labels;

    Scene(std::vector<Symbol> s, bool withLabels) : symbols(std::move(s)), labels(withLabels) {
        QZWindowHooks hooks;
        hooks.kind = Kind;
        hooks.image = ImageOf;
        QZSetWindowHooks(hooks);
        window.geometry.kind = kWindowOffScreen;
        window.textStyle = CreateTextStyle(nullptr, nullptr);
        window.port = QZPortAlloc(&image);
        Record(labels);
        QZInstallContext(window.port);
        QZSetFocus(window.port, -1);
    }
    ~Scene() {
        for (DisplayList l : lists) MemFree(l);
        QZReleaseContext(window.port);
        QZPortFree(window.port);
        DestroyTextStyle(window.textStyle);
    }

    void Record(bool labels) {
        VXGrafState* previous = VXSetCurrentGrafState(&window);
        for (const Symbol& s : symbols) {
            (void)VXOpenDisplayList(&window, nullptr, {0, 0}, 0);  // fails only out of memory
            VXFrameRect(&kBody);
            for (const Pin& p : kPins) {
                VXMoveTo(p.h1, p.v);
                VXLineTo(p.h2, p.v);
            }
            VXFrameOval(&kBubble);
            if (labels) {
                VXSetTextFont(kFamily);
                VXSetTextSize(kTextSize);
                VXMoveTo(kLabelH, kReferenceV);
                VXDrawTextWithEncoding(s.reference.data(), int32_t(s.reference.size()), kEncodingUTF8);
                VXMoveTo(kLabelH, kValueV);
                VXDrawTextWithEncoding(s.value.data(), int32_t(s.value.size()), kEncodingUTF8);
            }
            lists.push_back(VXCloseDisplayList(&window));
        }
        VXSetCurrentGrafState(previous);
    }

    // Scale in 8.24 and the window origin (in scaled pixels).
    void SetView(int32_t scale, int32_t h, int32_t v) {
        SetWindowScaleFactors(&window.geometry, scale, scale);
        VXSetOrigin(&window, h, v);
    }
};

// The visible part of the sheet at the scale and origin.
LRect Visible(double scale, int32_t h, int32_t v) {
    return {int32_t(v / scale), int32_t(h / scale), int32_t((v + kHeight) / scale) + 1,
            int32_t((h + kWidth) / scale) + 1};
}

bool Meets(const LRect& a, int32_t top, int32_t left, int32_t bottom, int32_t right) {
    return left < a.right && a.left < right && top < a.bottom && a.top < bottom;
}

void DrawOurs(Scene& scene, const LRect& visible) {
    VXGrafState* previous = VXSetCurrentGrafState(&scene.window);
    for (size_t i = 0; i < scene.symbols.size(); i++) {
        const Point at = scene.symbols[i].at;
        if (!Meets(visible, at.v + kBounds.top, at.h + kBounds.left, at.v + kBounds.bottom,
                   at.h + kBounds.right))
            continue;
        VXPlayDisplayList(&scene.window, scene.lists[i], at, 0, nullptr, nullptr);
    }
    VXSetPenWidth(1);
    for (const Wire& w : scene.wires) {
        if (!Meets(visible, std::min(w.v1, w.v2), std::min(w.h1, w.h2), std::max(w.v1, w.v2) + 1,
                   std::max(w.h1, w.h2) + 1))
            continue;
        VXMoveTo(w.h1, w.v1);
        VXLineTo(w.h2, w.v2);
    }
    VXSetCurrentGrafState(previous);
}

// The same primitives in device pixels, placed as the scaled window places them.
std::vector<BaselineShape> BaselineShapes(const Scene& scene, const LRect& visible, int32_t scale,
                                          int32_t h0, int32_t v0) {
    WindowGeometry g;
    SetWindowScaleFactors(&g, scale, scale);
    const bool scaled = g.flags & kWindowFlagScaled;
    auto point = [&](int32_t h, int32_t v) {
        _LPNT p{v, h};
        if (scaled) LPointsToScale(&g, &p, 1);
        return _LPNT{p.v - v0, p.h - h0};
    };
    auto box = [&](const Rect& r, Point at) {
        LRect l{r.top + at.v, r.left + at.h, r.bottom + at.v, r.right + at.h};
        if (scaled) LRectToNoEmptyScale(&g, &l);
        return LRect{l.top - v0, l.left - h0, l.bottom - v0, l.right - h0};
    };
    std::vector<BaselineShape> out;
    for (const Symbol& s : scene.symbols) {
        if (!Meets(visible, s.at.v + kBounds.top, s.at.h + kBounds.left, s.at.v + kBounds.bottom,
                   s.at.h + kBounds.right))
            continue;
        const LRect body = box(kBody, s.at), bubble = box(kBubble, s.at);
        out.push_back({BaselineShape::kFrame, body.left, body.top, body.right, body.bottom, nullptr});
        for (const Pin& p : kPins) {
            const _LPNT a = point(s.at.h + p.h1, s.at.v + p.v), b = point(s.at.h + p.h2, s.at.v + p.v);
            out.push_back({BaselineShape::kLine, a.h, a.v, b.h, b.v, nullptr});
        }
        out.push_back({BaselineShape::kOval, bubble.left, bubble.top, bubble.right, bubble.bottom, nullptr});
        if (scene.labels) {
            const _LPNT r = point(s.at.h + kLabelH, s.at.v + kReferenceV);
            const _LPNT v = point(s.at.h + kLabelH, s.at.v + kValueV);
            out.push_back({BaselineShape::kText, r.h, r.v, 0, 0, s.reference.c_str()});
            out.push_back({BaselineShape::kText, v.h, v.v, 0, 0, s.value.c_str()});
        }
    }
    for (const Wire& w : scene.wires) {
        if (!Meets(visible, std::min(w.v1, w.v2), std::min(w.h1, w.h2), std::max(w.v1, w.v2) + 1,
                   std::max(w.h1, w.h2) + 1))
            continue;
        const _LPNT a = point(w.h1, w.v1), b = point(w.h2, w.v2);
        out.push_back({BaselineShape::kLine, a.h, a.v, b.h, b.v, nullptr});
    }
    return out;
}

// n symbols (argument 1), with or without their labels (argument 0), at 100 % packed over the
// image, or at 25 % (argument 2) spread four times as far apart over a sheet that the image shows
// whole.
Scene SymbolScene(const benchmark::State& state) {
    const int spread = state.range(2) == 25 ? 4 : 1;
    return Scene(MakeSymbols(int(state.range(1)), 100, 19 * spread, 21 * spread, (kHeight - 60) * spread),
                 state.range(0) != 0);
}

int32_t SymbolScale(const benchmark::State& state) { return state.range(2) == 25 ? kFixed24One / 4 : kFixed24One; }

void BM_Symbols(benchmark::State& state) {
    const bool labels = state.range(0);
    Scene scene = SymbolScene(state);
    scene.SetView(SymbolScale(state), 0, 0);
    const LRect all{-32768, -32768, 32767, 32767};
    for (auto _ : state) {
        scene.image.Clear();
        DrawOurs(scene, all);
    }
    state.SetLabel(labels ? "shapes and two labels" : "shapes");
}
BENCHMARK(BM_Symbols)
    ->ArgsProduct({{0, 1}, {1000, 5000, 20000, 30000}, {100, 25}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SymbolsBaseline(benchmark::State& state) {
    const bool labels = state.range(0);
    Scene scene = SymbolScene(state);
    const int32_t scale = SymbolScale(state);
    const std::vector<BaselineShape> shapes = BaselineShapes(scene, {-32768, -32768, 32767, 32767}, scale, 0, 0);
    for (auto _ : state) {
        scene.image.Clear();
        BaselineDrawShapes(scene.image.bytes(), kWidth, kHeight, kWidth * 4, shapes.data(),
                           shapes.size(), kFamily, kTextSize, double(scale) / kFixed24One);
    }
    state.SetLabel(labels ? "shapes and two labels" : "shapes");
}
BENCHMARK(BM_SymbolsBaseline)
    ->ArgsProduct({{0, 1}, {1000, 5000, 20000, 30000}, {100, 25}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The sheet: argument 0 at fit (the whole sheet, scale 1/4), 1 at 4x zoom (scale 1, centred).
struct SheetView {
    int32_t scale, h, v;
};
SheetView ViewOf(int64_t zoom) {
    if (zoom == 0) return {kFixed24One / 4, 0, 0};
    return {kFixed24One, (kSheetWidth - kWidth) / 2, (kSheetHeight - kHeight) / 2};
}

Scene& Sheet() {
    static Scene* scene = [] {
        auto* s = new Scene(MakeSymbols(kSymbols, 100, 76, 86, kSheetHeight), true);
        s->wires = MakeWires(kWires);
        return s;
    }();
    return *scene;
}

void BM_Sheet(benchmark::State& state) {
    Scene& scene = Sheet();
    const SheetView view = ViewOf(state.range(0));
    scene.SetView(view.scale, view.h, view.v);
    const LRect visible = Visible(double(view.scale) / kFixed24One, view.h, view.v);
    for (auto _ : state) {
        scene.image.Clear();
        DrawOurs(scene, visible);
    }
    scene.SetView(kFixed24One, 0, 0);
    state.SetLabel(state.range(0) ? "4x zoom" : "fit");
}
BENCHMARK(BM_Sheet)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SheetBaseline(benchmark::State& state) {
    Scene& scene = Sheet();
    const SheetView view = ViewOf(state.range(0));
    const double scale = double(view.scale) / kFixed24One;
    const std::vector<BaselineShape> shapes =
        BaselineShapes(scene, Visible(scale, view.h, view.v), view.scale, view.h, view.v);
    for (auto _ : state) {
        scene.image.Clear();
        BaselineDrawShapes(scene.image.bytes(), kWidth, kHeight, kWidth * 4, shapes.data(),
                           shapes.size(), kFamily, kTextSize, scale);
    }
    state.SetLabel(state.range(0) ? "4x zoom" : "fit");
}
BENCHMARK(BM_SheetBaseline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Scrolling at 4x zoom: the pixels that stay are moved, only the strip that comes into view
// is drawn, and its items are found through buckets of the sheet (cells of 256 by 256 units), so
// that a scroll costs in proportion to the strip, not to the sheet.

constexpr int kCell = 256;

struct Buckets {
    int cols = kSheetWidth / kCell + 2, rows = kSheetHeight / kCell + 2;
    std::vector<std::vector<int>> cells = std::vector<std::vector<int>>(size_t(cols * rows));
    std::vector<uint32_t> seen;
    uint32_t query = 0;

    void Add(int item, int top, int left, int bottom, int right) {
        for (int r = std::max(0, top / kCell); r <= std::min(rows - 1, bottom / kCell); r++)
            for (int c = std::max(0, left / kCell); c <= std::min(cols - 1, right / kCell); c++)
                cells[size_t(r * cols + c)].push_back(item);
        if (seen.size() <= size_t(item)) seen.resize(size_t(item) + 1, 0);
    }
    // The items in the cells that meet the rectangle, each once, in item order.
    void Find(const LRect& a, std::vector<int>* out) {
        out->clear();
        ++query;
        for (int r = std::max(0, a.top / kCell); r <= std::min(rows - 1, a.bottom / kCell); r++)
            for (int c = std::max(0, a.left / kCell); c <= std::min(cols - 1, a.right / kCell); c++)
                for (int item : cells[size_t(r * cols + c)])
                    if (seen[size_t(item)] != query) {
                        seen[size_t(item)] = query;
                        out->push_back(item);
                    }
        std::sort(out->begin(), out->end());
    }
};

// The sheet's items in buckets: symbols first (their index), then wires (kSymbols + index).
Buckets& SheetBuckets() {
    static Buckets* buckets = [] {
        auto* b = new Buckets;
        const Scene& scene = Sheet();
        for (size_t i = 0; i < scene.symbols.size(); i++) {
            const Point at = scene.symbols[i].at;
            b->Add(int(i), at.v + kBounds.top, at.h + kBounds.left, at.v + kBounds.bottom, at.h + kBounds.right);
        }
        for (size_t i = 0; i < scene.wires.size(); i++) {
            const Wire& w = scene.wires[i];
            b->Add(int(scene.symbols.size() + i), std::min(w.v1, w.v2), std::min(w.h1, w.h2),
                   std::max(w.v1, w.v2) + 1, std::max(w.h1, w.h2) + 1);
        }
        return b;
    }();
    return *buckets;
}

// Moves the image's rows by dy (positive: the content moves up) and whitens the strip that came
// into view; returns the strip in device rows [top, bottom).
std::pair<int, int> ScrollPixels(Image& image, int dy) {
    const size_t row = kWidth, rows = size_t(kHeight - std::abs(dy));
    uint32_t* p = image.pixels.data();
    if (dy > 0) std::memmove(p, p + size_t(dy) * row, rows * row * 4);
    else std::memmove(p + size_t(-dy) * row, p, rows * row * 4);
    const int top = dy > 0 ? kHeight - dy : 0, bottom = dy > 0 ? kHeight : -dy;
    std::fill(p + size_t(top) * row, p + size_t(bottom) * row, 0xFFFFFFFFu);
    return {top, bottom};
}

// Argument: the rows scrolled by (135: an eighth of the view, 540: half, 1080: a whole screen),
// down and up again in turn, at 4x zoom in the middle of the sheet.
void BM_SheetScroll(benchmark::State& state) {
    Scene& scene = Sheet();
    Buckets& buckets = SheetBuckets();
    const int step = int(state.range(0));
    const SheetView view = ViewOf(1);
    int v = view.v;
    scene.SetView(view.scale, view.h, v);
    scene.image.Clear();
    DrawOurs(scene, Visible(1, view.h, v));
    std::vector<int> items;
    bool down = true;
    for (auto _ : state) {
        const int dy = down ? step : -step;
        down = !down;
        v += dy;
        scene.SetView(view.scale, view.h, v);
        const auto [top, bottom] = ScrollPixels(scene.image, dy);
        const XRect strip{0, double(top), double(kWidth), double(bottom - top)};
        QZSetClipRect(scene.window.port, &strip);
        const LRect area{v + top, view.h, v + bottom + 1, view.h + kWidth + 1};
        buckets.Find(area, &items);
        VXGrafState* previous = VXSetCurrentGrafState(&scene.window);
        VXSetPenWidth(1);
        int drawn = 0;
        for (int item : items) {
            if (item < kSymbols) {
                const Point at = scene.symbols[size_t(item)].at;
                if (!Meets(area, at.v + kBounds.top, at.h + kBounds.left, at.v + kBounds.bottom,
                           at.h + kBounds.right))
                    continue;
                ++drawn;
                VXPlayDisplayList(&scene.window, scene.lists[size_t(item)], scene.symbols[size_t(item)].at, 0,
                                  nullptr, nullptr);
            } else {
                const Wire& w = scene.wires[size_t(item - kSymbols)];
                if (!Meets(area, std::min(w.v1, w.v2), std::min(w.h1, w.h2), std::max(w.v1, w.v2) + 1,
                           std::max(w.h1, w.h2) + 1))
                    continue;
                ++drawn;
                VXMoveTo(w.h1, w.v1);
                VXLineTo(w.h2, w.v2);
            }
        }
        VXSetCurrentGrafState(previous);
        QZSetClipRgn(scene.window.port, nullptr);
        state.counters["items"] = double(drawn);
    }
    scene.SetView(kFixed24One, 0, 0);
}
BENCHMARK(BM_SheetScroll)->Arg(135)->Arg(540)->Arg(1080)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same scroll drawn by the backing library's painter: the pixels moved, and the primitives
// of the items that meet the strip (found by their bounds) drawn.
void BM_SheetScrollBaseline(benchmark::State& state) {
    Scene& scene = Sheet();
    const int step = int(state.range(0));
    const SheetView view = ViewOf(1);
    int v = view.v;
    bool down = true;
    for (auto _ : state) {
        const int dy = down ? step : -step;
        down = !down;
        v += dy;
        const auto [top, bottom] = ScrollPixels(scene.image, dy);
        const LRect area{v + top, view.h, v + bottom + 1, view.h + kWidth + 1};
        const std::vector<BaselineShape> shapes = BaselineShapes(scene, area, view.scale, view.h, v);
        BaselineDrawShapes(scene.image.bytes(), kWidth, kHeight, kWidth * 4, shapes.data(), shapes.size(),
                           kFamily, kTextSize, 1.0);
    }
}
BENCHMARK(BM_SheetScrollBaseline)->Arg(135)->Arg(540)->Arg(1080)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return plexa::RunCoreBenchmarks(argc, argv, "bench_graphics_sheetdraw", plexa::VXInitGraf); }
