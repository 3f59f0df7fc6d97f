// Text of the renderer: measuring through the one-line cache against a new line each time,
// style metrics, and drawing a short text into an off-screen bitmap.
#include <benchmark/benchmark.h>

#include "bench/core_bench_main.h"

#include <string>
#include <vector>

#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/render_text.h"
#include "graphics/textstyle.h"

using namespace plexa;

namespace {

txStyle* TestStyle() {
    static txStyle* style = [] {
        txStyle* s = CreateTextStyle(nullptr, nullptr);
        SetStyleFont(s, "DejaVu Sans");
        SetStyleSize(s, 12);
        return s;
    }();
    return style;
}

void BM_MeasureCached(benchmark::State& state) {
    const QZTextAttributes& a = *EstablishAttributesForStyle(TestStyle());
    for (auto _ : state) benchmark::DoNotOptimize(QZMeasureText(a, kEncodingUTF8, "R1234 10k 5%", -1, 1, 1));
}
BENCHMARK(BM_MeasureCached);

void BM_MeasureNewLine(benchmark::State& state) {
    const QZTextAttributes& a = *EstablishAttributesForStyle(TestStyle());
    const char* texts[2] = {"R1234 10k 5%", "C5678 10n 10%"};
    int i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(QZMeasureText(a, kEncodingUTF8, texts[i ^= 1], -1, 1, 1));
}
BENCHMARK(BM_MeasureNewLine);

void BM_StyleMetrics(benchmark::State& state) {
    StyleMetrics m;
    uint16_t flip = 0;
    for (auto _ : state) {
        SetStyleSize(TestStyle(), uint16_t(12 + (flip ^= 1)));
        GetStyleMetrics(TestStyle(), &m);
        benchmark::DoNotOptimize(m);
    }
}
BENCHMARK(BM_StyleMetrics);

struct Window {
    QZBitmap bitmap;
};
int32_t Kind(void*) { return kQZWindowOffScreen; }
bool Image(void* w, QZBitmap* out) {
    *out = static_cast<Window*>(w)->bitmap;
    return true;
}

void BM_DrawText(benchmark::State& state) {
    std::vector<uint32_t> pixels(256 * 64, 0xFFFFFFFF);
    Window window{{reinterpret_cast<uint8_t*>(pixels.data()), 256, 64, 256 * 4, DrawPixelFormat::kARGB32}};
    QZWindowHooks hooks;
    hooks.kind = Kind;
    hooks.image = Image;
    QZSetWindowHooks(hooks);
    QZPort* port = QZPortAlloc(&window);
    QZInstallContext(port);
    QZSetFocus(port, -1);
    const QZTextAttributes& a = *EstablishAttributesForStyle(TestStyle());
    for (auto _ : state) {
        QZMoveTo(port, 10, 40);
        QZDrawText(port, a, kEncodingUTF8, "R1234 10k 5%", -1, int32_t(state.range(0)), false, 1, 1);
    }
    QZReleaseContext(port);
    QZPortFree(port);
}
BENCHMARK(BM_DrawText)->Arg(0)->Arg(90)->Arg(30);

}  // namespace

int main(int argc, char** argv) { return plexa::RunCoreBenchmarks(argc, argv, "bench_graphics_text", plexa::VXInitGraf); }
