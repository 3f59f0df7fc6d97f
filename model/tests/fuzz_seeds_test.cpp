// Writes the seed inputs of the model's fuzz targets (fuzz/corpus/model_*) with the module's own
// writers when PLEXA_FUZZ_SEEDS names the corpus folder; otherwise it only checks that the
// writers produce what the targets read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "model/annotation.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/tests/model_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

using FuzzSeeds = ImageListTest;

TEST_F(FuzzSeeds, ImageLists) {
    ImageList* list = CreateLocalImageList();
    CheckFuzzSeed("model_imagelist", "empty", Flatten(list));
    AddImageToImageList(list, GreyImage(10, 3, 1));
    AddImageToImageList(list, ColourImage(4, 4, 7, true));
    AddImageToImageList(list, ColourImage(5, 3, 0x204060, false));
    CheckFuzzSeed("model_imagelist", "three", Flatten(list));
    ReleaseImageListImage(list, 1);
    const std::string gap = Flatten(list);
    CheckFuzzSeed("model_imagelist", "gap", gap);
    ImageList* back = Inflate(gap);
    ASSERT_TRUE(back);
    EXPECT_TRUE(GetImageFromImageList(back, 2, false));
    DestroyImageList(back);
    DestroyImageList(list);
}

TEST_F(FuzzSeeds, Elements) {
    ImageList* images = CreateLocalImageList();
    AddImageToImageList(images, VXCreateEmptyPixelImage(3, 2, 0));
    std::vector<ElementRecord*> elements = {
        BuildCommonElement(1, {10, 10}, {10, 50}, 1, 0, 0, false, true, 0xFF0000, false, 0, false),
        BuildCommonElement(2, {10, 10}, {10, 50}, 2, 10, 23, false, false, 0, false, 0, false),
        BuildCommonElement(3, {5, 10}, {20, 40}, 3, 0, 0, true, false, 0, true, 0x112233, true),
        BuildCommonElement(6, {0, 0}, {20, 20}, 1, 0, 90, false, false, 0, false, 0, false),
        BuildNodeElement({10, 40}, {10, 20}, 1, 3, false, 7, false, 0, false, 0),
        BuildImageElement(nullptr, nullptr, 1, {10, 20}, 30, 15, 72, 96, true, false, 0, false, 0),
    };
    Handle points = AllocHandleWithData(nullptr, "\0\5\0\5\0\36\0\12\0\5\0\50", 12);
    elements.push_back(BuildPolyElement(3, points, 2, true, false, 0, false, 0, false));
    MemFree(points);
    ElementAs<ImageElement>(elements[5])->imageId = 0;
    HandleStream out;
    for (ElementRecord* e : elements) ASSERT_EQ(WriteStoredElement(out.stream, e), 0);
    ASSERT_EQ(StreamWriteLong(out.stream, uint32_t(-1)), 0);
    CheckFuzzSeed("model_elements", "native", std::string(1, '\0') + out.bytes());
    ElementAs<ImageElement>(elements[5])->imageId = -1;
    for (ElementRecord* e : elements) DestroyElement(e, images);
    DestroyImageList(images);
}

TEST_F(FuzzSeeds, AnnotationMaps) {
    AnnotationMap* map = CreateAnnotationMap(true);
    auto write = [&] {
        HandleStream out;
        EXPECT_EQ(WriteAnnotationMap(out.stream, map), 0);
        return out.bytes();
    };
    CheckFuzzSeed("model_annotation", "empty", write());
    SetAnnotation(map, 4, 0, "U1", 0);
    SetAnnotation(map, 4, 7, "U12", 1);
    SetAnnotation(map, 9, 0, "R3", -1);
    SetAnnotation(map, 12, 2, "C1", 0);
    ApplyAnnotationMapChanges(map, nullptr);
    SetAnnotation(map, 12, 2, nullptr, -1);  // pending, not written
    CheckFuzzSeed("model_annotation", "native", write());
    DestroyAnnotationMap(map);
}

}  // namespace
}  // namespace plexa::test
