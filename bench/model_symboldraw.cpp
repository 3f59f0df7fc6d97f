// A sheet of 5,000 placed symbols redrawn into a 1920x1080 off-screen image, as the sheet
// view draws its symbols: each symbol a body frame, an inversion bubble, four pins and two texts
// (the texts are the sheet's and stop the play), played from the sheet's symbol map at its
// position. At 100 % the symbols are packed over the image; at 25 % they are spread over a sheet
// four times larger in each direction and the whole sheet is shown. Target: a full redraw of
// 5,000 symbols under 16 ms on one core.
//
// The expansion benchmark expands 50,000 "{RefDes}{Value}" texts of 1,000 symbols through the
// sheet's context chain, pushing and popping each symbol's contexts as the sheet's texts do.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/windowgeometry.h"
#include "graphics/offscreen.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"
#include "model/elements.h"
#include "model/fieldexpand.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/symboldata.h"
#include "model/symboldraw.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/themes.h"
#include "platform/app_platform.h"
#include "bench/core_bench_main.h"

namespace plexa {
namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kSymbols = 5000;

// The definition: pins left and right of a 30 x 40 body, a bubble on the output, two texts.
std::vector<uint8_t> Definition(SheetRecord* sheet) {
    LinkListHeader* elements = CreateElementList(sheet->imageList);
    const Point pins[4][2] = {{{8, 0}, {8, 10}}, {{22, 0}, {22, 10}}, {{8, 66}, {8, 56}}, {{22, 66}, {22, 50}}};
    for (const auto& pin : pins)
        LLAppend(elements, BuildNodeElement(pin[0], pin[1], 1, 0, false, 0, false, 0, false, 0));
    LLAppend(elements, BuildCommonElement(kElementRect, {0, 10}, {30, 50}, 1, 0, 0, false, false, 0,
                                          false, 0, false));
    LLAppend(elements, BuildCommonElement(kElementOval, {19, 50}, {25, 56}, 1, 0, 0, false, false, 0,
                                          false, 0, false));
    LinkListHeader* texts = CreateTextList();
    const char* strings[2] = {"{RefDes}", "{Value}"};
    for (int i = 0; i < 2; i++) {
        TextRecord* text = CreateTextElement();
        text->kind = kTextKindSymbolAttribute;
        text->style = gDefaultStyle;
        SetupTheText(text, sheet->stringBlock, {int16_t(i ? 42 : -3), 10}, nullptr, strings[i]);
        LLAppend(texts, text);
    }
    Handle data = ElementsToSymbolData(elements, texts, nullptr, sheet->stringBlock, false,
                                       sheet->imageList);
    std::vector<uint8_t> bytes(*data, *data + SizeOfHandle(data));
    MemFree(data);
    DestroyTextList(texts);
    DestroyElementList(elements);
    return bytes;
}

struct Scene {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t(kWidth) * kHeight, 0xFFFFFFFF);
    QZBitmap bitmap{};
    VXGrafState* graf = nullptr;
    SheetRecord* sheet = nullptr;

    // Symbols in rows of 100, dh and dv apart.
    Scene(int dh, int dv) {
        bitmap = {reinterpret_cast<uint8_t*>(pixels.data()), kWidth, kHeight, kWidth * 4,
                  DrawPixelFormat::kARGB32};
        graf = VXNewOffScreenState(&bitmap);
        if (graf && QZInstallContext(graf->port)) QZSetFocus(graf->port, -1);
        sheet = CreateDrawing();
        const std::vector<uint8_t> bytes = Definition(sheet);
        const int32_t id = AddSymbolToMap(sheet->symbolMap, bytes.data(), int32_t(bytes.size()),
                                          sheet->imageList);
        for (int i = 0; i < kSymbols; i++) {
            SymbolRecord* symbol = CreateSymbol();
            symbol->mapId = id;
            symbol->libraryName = kNoLibraryName;
            symbol->position = {int16_t((i / 100) * dv + 20), int16_t((i % 100) * dh + 20)};
            AddSymbolToSheet(sheet, symbol);
        }
    }
    ~Scene() {
        DestroySheet(sheet);
        VXDisposeOffScreenState(graf);
    }
    void Draw() {
        std::fill(pixels.begin(), pixels.end(), 0xFFFFFFFF);
        for (void* item = LLFirst(sheet->symbolList); item; item = LLGetNext(sheet->symbolList, item))
            DrawSymbol(sheet, static_cast<SymbolRecord*>(item), sheet->imageList, graf, false);
    }
};

// Argument: the view scale in percent (100: packed over the image; 25: a sheet four times larger).
void BM_DrawSymbols(benchmark::State& state) {
    const bool quarter = state.range(0) == 25;
    Scene scene(quarter ? 76 : 19, quarter ? 86 : 21);
    if (quarter) SetWindowScaleFactors(&scene.graf->geometry, kFixed24One / 4, kFixed24One / 4);
    for (auto _ : state) scene.Draw();
    state.SetItemsProcessed(state.iterations() * kSymbols);
}
BENCHMARK(BM_DrawSymbols)->Arg(100)->Arg(25)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExpandRefDesValue(benchmark::State& state) {
    constexpr int kTexts = 50000, kOwners = 1000;
    SheetRecord* sheet = CreateDrawing();
    std::vector<SymbolRecord*> symbols;
    for (int i = 0; i < kOwners; i++) {
        SymbolRecord* symbol = CreateSymbol();
        symbol->libraryName = kNoLibraryName;
        AddSymbolToSheet(sheet, symbol);
        char text[16];
        std::snprintf(text, sizeof text, "R%d", i + 1);
        SetSymbolRefName(symbol, sheet->stringBlock, text);
        std::snprintf(text, sizeof text, "%dk", i % 100);
        SetSymbolAttribute(symbol, sheet->stringBlock, "Value", text, nullptr);
        symbols.push_back(symbol);
    }
    DataContextChain* chain = BuildSheetContextChain(sheet, nullptr);
    char buffer[kTextStringSize];
    int64_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < kTexts; i++) {
            BuildSymbolContextChain(chain, sheet, symbols[size_t(i % kOwners)], true);
            std::memcpy(buffer, "{RefDes}{Value}", 15);
            int32_t length = 15;
            ExpandDataString(buffer, &length, sizeof buffer - 1, chain);
            PopDataCtxChain(chain);
            bytes += length;
        }
    }
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations() * kTexts);
    DestroyDataCtxChain(chain);
    DestroySheet(sheet);
}
BENCHMARK(BM_ExpandRefDesValue)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    return plexa::RunCoreBenchmarks(argc, argv, "bench_model_symboldraw");
}
