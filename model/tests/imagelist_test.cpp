// Image lists: shared references between local lists and the global list, the stored form (a
// hand-written fixture, round trips, lists with gaps in their ids, hostile and truncated input,
// memory running out while reading) and the compaction of a sheet's list.
#include "model/imagelist.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "graphics/pixels.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/tests/model_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

using ImageLists = ImageListTest;

bool SameImage(VXPixels* a, VXPixels* b) { return a && b && VXComparePixelImages(a, b) == 0; }

// A copy of an image that the caller keeps (a list takes over what is added to it).
VXPixels* Copy(const VXPixels* image) {
    VXPixels* turned = VXTransformPixelImage(image, 2);
    VXPixels* copy = VXTransformPixelImage(turned, 2);
    VXDestroyPixelImage(turned);
    return copy;
}

// The ids that name an image, in order.
std::vector<int32_t> Ids(ImageList* list) {
    std::vector<int32_t> ids;
    for (int32_t id = 0; id < 64; ++id)
        if (GetImageFromImageList(list, id, false)) ids.push_back(id);
    return ids;
}

TEST_F(ImageLists, IdenticalContentSharesOneEntryAndOneGlobalReference) {
    ImageList* a = CreateLocalImageList();
    ImageList* b = CreateLocalImageList();
    const int32_t first = AddImageToImageList(a, GreyImage(8, 4, 1));
    const int32_t second = AddImageToImageList(a, GreyImage(8, 4, 1));
    EXPECT_EQ(first, second);
    EXPECT_EQ(GetImageListReferenceCount(a, first), 2u);
    VXPixels* pixels = GetImageFromImageList(a, first, false);
    const ImageListEntry key{pixels, 0};
    int32_t globalId = DASearch(gGlobalImageList->entries, 0, &key, 0);
    ASSERT_FALSE(uint32_t(globalId) & kDANotFound);
    DAGetPhysicalId(gGlobalImageList->entries, &globalId);
    EXPECT_EQ(GetImageFromImageList(gGlobalImageList, globalId, false), pixels);  // shared pixels
    EXPECT_EQ(GetImageListReferenceCount(gGlobalImageList, globalId), 1u);

    const int32_t inB = AddImageToImageList(b, GreyImage(8, 4, 1));
    EXPECT_EQ(GetImageFromImageList(b, inB, false), pixels);
    EXPECT_EQ(GetImageListReferenceCount(gGlobalImageList, globalId), 2u);
    // Adding an image that is the list's own record raises the count and keeps the record.
    EXPECT_EQ(AddImageToImageList(b, pixels), inB);
    EXPECT_EQ(GetImageListReferenceCount(b, inB), 2u);

    // Released as often as added, an entry goes; the pixels go with the last list using them.
    ReleaseImageListImage(a, first);
    ReleaseImageListImage(a, first);
    EXPECT_EQ(GetImageFromImageList(a, first, false), nullptr);
    EXPECT_EQ(GetImageListReferenceCount(gGlobalImageList, globalId), 1u);
    ReleaseImageListImage(a, first);  // a freed id is ignored
    DestroyImageList(b);
    EXPECT_EQ(GetImageFromImageList(gGlobalImageList, globalId, false), nullptr);
    DestroyImageList(a);
    DestroyImageList(nullptr);
}

TEST_F(ImageLists, IdsStayPutWhileOthersGoAndFreedIdsAreReused) {
    ImageList* list = CreateLocalImageList();
    std::vector<int32_t> ids;
    for (uint32_t i = 0; i < 5; ++i) ids.push_back(AddImageToImageList(list, GreyImage(4 + int(i), 4, i)));
    EXPECT_EQ(ids, (std::vector<int32_t>{0, 1, 2, 3, 4}));
    VXPixels* last = GetImageFromImageList(list, 4, false);
    ReleaseImageListImage(list, 1);
    ReleaseImageListImage(list, 3);
    EXPECT_EQ(Ids(list), (std::vector<int32_t>{0, 2, 4}));
    EXPECT_EQ(GetImageFromImageList(list, 4, false), last);
    const int32_t added = AddImageToImageList(list, ColourImage(2, 2, 9, false));
    EXPECT_TRUE(added == 1 || added == 3 || added > 4) << added;  // a free id
    DestroyImageList(list);
}

