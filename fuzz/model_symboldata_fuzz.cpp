// Fuzz target: symbol display data as sheets and libraries store it (the 16-byte head and the
// display list, in either byte order). The data is swapped into this machine's order, read into
// element, text and frame lists, written back from them and read again (what the writer writes
// must read), walked for its pins and their tails, and its image references are counted up and
// down and mapped into another list and released there. Every image reference taken is given back.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "fuzz/model_fuzz_app.h"
#include "graphics/pixels.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "graphics/offscreen.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/modelhooks.h"
#include "model/symboldata.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"

using namespace plexa;

namespace {

struct Setup {
    Setup() {
        StartModelFuzzApplication();
        for (txStyle* style : gDefaultTextThemes.styles) SetStyleFont(style, "DejaVu Sans");
        VXGetMeasuringState();
        images = CreateLocalImageList();
        for (int i = 0; i < 2; ++i) AddImageToImageList(images, VXCreateEmptyPixelImage(3 + i, 2, i));
        styles = CreateTextStyleList(gGenPool);
        block = CreateStringBlock(gGenPool, 1024);
    }
    ~Setup() {
        DestroyImageList(images);
        DestroyTextStyleList(styles);
        DestroyStringBlock(block);
    }
    ImageList* images = nullptr;
    TextStyleList* styles = nullptr;
    StringBlock block = nullptr;
};

uint32_t References(ImageList* list) {
    return GetImageListReferenceCount(list, 0) + GetImageListReferenceCount(list, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup s;
    if (size > 1 << 16) return 0;
    const uint32_t before = References(s.images);
    const int32_t globalBefore = DACount(gGlobalImageList->entries);
    std::vector<uint8_t> bytes(data, data + size);
    const auto n = uint32_t(size);
    (void)ByteSwapSymbolData(bytes.data(), n);  // fuzzing: only no crash counts

    ImageList* edit = CreateLocalImageList();
    LinkListHeader* elements = CreateElementList(edit);
    LinkListHeader* texts = CreateTextList();
    LinkListHeader* frames = CreateTextFrameList();
    if (SymbolDataToElements(bytes.data(), n, s.images, {2, -3}, elements, texts, frames, s.styles,
                             s.block, nullptr) == 0) {
        Handle again = ElementsToSymbolData(elements, texts, frames, s.block, false, s.images);
        if (again) {
            LinkListHeader* back = CreateElementList(edit);
            if (SymbolDataToElements(*again, SizeOfHandle(again), s.images, {0, 0}, back, nullptr,
                                     nullptr, nullptr, nullptr, nullptr) != 0)
                std::abort();
            DestroyElementList(back);
            (void)AdjustImageReferenceCountsFromSymbolData(*again, SizeOfHandle(again), s.images,  // fuzzing: only no crash counts
                                                     kImageReferenceRelease);
            MemFree(again);
        }
    } else if (elements->count + texts->count + frames->count != 0) {
        std::abort();  // a failed read keeps nothing
    }
    DestroyElementList(elements);
    DestroyTextList(texts);
    DestroyTextFrameList(frames);

    OSStatus status = 0;
    if (NodeMap map = ExtractSymbolNodePositions(bytes.data(), n, {0, 0}, &status)) {
        if (SizeOfPtr(map) != NodeMapSize(uint32_t(NodeMapCount(map)))) std::abort();
        Point tail;
        for (int32_t i = 0; i <= NodeMapCount(map); ++i)
            (void)ExtractSymbolNodeTailPosition(bytes.data(), n, {0, 0}, i, &tail);  // fuzzing: only no crash counts
        MemFreePtr(map);
    }
    if (AdjustImageReferenceCountsFromSymbolData(bytes.data(), n, s.images, kImageReferenceAdd) == 0)
        (void)AdjustImageReferenceCountsFromSymbolData(bytes.data(), n, s.images, kImageReferenceRelease);  // fuzzing: only no crash counts
    if (MapSymbolDataImageReferences(bytes.data(), n, s.images, edit) == 0)
        (void)AdjustImageReferenceCountsFromSymbolData(bytes.data(), n, edit, kImageReferenceRelease);  // fuzzing: only no crash counts
    DestroyImageList(edit);
    if (References(s.images) != before || DACount(gGlobalImageList->entries) != globalBefore)
        std::abort();
    return 0;
}
