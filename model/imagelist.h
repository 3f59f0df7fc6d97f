// Image lists: the pixel images placed on sheets and inside symbol drawings, each kept once per
// list with a reference count and named by an image id. One global list owns the pixels of every
// image of the program, shared by content; the local lists of sheets, library items, symbol
// editors and the clipboard hold the global list's pixels and one global reference for each of
// their entries. This module owns the lists, their stored form and the compaction of a sheet's
// list before it is saved.
//
// An image id is the entry's physical slot in the list's array: it stays valid until the entry
// is freed, and ids of freed entries leave gaps that later adds fill again.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct DAHeader;
using DAArray = DAHeader**;
struct StreamRecord;
struct VXPixels;
struct SheetRecord;

// One entry of a list's array.
struct ImageListEntry {
    VXPixels* image;
    uint32_t referenceCount;
};

struct ImageList {
    DAArray entries;  // ImageListEntry, unique and sorted by pixel content
    bool global;      // the list that owns the pixels
};

extern ImageList* gGlobalImageList;
extern int32_t& gMissingImageId;  // a member of the model's state record

// Makes the global list once (later calls do nothing); local lists call it when it is missing.
void InitImageLists();

// A new local list; null when memory runs out.
ImageList* CreateLocalImageList();
// Frees every entry (a local list releases its global references) and the list; null is ignored.
void DestroyImageList(ImageList* list);

// The list takes over `image` in every case: an identical image already in the list gets one
// more reference and the given one is destroyed (unless it is that same record); otherwise a new
// entry with one reference is made, and a local list holds the global list's pixels for it.
// Returns the image id, or -1 when memory runs out: the image is then destroyed, unless it is
// the global list's own record (the pixels that another list's entry holds).
int32_t AddImageToImageList(ImageList* list, VXPixels* image);
// The image of an id, null when the id names no entry; with `addReference` its count rises.
VXPixels* GetImageFromImageList(ImageList* list, int32_t id, bool addReference);
// The reference count of an id, 0 when the id names no entry.
uint32_t GetImageListReferenceCount(ImageList* list, int32_t id);
// Lowers the count; at 0 the entry is freed (a local list releases its global reference, the
// global list destroys the pixels). An id that names no entry is ignored.
void ReleaseImageListImage(ImageList* list, int32_t id);
// Adds the image of `id` to `to` and releases it from `from`; the id in `to`, or -1 when `from`
// has no such image or memory runs out (then `from` keeps its reference).
int32_t TransferImageListReference(ImageList* from, int32_t id, ImageList* to);
// Lowers every entry's count once, freeing those that reach 0.
void FreeOneReferenceForEachImageInList(ImageList* list);

// Stored form (see imagelist.cpp). Writing returns the first failing write's status, -50 for an
// id that names no image, -108 when memory runs out.
OSStatus FlattenImageList(StreamRecord* stream, ImageList* list);
OSStatus FlattenImageListImage(StreamRecord* stream, ImageList* list, int32_t id, bool compress);
// Reads a whole list into a new local list, every image with one reference and its stored id.
// On failure *list is null, nothing read is kept and the status is returned.
OSStatus InflateImageList(StreamRecord* stream, ImageList** list);
// Reads one image and adds it to the list; on failure *id is -1 and nothing read is kept.
OSStatus InflateImageListImage(StreamRecord* stream, ImageList* list, int32_t* id);
// Reads one stored image's head and data: the bitmap's bytes (a BMP file, expanded when stored
// packed) into a new handle that the caller frees, and the stored id hint (id + 1, or 0). On
// failure *bitmap is null.
OSStatus ReadStoredImageBitmap(StreamRecord* stream, Handle* bitmap, uint32_t* storedId);

// What compacting a sheet's list needs of the module that owns the sheet's undo record; it
// installs it at start-up.
struct ImageListSheetHooks {
    // Drops the sheet's undoable action (which may hold elements that refer to images).
    // Optional: without the sheet editor's undo there is no such action.
    void (*clearUndoAction)(SheetRecord* sheet) = nullptr;
};
void SetImageListSheetHooks(const ImageListSheetHooks& hooks);
const ImageListSheetHooks& GetImageListSheetHooks();

// Before saving: replaces the sheet's list by a new one that holds exactly the images its symbol
// definitions and image elements refer to, with dense ids from 0, and rewrites those references.
// An image element whose id names no image is given id -1. Nothing changes when memory runs out.
void CompactSheetsImageList(SheetRecord* sheet);

}  // namespace plexa