TEST_F(ImageLists, TransferMovesOneReferenceAndFreeingOnceDropsSingles) {
    ImageList* from = CreateLocalImageList();
    ImageList* to = CreateLocalImageList();
    AddImageToImageList(to, GreyImage(3, 3, 0));
    const int32_t id = AddImageToImageList(from, GreyImage(5, 5, 1));
    GetImageFromImageList(from, id, true);
    const int32_t moved = TransferImageListReference(from, id, to);
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(GetImageListReferenceCount(from, id), 1u);
    EXPECT_EQ(GetImageListReferenceCount(to, moved), 1u);
    EXPECT_EQ(TransferImageListReference(from, 7, to), -1);
    GetImageFromImageList(to, moved, true);
    FreeOneReferenceForEachImageInList(to);
    EXPECT_EQ(Ids(to), (std::vector<int32_t>{1}));
    EXPECT_EQ(GetImageListReferenceCount(to, moved), 1u);
    DestroyImageList(from);
    DestroyImageList(to);
}

// A list that cannot take a reference leaves the image where it was: the pixels it was handed
// belong to the global list and stay alive.
TEST_F(ImageLists, AFailedTransferLeavesTheSourceWhole) {
    ImageList* from = CreateLocalImageList();
    const int32_t id = AddImageToImageList(from, GreyImage(6, 6, 1));
    MemPool saved = gCurrentPool;
    MemPool pool = CreatePool(4096);
    MemPoolSetCeiling(pool, 16 * 1024);
    gCurrentPool = pool;
    ImageList* to = CreateLocalImageList();
    gCurrentPool = saved;
    ASSERT_TRUE(to);
    std::vector<Ptr> fill;
    std::vector<Handle> handles;
    for (uint32_t size : {1024u, 64u, 8u}) {
        while (Ptr p = AllocPtr(pool, size)) fill.push_back(p);
        while (Handle h = AllocHandle(pool, size)) handles.push_back(h);
    }
    EXPECT_EQ(TransferImageListReference(from, id, to), -1);
    EXPECT_EQ(GetImageListReferenceCount(from, id), 1u);
    VXPixels* kept = GetImageFromImageList(from, id, false);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->width, 6);
    EXPECT_EQ(kept->bits[2], 0);
    for (Ptr p : fill) MemFreePtr(p);
    for (Handle h : handles) MemFree(h);
    DestroyImageList(to);
    DestroyImageList(from);
    MemPoolFree(pool);
}

// ---- Stored form ----

// A list of two images written by hand: a 10 x 3 grey picture without a stored id (it takes the
// next id, 0), then a 1 x 1 white picture stored as id 2 (id 1 stays free). Both plain BMPs.
const char* const kFixture =
    "00000002"                      // image count, big-endian
    // Image 1: head
    "01 00 0000 00000044"           // 1, not compressed, no stored id, 68 data bytes
    "424D 44000000 00000000 3E000000"  // "BM", file size 68, reserved, rows at 62
    "28000000 0A000000 03000000"    // info header 40 bytes, width 10, height 3 (bottom row first)
    "0100 0100 00000000 06000000"   // planes 1, 1 bit a pixel, no compression, 6 row bytes
    "00000000 00000000 00000000 00000000"  // no resolution, colours used and important 0
    "00000000 FFFFFF00"             // palette: black, white
    "FFC0"                          // bottom row: 10 white pixels, padded to 2 bytes
    "7F80"                          // middle row: black, 8 white, black
    "0000"                          // top row: black
    // Image 2: head
    "01 00 0003 00000040"           // 1, not compressed, stored id 2 (+1), 64 data bytes
    "424D 40000000 00000000 3E000000"
    "28000000 01000000 01000000 0100 0100 00000000 02000000"
    "00000000 00000000 00000000 00000000"
    "00000000 FFFFFF00"
    "8000";                         // one white pixel

TEST_F(ImageLists, HandWrittenFixtureReadsWithItsStoredIds) {
    ImageList* list = Inflate(Hex(kFixture));
    ASSERT_TRUE(list);
    EXPECT_EQ(Ids(list), (std::vector<int32_t>{0, 2}));
    VXPixels* picture = GetImageFromImageList(list, 0, false);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 10);
    EXPECT_EQ(picture->height, 3);
    const uint8_t* rows = picture->bits;
    EXPECT_EQ(rows[0], 0);                         // top row black
    EXPECT_EQ(rows[picture->rowBytes], 0);         // middle row: black ends
    EXPECT_EQ(rows[picture->rowBytes + 1], 255);
    EXPECT_EQ(rows[picture->rowBytes + 9], 0);
    EXPECT_EQ(rows[2 * picture->rowBytes + 9], 255);  // bottom row white
    VXPixels* dot = GetImageFromImageList(list, 2, false);
    ASSERT_TRUE(dot);
    EXPECT_EQ(dot->width, 1);
    EXPECT_EQ(dot->bits[0], 255);
    // Writing an image plainly gives its stored bytes back, now with its id.
    HandleStream out;
    ASSERT_EQ(FlattenImageListImage(out.stream, list, 0, false), 0);
    std::string expected = Hex(kFixture).substr(4, 8 + 0x44);
    expected[3] = 1;
    EXPECT_EQ(out.bytes(), expected);
    EXPECT_EQ(FlattenImageListImage(out.stream, list, 1, false), status::kParamErr);
    DestroyImageList(list);
}

