// Image lists: reference-counted, content-shared pixel images and their stored form.
//
// Stored form of a list (multi-byte fields big-endian):
//   u32 image count, then for every image in id order an 8-byte head and the image's data:
//     u8  1 (not tested on reading)
//     u8  compressed: 1 when the data is packed
//     u16 stored id + 1, or 0: the image takes the next id of the list being read
//     u32 data length in bytes
//   data: the image as a BMP with its 14-byte file header (graphics/bmp.h); when compressed,
//   those bytes as packed by CompressDataBytes (u32 unpacked length, then a zlib stream). The
//   writer packs only when the packed form is strictly smaller.
// The stored id keeps the ids of a list whose freed entries left gaps, so that the references
// that elements and symbol definitions hold name the same pictures after reading: the reader
// leaves the missing ids free. Stored ids rise strictly and stay below 65535; an image whose id
// does not fit is written with 0. Lists written with 0 throughout number their images from 0 in
// order, identical images merging into one entry with a higher count.
//
// Every count and length is checked against the bytes left in the stream before anything is
// allocated for it, and an image's data is read as one bounded block, so that a picture can
// never reach into the next image.
#include "model/imagelist.h"

#include <cstring>
#include <utility>

#include "foundation/assert.h"
#include "foundation/bytes.h"
#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "graphics/bmp.h"
#include "graphics/pixels.h"
#include "model/elements.h"
#include "model/modelstate.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {

ImageList* gGlobalImageList = nullptr;
int32_t& gMissingImageId = gModelState.missingImageId;

namespace {

constexpr uint32_t kImageListFlags = kDAUnique | kDASorted;  // logical ids come with sorting
constexpr uint32_t kImageHeadSize = 8;
constexpr uint32_t kMaxStoredId = 0xFFFE;  // stored as id + 1 in 16 bits
constexpr bool kBMPFileHeader = true;

ImageListSheetHooks gSheetHooks;

ImageListEntry EntryAt(const void* item) {
    ImageListEntry entry;
    std::memcpy(&entry, item, sizeof entry);
    return entry;
}

// Content order; the empty slots that reading uses to hold the place of missing ids sort last.
int ImageListCompareProc(const void* a, const void* b) {
    const ImageListEntry ea = EntryAt(a), eb = EntryAt(b);
    if (!ea.image || !eb.image) return ea.image ? -1 : eb.image ? 1 : 0;
    return VXComparePixelImages(ea.image, eb.image);
}

bool GetPhysical(ImageList* list, int32_t id, ImageListEntry* entry) {
    if (!list || !list->entries || id < 0) return false;
    if (!DAPhysicalGet(list->entries, id, entry)) return false;
    return entry->image != nullptr;
}

void ReleasePhysical(ImageList* list, int32_t id);

void FreeOneGlobalImageListEntry(DAArray, int32_t, DALoopRecord* loop) {
    if (!loop || !loop->address) return;
    VXDestroyPixelImage(EntryAt(loop->address).image);
}

void FreeOneLocalImageListEntry(DAArray, int32_t, DALoopRecord* loop) {
    if (!loop || !loop->address || !gGlobalImageList) return;
    ImageListEntry entry = EntryAt(loop->address);
    if (!entry.image) return;
    int32_t found = DASearch(gGlobalImageList->entries, 0, &entry, 0);
    if (uint32_t(found) & kDANotFound) return;
    DAGetPhysicalId(gGlobalImageList->entries, &found);
    ReleasePhysical(gGlobalImageList, found);
}

ImageList* NewList(bool global) {
    // The global list lives for the run; a local list comes from the current pool.
    MemPool pool = global ? gGenPool : nullptr;
    auto* list = reinterpret_cast<ImageList*>(AllocPtrClear(pool, sizeof(ImageList)));
    if (!list) return nullptr;
    list->global = global;
    list->entries = DACreate(pool, sizeof(ImageListEntry), 0, kImageListFlags);
    if (!list->entries) {
        MemFreePtr(list);
        return nullptr;
    }
    DASetCompareProc(list->entries, ImageListCompareProc);
    DASetFreeProc(list->entries, global ? FreeOneGlobalImageListEntry : FreeOneLocalImageListEntry);
    return list;
}

// Destroys an image given to a list that could not keep it, unless it is the global list's own
// record (as local entries and the callers that move references between lists hand on).
void DropGivenImage(VXPixels* image) {
    if (!image) return;
    if (gGlobalImageList) {
        const ImageListEntry key{image, 0};
        const int32_t found = DASearch(gGlobalImageList->entries, 0, &key, 0);
        ImageListEntry entry;
        if (!(uint32_t(found) & kDANotFound) && DAGet(gGlobalImageList->entries, found, &entry) &&
            entry.image == image)
            return;
    }
    VXDestroyPixelImage(image);
}

void ReleasePhysical(ImageList* list, int32_t id) {
    ImageListEntry entry;
    if (!GetPhysical(list, id, &entry)) return;
    if (entry.referenceCount > 1) {
        --entry.referenceCount;
        DAPhysicalPut(list->entries, id, &entry);
        return;
    }
    int32_t logical = id;
    DAGetLogicalId(list->entries, &logical);
    if (logical >= 0) DAFree(list->entries, logical);
}

// The bytes left in a stream.
uint32_t Remaining(const StreamRecord* stream) {
    const int32_t left = GetStreamEnd(stream) - GetStreamPosition(stream);
    return left > 0 ? uint32_t(left) : 0;
}

// A handle stream over a new empty handle, or over the given bytes; both freed by the holder.
struct ScratchStream {
    Handle handle = nullptr;
    StreamRecord* stream = nullptr;
    ~ScratchStream() {
        if (stream) DisposeStream(stream);
        if (handle) MemFree(handle);
    }
    // Takes over `h` (a new empty handle when null); false when memory runs out.
    bool Open(Handle h) {
        handle = h ? h : AllocHandle(nullptr, 0);
        return handle && CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream) == 0;
    }
};

