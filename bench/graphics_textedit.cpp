// The text-edit record: laying out a long text, typing into the middle of a long paragraph
// (only the affected lines are re-wrapped; in the middle of these paragraphs of repeating words
// a typed letter moves a word on every line to the paragraph's end, the most an edit can move),
// typing at places spread over the paragraph, and a text display view appending a log. Typing
// in 200 words is the baseline of typing in longer paragraphs.
#include <benchmark/benchmark.h>

#include "bench/core_bench_main.h"

#include <string>

#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/render_text.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "graphics/textview.h"

using namespace plexa;

namespace {

struct Window {
    VXGrafState state;
    txStyle* style;
    Window() {
        style = CreateTextStyle(nullptr, nullptr);
        SetStyleFont(style, "DejaVu Sans");
        SetStyleSize(style, 12);
        state.textStyle = style;
        state.port = QZPortAlloc(nullptr);
        VXSetCurrentGrafState(&state);
    }
    ~Window() {
        VXSetCurrentGrafState(nullptr);
        QZPortFree(state.port);
        DestroyTextStyle(style);
    }
};

std::string Prose(int words) {
    std::string s;
    for (int i = 0; i < words; i++) s += (i % 13 == 12) ? "paragraph.\n" : "word" + std::to_string(i % 97) + " ";
    return s;
}

void BM_LayoutAllLines(benchmark::State& state) {
    Window w;
    const LRect r{0, 0, 10000, 400};
    VXTERecord* te = VXTENewUsingStyle(&r, &r, kTEStyleCurrent);
    const std::string text = Prose(int(state.range(0)));
    (void)VXTESetText(text.data(), int32_t(text.size()), kEncodingUTF8, te);  // fails only out of memory
    for (auto _ : state) VXTECalText(te);
    state.counters["lines"] = te->lineCount;
    VXTEDispose(te);
}
BENCHMARK(BM_LayoutAllLines)->Arg(200)->Arg(2000);

// An active record holding a paragraph of n words, 400 pixels wide.
struct Paragraph {
    Window window;
    std::string text;
    VXTERecord* te;
    explicit Paragraph(int64_t words) {
        const LRect r{0, 0, 10000, 400};
        te = VXTENewUsingStyle(&r, &r, kTEStyleCurrent);
        for (int64_t i = 0; i < words; i++) text += "word" + std::to_string(i % 97) + " ";
        (void)VXTESetText(text.data(), int32_t(text.size()), kEncodingUTF8, te);  // fails only out of memory
        VXTEActivate(te);
    }
    ~Paragraph() { VXTEDispose(te); }
};

void BM_TypeInALongParagraph(benchmark::State& state) {
    Paragraph p(state.range(0));
    VXTESetSelect(int32_t(p.text.size() / 2), int32_t(p.text.size() / 2), p.te);
    bool type = true;
    for (auto _ : state) VXTEKey((type = !type) ? uint16_t('x') : kTEKeyBackspace, p.te);
}
BENCHMARK(BM_TypeInALongParagraph)->Arg(200)->Arg(2000)->Arg(20000);

// A letter typed and taken back again at one of 16 places spread over the paragraph in turn.
void BM_TypeAcrossALongParagraph(benchmark::State& state) {
    Paragraph p(state.range(0));
    int64_t step = 0;
    for (auto _ : state) {
        if (step % 2 == 0) {
            const auto at = int32_t(p.text.size() * size_t(1 + (step / 2) % 16) / 17 + 3);
            VXTESetSelect(at, at, p.te);
            VXTEKey(uint16_t('x'), p.te);
        } else {
            VXTEKey(kTEKeyBackspace, p.te);
        }
        step++;
    }
}
BENCHMARK(BM_TypeAcrossALongParagraph)->Arg(200)->Arg(2000)->Arg(20000);

void BM_AppendToATextView(benchmark::State& state) {
    Window w;
    Handle h = AllocHandle(nullptr, 0);
    StreamRecord* stream = nullptr;
    (void)CreateStream(kStreamHandle, StreamTarget::OfHandle(h), &stream);  // a handle stream fails only out of memory
    TextDisplayRecord* view = CreateTextDisplay(&w.state, stream, 4, 400, 300, nullptr);
    const std::string line = "ECO: renamed net N$1234 to VCC_3V3 on sheet 2\n";
    for (auto _ : state) (void)TextDisplayAppend(view, line.data(), int32_t(line.size()), true);  // a handle stream fails only out of memory
    DestroyTextViewStructures(view);
    DisposeStream(stream);
    MemFree(h);
}
BENCHMARK(BM_AppendToATextView);

}  // namespace

int main(int argc, char** argv) { return plexa::RunCoreBenchmarks(argc, argv, "bench_graphics_textedit", plexa::VXInitGraf); }