TEST_F(ImageLists, ThreeImagesRoundTripToTheSameBytes) {
    ImageList* list = CreateLocalImageList();
    VXPixels* originals[3] = {GreyImage(40, 20, 2), ColourImage(32, 32, 5, true),
                              ColourImage(30, 30, 0x336699, false)};
    std::vector<VXPixels*> copies;
    for (VXPixels* image : originals) {
        copies.push_back(Copy(image));
        AddImageToImageList(list, image);
    }
    const std::string bytes = Flatten(list);
    // The noisy picture is stored plainly, the others packed.
    std::vector<uint8_t> compressedFlags;
    for (size_t at = 4; at + 8 <= bytes.size();) {
        compressedFlags.push_back(uint8_t(bytes[at + 1]));
        at += 8 + (uint32_t(uint8_t(bytes[at + 4])) << 24 | uint32_t(uint8_t(bytes[at + 5])) << 16 |
                   uint32_t(uint8_t(bytes[at + 6])) << 8 | uint8_t(bytes[at + 7]));
    }
    EXPECT_EQ(compressedFlags, (std::vector<uint8_t>{1, 0, 1}));
    ImageList* back = Inflate(bytes);
    ASSERT_TRUE(back);
    for (int32_t id = 0; id < 3; ++id) {
        EXPECT_TRUE(SameImage(GetImageFromImageList(back, id, false), copies[size_t(id)])) << id;
        EXPECT_EQ(GetImageListReferenceCount(back, id), 1u);
    }
    EXPECT_EQ(Flatten(back), bytes);
    for (VXPixels* copy : copies) VXDestroyPixelImage(copy);
    DestroyImageList(back);
    DestroyImageList(list);
}

TEST_F(ImageLists, AnEmptyListReadsAsAnEmptyList) {
    ImageList* list = Inflate(Hex("00000000"));
    ASSERT_TRUE(list);
    EXPECT_EQ(DACount(list->entries), 0);
    EXPECT_EQ(Flatten(list), Hex("00000000"));
    DestroyImageList(list);
}

TEST_F(ImageLists, IdenticalStoredImagesMergeWhenNoIdsAreStored) {
    ImageList* list = CreateLocalImageList();
    AddImageToImageList(list, GreyImage(6, 6, 0));
    std::string one = Flatten(list).substr(4);
    one[3] = 0;  // no stored id
    ImageList* back = Inflate(Hex("00000002") + one + one);
    ASSERT_TRUE(back);
    EXPECT_EQ(Ids(back), (std::vector<int32_t>{0}));
    EXPECT_EQ(GetImageListReferenceCount(back, 0), 2u);
    DestroyImageList(back);
    DestroyImageList(list);
}

// Elements that refer to a list whose freed entries left gaps point at their own pictures after
// the list and the elements are stored and read back.
TEST_F(ImageLists, AListWithGapsReloadsWithEveryElementOnItsOwnPicture) {
    ImageList* list = CreateLocalImageList();
    LinkListHeader* elements = CreateElementList(list);
    std::vector<VXPixels*> expected;
    for (uint32_t i = 0; i < 6; ++i) {
        VXPixels* image = ColourImage(4 + int(i), 3, 0x100 * i, false);
        expected.push_back(Copy(image));
        LLAppend(elements, BuildImageElement(list, image, 0, {int16_t(10 * i), 0}, 8, 8, 72, 72,
                                             false, false, 0, false, 0));
    }
    // Drop the elements of images 1 and 3 (and with them their images): ids 1 and 3 are gaps.
    for (int index : {3, 1}) {
        auto* e = static_cast<ElementRecord*>(LLGetIndexedLink(elements, uint32_t(index)));
        LLRemoveOrFree(elements, e, nullptr, true);
        VXDestroyPixelImage(expected[size_t(index)]);
        expected.erase(expected.begin() + index);
    }
    ASSERT_EQ(Ids(list), (std::vector<int32_t>{0, 2, 4, 5}));
    HandleStream out;
    ASSERT_EQ(FlattenImageList(out.stream, list), 0);
    for (auto* e = static_cast<ElementRecord*>(LLFirst(elements)); e; e = e->next)
        ASSERT_EQ(WriteStoredElement(out.stream, e), 0);
    DestroyElementList(elements);
    DestroyImageList(list);

    // Read as a sheet does: the list, each element with one reference, then the list's own
    // references dropped.
    HandleStream in(out.bytes());
    ImageList* back = nullptr;
    ASSERT_EQ(InflateImageList(in.stream, &back), 0);
    EXPECT_EQ(Ids(back), (std::vector<int32_t>{0, 2, 4, 5}));
    std::vector<ElementRecord*> read;
    for (size_t i = 0; i < expected.size(); ++i) {
        uint32_t tail = 0;
        ASSERT_EQ(StreamReadLong(in.stream, &tail), 0);
        ElementRecord* e = nullptr;
        ASSERT_EQ(ReadStoredElement(in.stream, 28, int32_t(tail), false, back, &e), 0);
        read.push_back(e);
    }
    FreeOneReferenceForEachImageInList(back);
    for (size_t i = 0; i < read.size(); ++i) {
        const int32_t id = ElementAs<ImageElement>(read[i])->imageId;
        EXPECT_TRUE(SameImage(GetImageFromImageList(back, id, false), expected[i])) << i;
        EXPECT_EQ(GetImageListReferenceCount(back, id), 1u);
        DestroyElement(read[i], back);
        VXDestroyPixelImage(expected[i]);
    }
    EXPECT_EQ(DACount(back->entries), 0);
    DestroyImageList(back);
}