// Why packed bytes did not expand: -108 when the room their declared length asks for (no more
// than zlib could make of them) cannot be had, else damaged data.
OSStatus ExpandFailure(const char* packed, uint32_t length) {
    constexpr uint64_t kMostExpansion = 1032;  // deflate's largest ratio
    if (length < 4) return status::kUnknownFileKind;
    const uint32_t declared = GetBE32(reinterpret_cast<const uint8_t*>(packed));
    if (declared == 0 || declared > (length - 4) * kMostExpansion) return status::kUnknownFileKind;
    Handle probe = AllocHandle(nullptr, declared);
    if (!probe) return status::kOutOfMemory;
    MemFree(probe);
    return status::kUnknownFileKind;
}

// Reads one image: its bitmap bytes, then the bitmap.
OSStatus ReadStoredImage(StreamRecord* stream, VXPixels** image, uint32_t* storedId) {
    *image = nullptr;
    Handle data = nullptr;
    if (OSStatus status = ReadStoredImageBitmap(stream, &data, storedId)) return status;
    ScratchStream bmp;
    if (!bmp.Open(data)) return status::kOutOfMemory;
    return VXReadBMP(bmp.stream, kBMPFileHeader, 0, nullptr, image);
}

}  // namespace

OSStatus ReadStoredImageBitmap(StreamRecord* stream, Handle* bitmap, uint32_t* storedId) {
    *bitmap = nullptr;
    *storedId = 0;
    uint8_t head[kImageHeadSize];
    int32_t count = kImageHeadSize;
    if (OSStatus status = StreamRead(stream, head, &count)) return status;
    const bool compressed = head[1] != 0;
    *storedId = GetBE16(head + 2);
    const uint32_t length = GetBE32(head + 4);
    if (length > Remaining(stream)) return status::kEndOfFile;
    Handle data = AllocHandle(nullptr, length);
    if (!data) return status::kOutOfMemory;
    count = int32_t(length);
    if (OSStatus status = StreamRead(stream, length ? *data : nullptr, &count)) {
        MemFree(data);
        return status;
    }
    if (compressed) {
        uint32_t expandedLength = length;
        Handle expanded = ExpandDataBytes(nullptr, *data, &expandedLength);
        if (!expanded) {
            const OSStatus status = ExpandFailure(*data, length);
            MemFree(data);
            return status;
        }
        MemFree(data);
        data = expanded;
    }
    *bitmap = data;
    return status::kNoErr;
}

// ---- Lists and references ----

void InitImageLists() {
    if (!gGlobalImageList) gGlobalImageList = NewList(true);
    gMissingImageId = -1;
}

ImageList* CreateLocalImageList() { return NewList(false); }

void DestroyImageList(ImageList* list) {
    if (!list) return;
    if (list == gGlobalImageList) gGlobalImageList = nullptr;
    DAFreeAll(list->entries);
    DADispose(list->entries);
    MemFreePtr(list);
}

