// Pixel image speed: BMP writing and reading of image-list sized and large pictures, and
// quarter turns.
#include <benchmark/benchmark.h>

#include "bench/core_bench_main.h"

#include "foundation/memory.h"
#include "foundation/stream.h"
#include "graphics/bmp.h"
#include "graphics/pixels.h"

namespace plexa {
namespace {

VXPixels* Picture(int32_t side, int32_t colour) {
    VXPixels* image = VXCreateEmptyPixelImage(side, side, colour);
    for (uint32_t i = 0; i < image->rowBytes * image->height; i++) image->bits[i] = uint8_t(i * 7);
    return image;
}

void BM_WriteReadBMP(benchmark::State& state) {
    VXPixels* image = Picture(int32_t(state.range(0)), int32_t(state.range(1)));
    for (auto _ : state) {
        Handle h = AllocHandle(nullptr, 0);
        StreamRecord* stream = nullptr;
        (void)CreateStream(kStreamHandle, StreamTarget::OfHandle(h), &stream);  // a handle stream fails only out of memory
        (void)VXWriteBMP(stream, false, image, 72, 72);  // a handle stream fails only out of memory
        (void)SetStreamPosition(stream, 0);  // a handle stream fails only out of memory
        VXPixels* back = nullptr;
        (void)VXReadBMP(stream, false, 0, nullptr, &back);  // the image just written reads back
        benchmark::DoNotOptimize(back);
        VXDestroyPixelImage(back);
        DisposeStream(stream);
        MemFree(h);
    }
    VXDestroyPixelImage(image);
}
BENCHMARK(BM_WriteReadBMP)->Args({32, 0})->Args({32, 1})->Args({1024, 0})->Args({1024, 1});

void BM_RotateRight(benchmark::State& state) {
    VXPixels* image = Picture(int32_t(state.range(0)), 1);
    for (auto _ : state) {
        VXPixels* turned = VXRotatePixelImageRight(image);
        benchmark::DoNotOptimize(turned);
        VXDestroyPixelImage(turned);
    }
    VXDestroyPixelImage(image);
}
BENCHMARK(BM_RotateRight)->Arg(64)->Arg(1024);

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) { return plexa::RunCoreBenchmarks(argc, argv, "bench_graphics_pixels"); }