TEST_F(ImageLists, HostileStoredListsEndWithAStatus) {
    ImageList* list = CreateLocalImageList();
    AddImageToImageList(list, GreyImage(6, 6, 0));
    HandleStream plainOut;
    ASSERT_EQ(FlattenImageListImage(plainOut.stream, list, 0, false), 0);
    const std::string image = plainOut.bytes();
    DestroyImageList(list);
    std::string packed = image;
    packed[1] = 1;  // a plain BMP claimed to be packed
    std::string longer = image;
    longer[4] = '\x7F';  // a length far beyond the bytes
    std::string notBMP = image;
    notBMP[8] = 'X';
    std::string laterFirst = image;
    laterFirst[3] = 5;  // stored id 4, then an image stored as id 0
    // Packed bytes that claim to expand to nearly 4 GB.
    const std::string bomb = Hex("01 01 0000 0000000C FFFFFFF0 789C030000000001");
    struct Case {
        const char* name;
        std::string bytes;
        OSStatus status;
    };
    const Case cases[] = {
        {"no count", Hex("0000"), status::kEndOfFile},
        {"huge count", Hex("7FFFFFFF") + image, status::kEndOfFile},
        {"count beyond the images", Hex("00000002") + image, status::kEndOfFile},
        {"bad length", Hex("00000001") + longer, status::kEndOfFile},
        {"packed flag on plain bytes", Hex("00000001") + packed, status::kUnknownFileKind},
        {"packed length beyond its stream", Hex("00000001") + bomb, status::kUnknownFileKind},
        {"not a BMP", Hex("00000001") + notBMP, status::kUnknownFileKind},
        {"stored ids going back", Hex("00000002") + laterFirst + image, status::kUnknownFileKind},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OSStatus status = 0;
        EXPECT_EQ(Inflate(c.bytes, &status), nullptr);
        EXPECT_EQ(status, c.status);
    }
}

TEST_F(ImageLists, TruncatedAndMutatedListsEndWithAStatusOrAWholeList) {
    ImageList* list = CreateLocalImageList();
    AddImageToImageList(list, GreyImage(12, 5, 1));
    AddImageToImageList(list, ColourImage(6, 6, 3, true));
    AddImageToImageList(list, ColourImage(9, 4, 0x445566, false));
    ReleaseImageListImage(list, 1);
    const std::string bytes = Flatten(list);
    DestroyImageList(list);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        OSStatus status = 0;
        EXPECT_EQ(Inflate(bytes.substr(0, cut), &status), nullptr) << cut;
        EXPECT_NE(status, 0) << cut;
    }
    std::mt19937 rng(TestSeed());
    const uint64_t rounds = StressCount(3000);
    for (uint64_t i = 0; i < rounds; ++i) {
        std::string b = bytes;
        for (int k = 1 + int(rng() % 4); k > 0; --k) b[rng() % b.size()] = char(rng());
        OSStatus status = 0;
        if (ImageList* read = Inflate(b, &status)) {
            EXPECT_EQ(status, 0);
            HandleStream again;
            EXPECT_EQ(FlattenImageList(again.stream, read), 0);
            DestroyImageList(read);
        }
    }
}