int32_t AddImageToImageList(ImageList* list, VXPixels* image) {
    if (!list || !image) {
        DropGivenImage(image);
        return -1;
    }
    if (!list->global && !gGlobalImageList) InitImageLists();
    const ImageListEntry fresh{image, 1};
    int32_t id = DAAdd(list->entries, &fresh);
    if (id < 0) {
        DropGivenImage(image);
        return -1;
    }
    const bool added = DADidAdd();
    DAGetPhysicalId(list->entries, &id);
    if (!added) {
        ImageListEntry entry;
        DAPhysicalGet(list->entries, id, &entry);
        ++entry.referenceCount;
        DAPhysicalPut(list->entries, id, &entry);
        if (entry.image != image) VXDestroyPixelImage(image);
        return id;
    }
    if (list->global) return id;
    // The global list takes the image over too; the local entry holds the global pixels.
    const int32_t globalId = AddImageToImageList(gGlobalImageList, image);
    ImageListEntry global;
    if (globalId < 0 || !GetPhysical(gGlobalImageList, globalId, &global)) {
        int32_t logical = id;
        DAGetLogicalId(list->entries, &logical);
        DARemove(list->entries, logical);  // the image is gone with the global add
        return -1;
    }
    const ImageListEntry local{global.image, 1};
    DAPhysicalPut(list->entries, id, &local);
    return id;
}

VXPixels* GetImageFromImageList(ImageList* list, int32_t id, bool addReference) {
    ImageListEntry entry;
    if (!GetPhysical(list, id, &entry)) return nullptr;
    if (addReference) {
        ++entry.referenceCount;
        DAPhysicalPut(list->entries, id, &entry);
    }
    return entry.image;
}

uint32_t GetImageListReferenceCount(ImageList* list, int32_t id) {
    ImageListEntry entry;
    return GetPhysical(list, id, &entry) ? entry.referenceCount : 0;
}

void ReleaseImageListImage(ImageList* list, int32_t id) { ReleasePhysical(list, id); }

int32_t TransferImageListReference(ImageList* from, int32_t id, ImageList* to) {
    VXPixels* image = GetImageFromImageList(from, id, false);
    if (!image || !to) return -1;
    const int32_t newId = AddImageToImageList(to, image);
    if (newId >= 0) ReleaseImageListImage(from, id);
    return newId;
}

void FreeOneReferenceForEachImageInList(ImageList* list) {
    if (!list) return;
    const int32_t limit = (*list->entries)->idLimit;
    for (int32_t id = 0; id < limit; ++id) ReleasePhysical(list, id);
}

// ---- Stored form ----

OSStatus FlattenImageListImage(StreamRecord* stream, ImageList* list, int32_t id, bool compress) {
    VXPixels* image = GetImageFromImageList(list, id, false);
    if (!image) return status::kParamErr;
    uint8_t head[kImageHeadSize] = {1, 0, 0, 0, 0, 0, 0, 0};
    if (id >= 0 && uint32_t(id) <= kMaxStoredId) {
        head[2] = uint8_t((id + 1) >> 8);
        head[3] = uint8_t(id + 1);
    }
    auto putLength = [&head](uint32_t length) {
        for (int i = 0; i < 4; ++i) head[4 + i] = uint8_t(length >> (24 - 8 * i));
    };
    ScratchStream bmp;
    Handle packed = nullptr;
    return CatchSignals(
        [&] {
            if (compress) {
                if (!bmp.Open(nullptr)) FailureSignal(status::kOutOfMemory);
                Signal(VXWriteBMP(bmp.stream, kBMPFileHeader, image, 0, 0));
                const uint32_t plainLength = SizeOfHandle(bmp.handle);
                uint32_t packedLength = plainLength;
                packed = CompressDataBytes(nullptr, *bmp.handle, &packedLength);
                const bool usePacked = packed && packedLength < plainLength;
                head[1] = usePacked ? 1 : 0;
                putLength(usePacked ? packedLength : plainLength);
                Signal(StreamWrite(stream, head, kImageHeadSize));
                Signal(StreamWrite(stream, usePacked ? *packed : *bmp.handle,
                                   int32_t(usePacked ? packedLength : plainLength)));
            } else {
                StreamRecord* counter = nullptr;
                Signal(CreateStream(kStreamCounter, StreamTarget::Counter(0), &counter));
                const OSStatus measured = VXWriteBMP(counter, kBMPFileHeader, image, 0, 0);
                const int32_t length = GetStreamEnd(counter);
                DisposeStream(counter);
                Signal(measured);
                putLength(uint32_t(length));
                Signal(StreamWrite(stream, head, kImageHeadSize));
                Signal(VXWriteBMP(stream, kBMPFileHeader, image, 0, 0));
            }
            if (packed) MemFree(std::exchange(packed, nullptr));
        },
        [&] {
            if (packed) MemFree(packed);
        });
}

OSStatus FlattenImageList(StreamRecord* stream, ImageList* list) {
    if (!list) return status::kParamErr;
    if (OSStatus status = StreamWriteLongBE(stream, uint32_t(DACount(list->entries)))) return status;
    int32_t id = -1;
    char* address = nullptr;
    while (DAPhysicalNextAddress(list->entries, &id, &address)) {
        if (OSStatus status = FlattenImageListImage(stream, list, id, true)) return status;
    }
    return status::kNoErr;
}

