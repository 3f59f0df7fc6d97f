// Stored style lists (ReadStyleList). A list that reads is used as a document uses it: each style's
// font and metrics are worked out and a text is drawn in it, and the list is written back and read
// again to the same styles.
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_surface.h"
#include "graphics/grafprocs.h"
#include "foundation/strings.h"
#include "graphics/textstyle.h"

using namespace plexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::EnsureGraphics();
    fuzz::InputStream in(data, size);
    if (!in) return 0;
    TextStyleList* list = nullptr;
    if (ReadStyleList(nullptr, in.get(), &list) != 0 || !list) return 0;
    fuzz::Surface surface;
    int styles = 0;
    for (void* item = LLFirst(list); item && styles < 8; item = LLGetNext(list, item), ++styles) {
        auto* style = static_cast<txStyle*>(item);
        char name[256];
        GetStyleFont(style, name);
        StyleMetrics metrics;
        // Sizes beyond what a sheet uses are drawn at a sheet's largest size.
        if (style->size > 512) SetStyleSize(style, 512);
        GetStyleMetrics(style, &metrics);
        if (surface.ready()) {
            CopyTextStyle(style, surface.state()->textStyle);
            VXMoveTo(4, 40);
            VXDrawTextWithEncoding("Ag", 2, kEncodingUTF8);
        }
    }
    fuzz::RoundTrip([&](StreamRecord* out) { return WriteStyleList(out, list); },
                    [](StreamRecord* in) {
                        TextStyleList* back = nullptr;
                        const OSStatus status = ReadStyleList(nullptr, in, &back);
                        if (back) DestroyTextStyleList(back);
                        return status;
                    });
    DestroyTextStyleList(list);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    fuzz::EnsureGraphics();
    std::vector<std::string> seeds;
    for (int shape = 0; shape < 3; ++shape) {
        TextStyleList* list = CreateTextStyleList(nullptr);
        if (!list) continue;
        const char* fonts[] = {"DejaVu Sans", "DejaVu Sans Mono", "Caf\xc3\xa9 Sans"};
        for (int i = 0; i <= shape; ++i) {
            txStyle* style = CreateTextStyle(nullptr, nullptr);
            SetStyleFont(style, fonts[i]);
            SetStyleSize(style, uint16_t(9 + i * 3));
            SetStyleFace(style, uint16_t(i));
            InstallStyleInList(style, list);
            DestroyTextStyle(style);
        }
        fuzz::OutputStream out;
        if (out && WriteStyleList(out.get(), list) == 0) seeds.push_back(out.bytes());
        DestroyTextStyleList(list);
    }
    return seeds;
}