// A reader that runs out of memory at any point frees what it built and reports -108.
TEST_F(ImageLists, ReadingUnderAPoolCeilingFailsCleanlyUntilItFits) {
    ImageList* list = CreateLocalImageList();
    AddImageToImageList(list, GreyImage(64, 40, 1));
    AddImageToImageList(list, ColourImage(48, 48, 3, true));
    AddImageToImageList(list, ColourImage(40, 40, 0x445566, false));
    const std::string bytes = Flatten(list);
    DestroyImageList(list);
    MemPool saved = gCurrentPool;
    bool succeeded = false;
    int failures = 0;
    for (uint32_t ceiling = 16 * 1024; ceiling <= 1024 * 1024 && !succeeded; ceiling += 4 * 1024) {
        MemPool pool = CreatePool(4096);
        ASSERT_TRUE(pool);
        MemPoolSetCeiling(pool, ceiling);
        HandleStream in(bytes);  // made outside the limited pool
        gCurrentPool = pool;
        ImageList* read = nullptr;
        const OSStatus status = InflateImageList(in.stream, &read);
        if (status == 0) {
            succeeded = true;
            EXPECT_EQ(DACount(read->entries), 3);
            DestroyImageList(read);
        } else {
            ++failures;
            EXPECT_EQ(status, status::kOutOfMemory) << ceiling;
            EXPECT_EQ(read, nullptr);
        }
        gCurrentPool = saved;
        MemPoolFree(pool);
    }
    EXPECT_TRUE(succeeded);
    EXPECT_GT(failures, 2);
}

// ---- Compaction ----

struct CompactionLog {
    int undoCleared = 0;
};
CompactionLog gCompaction;

class Compaction : public ImageListTest {
protected:
    void SetUp() override {
        ImageListTest::SetUp();
        gCompaction = {};
        ImageListSheetHooks hooks;
        hooks.clearUndoAction = [](SheetRecord*) { ++gCompaction.undoCleared; };
        SetImageListSheetHooks(hooks);
        sheet_ = {};
        sheet_.imageList = CreateLocalImageList();
        sheet_.elementList = CreateElementList(sheet_.imageList);
    }
    void TearDown() override {
        DestroyElementList(sheet_.elementList);
        DestroyImageList(sheet_.imageList);
        SetImageListSheetHooks({});
        ImageListTest::TearDown();
    }
    ElementRecord* AddImage(VXPixels* image) {
        return static_cast<ElementRecord*>(
            LLAppend(sheet_.elementList, BuildImageElement(sheet_.imageList, image, 0, {0, 0}, 4, 4,
                                                           72, 72, false, false, 0, false, 0)));
    }
    SheetRecord sheet_;
};

TEST_F(Compaction, LeavesDenseIdsAndEveryElementOnItsPicture) {
    ImageList* old = sheet_.imageList;
    for (uint32_t i = 0; i < 5; ++i) AddImageToImageList(old, GreyImage(3, 3, i));  // unused
    ElementRecord* a = AddImage(ColourImage(5, 5, 0x11, false));
    ElementRecord* b = AddImage(ColourImage(6, 5, 0x22, false));
    ElementRecord* c = AddImage(ColourImage(5, 5, 0x11, false));  // shares a's picture
    ElementRecord* lost = AddImage(nullptr);
    ElementAs<ImageElement>(lost)->imageId = 40;  // names nothing
    VXPixels* pictureA = GetImageFromImageList(old, ElementAs<ImageElement>(a)->imageId, false);
    VXPixels* pictureB = GetImageFromImageList(old, ElementAs<ImageElement>(b)->imageId, false);
    CompactSheetsImageList(&sheet_);
    EXPECT_EQ(gCompaction.undoCleared, 1);
    ASSERT_NE(sheet_.imageList, old);
    EXPECT_EQ(GetElementListImageList(sheet_.elementList), sheet_.imageList);
    EXPECT_EQ(Ids(sheet_.imageList), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(ElementAs<ImageElement>(a)->imageId, 0);
    EXPECT_EQ(ElementAs<ImageElement>(b)->imageId, 1);
    EXPECT_EQ(ElementAs<ImageElement>(c)->imageId, 0);
    EXPECT_EQ(ElementAs<ImageElement>(lost)->imageId, -1);
    EXPECT_EQ(GetImageFromImageList(sheet_.imageList, 0, false), pictureA);
    EXPECT_EQ(GetImageFromImageList(sheet_.imageList, 1, false), pictureB);
    EXPECT_EQ(GetImageListReferenceCount(sheet_.imageList, 0), 2u);
}

}  // namespace
}  // namespace plexa::test