OSStatus InflateImageListImage(StreamRecord* stream, ImageList* list, int32_t* id) {
    *id = -1;
    if (!list) return status::kParamErr;
    VXPixels* image = nullptr;
    uint32_t storedId = 0;
    if (OSStatus status = ReadStoredImage(stream, &image, &storedId)) return status;
    *id = AddImageToImageList(list, image);
    return *id < 0 ? status::kOutOfMemory : status::kNoErr;
}

OSStatus InflateImageList(StreamRecord* stream, ImageList** out) {
    *out = nullptr;
    uint32_t count = 0;
    uint8_t bytes[4];
    int32_t length = 4;
    if (OSStatus status = StreamRead(stream, bytes, &length)) return status;
    count = GetBE32(bytes);
    if (count > Remaining(stream) / kImageHeadSize) return status::kEndOfFile;
    ImageList* list = CreateLocalImageList();
    if (!list) return status::kOutOfMemory;
    OSStatus status = status::kNoErr;
    int32_t taken = 0;  // physical slots used so far: entries and held places
    for (uint32_t i = 0; i < count && status == status::kNoErr; ++i) {
        VXPixels* image = nullptr;
        uint32_t storedId = 0;
        status = ReadStoredImage(stream, &image, &storedId);
        if (status) break;
        if (storedId != 0) {
            const int32_t want = int32_t(storedId - 1);
            if (want < taken) {
                VXDestroyPixelImage(image);
                status = status::kUnknownFileKind;
                break;
            }
            // Empty slots hold the places of the ids that the writer's list had freed.
            while (taken < want) {
                const ImageListEntry empty{nullptr, 0};
                int32_t slot = DAAllocate(list->entries);
                if (slot < 0) break;
                DAGetPhysicalId(list->entries, &slot);
                PLEXA_ASSERT(slot == taken);  // a fresh list hands out its slots in order
                DAPhysicalPut(list->entries, slot, &empty);
                ++taken;
            }
            if (taken < want) {
                VXDestroyPixelImage(image);
                status = status::kOutOfMemory;
                break;
            }
        }
        const int32_t id = AddImageToImageList(list, image);
        if (id < 0) status = status::kOutOfMemory;
        else if (id == taken) ++taken;
    }
    // The held places sort last; freeing them leaves their ids free.
    for (int32_t logical = DACount(list->entries) - 1; logical >= 0; --logical) {
        ImageListEntry entry;
        DAGet(list->entries, logical, &entry);
        if (entry.image) break;
        DARemove(list->entries, logical);
    }
    if (status) {
        DestroyImageList(list);
        return status;
    }
    *out = list;
    return status::kNoErr;
}

// ---- Compaction ----

void SetImageListSheetHooks(const ImageListSheetHooks& hooks) { gSheetHooks = hooks; }
const ImageListSheetHooks& GetImageListSheetHooks() { return gSheetHooks; }

void CompactSheetsImageList(SheetRecord* sheet) {
    if (!sheet) return;
    if (gSheetHooks.clearUndoAction) gSheetHooks.clearUndoAction(sheet);
    ImageList* old = sheet->imageList;
    if (!old || DACount(old->entries) == 0) return;
    ImageList* fresh = CreateLocalImageList();
    if (!fresh) return;
    // The elements' new ids are worked out first, so that a failure leaves everything as it was.
    struct Renumber {
        ImageElement* element;
        int32_t id;
    };
    LinkListHeader* elements = sheet->elementList;
    const uint32_t imageCount = elements ? elements->count : 0;
    auto* renumber = reinterpret_cast<Renumber*>(
        imageCount ? AllocPtr(gGenPool, imageCount * uint32_t(sizeof(Renumber))) : nullptr);
    if (imageCount && !renumber) {
        DestroyImageList(fresh);
        return;
    }
    uint32_t n = 0;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(elements)); e; e = e->next) {
        if (e->kind != kElementImage) continue;
        auto* image = reinterpret_cast<ImageElement*>(e);
        int32_t id = -1;
        if (VXPixels* pixels = GetImageFromImageList(old, image->imageId, false)) {
            id = AddImageToImageList(fresh, pixels);
            if (id < 0) {
                MemFreePtr(renumber);
                DestroyImageList(fresh);
                return;
            }
        }
        renumber[n++] = {image, id};
    }
    MapSheetSymbolImages(sheet, old, fresh);
    for (uint32_t i = 0; i < n; ++i) renumber[i].element->imageId = renumber[i].id;
    if (renumber) MemFreePtr(renumber);
    sheet->imageList = fresh;
    if (elements) SetElementListImageList(elements, fresh);
    DestroyImageList(old);
}

}  // namespace plexa
