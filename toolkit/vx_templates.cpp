// UI template files: opening, the view list and name table, inflating a view, creating its
// controls. The stored form is described in the header.
#include "toolkit/vx_templates.h"

#include <cstring>
#include <string>

#include "foundation/bytes.h"
#include "foundation/byteswap.h"
#include "foundation/filespec.h"
#include "foundation/heap.h"
#include "foundation/localized.h"
#include "foundation/memory.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_window.h"

namespace plexa {

VXUIFileRecord* gMainUIFile = nullptr;
VXUIFileRecord* gSystemUIFile = nullptr;

namespace {

constexpr uint32_t kStringKept = 255;
constexpr uint32_t kTabLabelKept = 63;
constexpr const char* kSystemUIFileName = "Framework.gui";
bool gUIFilesSelected = false;

// A bounded reader over one view block. Every read checks what is left; the first failure sticks.
class BlockReader {
public:
    BlockReader(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}

    OSStatus status() const { return status_; }
    uint32_t remaining() const { return status_ ? 0 : size_ - pos_; }
    void setSwap(bool swap) { swap_ = swap; }
    bool swapping() const { return swap_; }

    bool Seek(uint32_t pos) {
        if (status_) return false;
        if (pos > size_) return Fail();
        pos_ = pos;
        return true;
    }
    bool BigWord(uint16_t* value) {
        if (!Need(2)) return false;
        *value = GetBE16(data_ + pos_);
        pos_ += 2;
        return true;
    }
    // A word of the body, in the writer's order.
    bool Word(uint16_t* value) {
        if (!Bytes(value, 2)) return false;
        if (swap_) ByteSwapWord(value);
        return true;
    }
    bool Bytes(void* out, uint32_t count) {
        if (!Need(count)) return false;
        std::memcpy(out, data_ + pos_, count);
        pos_ += count;
        return true;
    }
    // A string: its first `keep` bytes into `out`, the rest skipped.
    bool String(std::string* out, uint32_t keep) {
        uint16_t count = 0;
        if (!BigWord(&count) || !Need(count)) return false;
        if (out)
            out->assign(reinterpret_cast<const char*>(data_ + pos_), count < keep ? count : keep);
        pos_ += count;
        return true;
    }

private:
    bool Need(uint32_t count) {
        if (status_) return false;
        if (count > size_ - pos_) return Fail();
        return true;
    }
    bool Fail() {
        if (!status_) status_ = kUIEndOfData;
        return false;
    }
    const uint8_t* data_;
    uint32_t size_;
    uint32_t pos_ = 0;
    bool swap_ = false;
    OSStatus status_ = 0;
};

struct ParsedItem {
    VXControlItemTemplate fixed{};
    std::string name;
    std::string title;
};

struct ParsedHead {
    uint16_t viewID = 0;
    std::string name;
    std::string title;
    uint16_t word = 0;
    uint16_t flags = 0;
    uint16_t count = 0;
};

// Older toolkit metrics: the inset of items of types 1 to 8 (horizontal, vertical).
constexpr int16_t kOldInset[9][2] = {{0, 0},   {-6, -6}, {-4, -4}, {-4, -4}, {0, 0},
                                     {0, 0},   {0, -2},  {0, 0},   {-3, -3}};

bool ReadHead(BlockReader& in, ParsedHead* head) {
    uint16_t bodyOffset = 0, mark = 0;
    if (!in.BigWord(&bodyOffset) || !in.BigWord(&head->viewID) ||
        !in.String(&head->name, kStringKept))
        return false;
    if (!in.Seek(bodyOffset) || !in.Word(&mark)) return false;
    in.setSwap(mark == 0x3412);
    if (!in.String(&head->title, kStringKept) || !in.Word(&head->word) || !in.Word(&head->flags))
        return false;
    if (head->flags == kUIViewOldBody) {
        uint16_t skipped[2];
        if (!in.String(nullptr, 0) || !in.Word(&skipped[0]) || !in.Word(&skipped[1])) return false;
        head->flags = 0;
    }
    return in.Word(&head->count);
}

uint32_t SignedIcon(uint16_t icon, uint16_t options) {
    if (options & kUIItemSystemIcon) icon = uint16_t(icon + kUISystemIconBase);
    return uint32_t(int32_t(int16_t(icon)));
}

// One item; false with the reader's status, or with *status -128 for a bad type.
bool ReadItem(BlockReader& in, bool extended, ParsedItem* item, OSStatus* status) {
    *item = ParsedItem{};
    VXControlItemTemplate& f = item->fixed;
    if (!in.Word(&f.itemType)) return false;
    if (f.itemType == 0 || f.itemType > kVXSlider) {
        *status = kUIBadItem;
        return false;
    }
    uint16_t top, left, bottom, right, number;
    if (!in.Word(&f.options) || !in.Word(&top) || !in.Word(&left) || !in.Word(&bottom) ||
        !in.Word(&right) || !in.Word(&number) || !in.Word(&f.reserved))
        return false;
    f.rect = Rect{int16_t(top), int16_t(left), int16_t(bottom), int16_t(right)};
    f.itemNumber = int16_t(number);
    if (extended) {
        uint32_t longs[2];
        if (!in.Bytes(longs, sizeof longs)) return false;
        if (in.swapping()) ByteSwapLongArray(longs, sizeof longs);
        f.value = longs[0];
        f.reserved2 = longs[1];
    }
    if (!in.String(&item->name, kStringKept)) return false;
    if (!extended && f.itemType <= 8) {
        const int16_t dh = kOldInset[f.itemType][0], dv = kOldInset[f.itemType][1];
        f.rect.left = int16_t(f.rect.left + dh);
        f.rect.right = int16_t(f.rect.right - dh);
        f.rect.top = int16_t(f.rect.top + dv);
        f.rect.bottom = int16_t(f.rect.bottom - dv);
    }
    uint16_t skippedFlag = 0, skipped = 0;
    if (!in.Word(&skippedFlag)) return false;
    if (skippedFlag && (!in.String(nullptr, 0) || !in.Word(&skipped) || !in.Word(&skipped)))
        return false;
    switch (f.itemType) {
        case 1: case 2: case 3: case 5: case 6: case 9:
            if (!in.String(&item->title, kStringKept)) return false;
            if (f.itemType == kVXStaticText && (f.options & kUIItemRightAligned))
                f.value |= kUIValueOptionBit;
            break;
        case kVXScroller:
            f.itemType = kVXSlider;
            break;
        case kVXListBox:
            if (f.options & kUIItemAutoSize) f.value |= kUIValueOptionBit;
            break;
        case kVXImage: {
            uint16_t icon = 0;
            if (!in.Word(&icon)) return false;
            f.value |= SignedIcon(icon, f.options);
            break;
        }
        case kVXTabView: {
            uint16_t size = 0, count = 0;
            if (!in.Word(&size) || !in.Word(&count)) return false;
            if (size) f.value |= kUIValueSmallSize;
            std::string label;
            for (uint16_t i = 0; i < count; ++i) {
                if (!in.String(&label, kTabLabelKept)) return false;
                if (i) item->title += '|';
                item->title += label;
            }
            if (item->title.size() > kStringKept) item->title.resize(kStringKept);
            break;
        }
        case kVXIconButton: {
            uint16_t size = 0, icon = 0;
            if (!in.Word(&size) || !in.Word(&icon)) return false;
            if (size == 0) f.value |= kUIValueSmallSize;
            if (f.options & kUIItemAutoSize) f.value |= kUIValueOptionBit;
            f.value |= SignedIcon(icon, f.options);
            break;
        }
        default:
            break;
    }
    return true;
}

// Walks a whole view: the head, each item (handed to `onItem`, which may refuse with a status)
// and the trailer. Returns 0 or the first failure.
template <class OnItem>
OSStatus ParseView(const uint8_t* data, uint32_t size, ParsedHead* head, std::string* trailer,
                   bool* hasTrailer, OnItem onItem) {
    BlockReader in(data, size);
    if (!ReadHead(in, head)) return in.status();
    const bool extended = (head->flags & kUIViewExtendedItems) != 0;
    ParsedItem item;
    for (uint16_t i = 0; i < head->count; ++i) {
        OSStatus status = 0;
        if (!ReadItem(in, extended, &item, &status)) return status ? status : in.status();
        if (OSStatus refused = onItem(item)) return refused;
    }
    *hasTrailer = false;
    if (in.remaining() >= 3) {
        uint16_t n = 0;
        if (!in.Word(&n)) return in.status();
        if (int16_t(n) > 0) {
            if (!in.String(trailer, kStringKept)) return in.status();
            *hasTrailer = true;
        }
    }
    return 0;
}

const uint8_t* HandleBytes(Handle handle) { return reinterpret_cast<const uint8_t*>(*handle); }

void FreeViewRef(LinkListHeader*, void* item, void*, uint32_t) {
    auto* ref = static_cast<VXUIViewRef*>(item);
    if (ref->data) MemFree(ref->data);
    ref->data = nullptr;
}

// Adds a view's item names to the file's name table.
void ScanViewNames(VXUIFileRecord* record, Handle data) {
    ParsedHead head;
    std::string trailer;
    bool hasTrailer = false;
    (void)ParseView(HandleBytes(data), SizeOfHandle(data), &head, &trailer, &hasTrailer,  // a damaged view adds no names
              [record](const ParsedItem& item) -> OSStatus {
                  if (!item.name.empty() && item.name[0] != '#')
                      VXNameTableAdd(record->names, item.name.c_str(),
                                     uint64_t(uint16_t(item.fixed.itemNumber)), nullptr);
                  return 0;
              });
}

VXUIViewRef* FindViewRef(VXUIFileRecord* record, uint16_t viewID) {
    for (auto* ref = static_cast<VXUIViewRef*>(LLFirst(record->views)); ref; ref = ref->next)
        if (ref->viewID == viewID) return ref;
    return nullptr;
}

StringSpec AddString(StringBlock block, const std::string& text, OSStatus* status) {
    if (text.empty()) return 0;
    const StringSpec spec = AppendStringBlock(block, text.data(), uint32_t(text.size()), nullptr);
    if (!spec && !*status) *status = StringBlockAddStatus() ? StringBlockAddStatus() : OSStatus(-108);
    return spec;
}

}  // namespace

VXUIFileRecord* OpenUIFile(const FileSpec* spec, int32_t listCluster, int32_t) {
    (void)listCluster;  // references are single allocations here
    auto* record = static_cast<VXUIFileRecord*>(
        static_cast<void*>(AllocPtrClear(gGenPool, sizeof(VXUIFileRecord))));
    if (!record) return nullptr;
    if (OpenDynamicFile(spec, true, &record->file) != 0) {
        MemFreePtr(record);
        return nullptr;
    }
    record->views = LLCreate(gGenPool, sizeof(VXUIViewRef), 0);
    record->names = VXCreateNameTableEx(gGenPool, kNameTableCaseSensitive | kNameTableValues, 0, 0);
    if (!record->views || !record->names) {
        CloseUIFile(record);
        return nullptr;
    }
    LLSetFreeProc(record->views, FreeViewRef);
    uint32_t offset = 0, size = 0;
    bool first = true;
    for (;;) {
        if (FindFileBlock(&record->file, kUIViewBlockType, &offset, &size, first) != 0) {
            CloseUIFile(record);
            return nullptr;
        }
        first = false;
        if (offset == 0) break;
        Handle data = nullptr;
        if (LoadFileBlock(&record->file, offset, &data) != 0 || !data) continue;
        if (SizeOfHandle(data) >= 4) {
            auto* ref = static_cast<VXUIViewRef*>(LLPush(record->views, nullptr));
            if (!ref) {
                MemFree(data);
                CloseUIFile(record);
                return nullptr;
            }
            ref->blockID = offset;
            ref->viewID = GetBE16(HandleBytes(data) + 2);
            ScanViewNames(record, data);
        }
        MemFree(data);
    }
    return record;
}

void CloseUIFile(VXUIFileRecord* record) {
    if (!record) return;
    if (record->file.stream) (void)CloseAndMaybeFlushDynamicFile(&record->file, false);  // read only: nothing to flush
    if (record->views) LLDispose(record->views, true);
    if (record->names) VXDestroyNameTable(record->names);
    MemFreePtr(record);
}

void FreeUIViewTemplate(VXViewTemplate* view) {
    if (!view) return;
    if (view->items) DADispose(view->items);
    if (view->strings) DestroyStringBlock(view->strings);
    *view = VXViewTemplate{};
}

OSStatus LoadUIViewTemplate(VXUIFileRecord* record, uint16_t viewID, VXViewTemplate* view) {
    *view = VXViewTemplate{};
    if (!record || !record->views) return kUIViewNotFound;
    VXUIViewRef* ref = FindViewRef(record, viewID);
    if (!ref) return kUIViewNotFound;
    if (!ref->data && (LoadFileBlock(&record->file, ref->blockID, &ref->data) != 0 || !ref->data)) {
        ref->data = nullptr;
        return kUIViewNotFound;
    }
    view->strings = CreateStringBlock(gGenPool, 256);
    view->items = DACreate(gGenPool, sizeof(VXControlItemTemplate), 16, 0);
    if (!view->strings || !view->items) {
        FreeUIViewTemplate(view);
        return -108;
    }
    ParsedHead head;
    std::string trailer;
    bool hasTrailer = false;
    OSStatus added = 0;
    bool haveContainer = false;
    OSStatus status = ParseView(
        HandleBytes(ref->data), SizeOfHandle(ref->data), &head, &trailer, &hasTrailer,
        [&](const ParsedItem& parsed) -> OSStatus {
            VXControlItemTemplate item = parsed.fixed;
            item.name = AddString(view->strings, parsed.name, &added);
            item.title = AddString(view->strings, parsed.title, &added);  // 0 without a title
            if (added) return added;
            if (parsed.name.size() > 1 && parsed.name[0] == '#') {
                uint64_t number = 0;
                if (VXNameTableSearch(record->names, parsed.name.c_str() + 1, nullptr, &number))
                    item.itemNumber = int16_t(uint16_t(number));
            }
            if (!haveContainer && (item.options & kUIItemContainer)) {
                haveContainer = true;
                view->containerRect = item.rect;
                view->originTop = item.rect.top;
                view->originLeft = item.rect.left;
            }
            return DAAdd(view->items, &item) < 0 ? -108 : 0;
        });
    if (!status) {
        view->viewName = AddString(view->strings, head.name, &status);
        view->title = AddString(view->strings, head.title, &status);
        if (hasTrailer) view->trailingText = AddString(view->strings, trailer, &status);
        view->viewWord = head.word;
        view->templateFlags = (head.flags & kUIViewSmallControls) ? kVXTemplateSmallSize : 0;
    }
    if (status) FreeUIViewTemplate(view);
    return status;
}

VXUIFileRecord* OpenBundledUIFile(const char* name) {
    if (!name || !*name) return nullptr;
    const std::string folder = GetResourceDirectory();
    if (folder.empty()) return nullptr;
    FileSpec spec;
    if (FileSpecFromURL(folder + "/" + name, &spec, false, nullptr) != 0) return nullptr;
    return OpenUIFile(&spec, 0, 1);
}

OSStatus SelectUIFile(const char* name) {
    gUIFilesSelected = true;
    if (!gSystemUIFile) gSystemUIFile = OpenBundledUIFile(kSystemUIFileName);
    CloseUIFile(gMainUIFile);
    gMainUIFile = nullptr;
    if (!name || !*name) return kUIViewNotFound;
    gMainUIFile = OpenBundledUIFile(name);
    return gMainUIFile ? status::kNoErr : kUIViewNotFound;
}

void CloseUIFiles() {
    CloseUIFile(gMainUIFile);
    CloseUIFile(gSystemUIFile);
    gMainUIFile = gSystemUIFile = nullptr;
    gUIFilesSelected = false;
}

VXViewTemplate* VXLoadDialogTemplate(uint16_t viewID) {
    if (!gUIFilesSelected && !gMainUIFile && !gSystemUIFile) (void)SelectUIFile(VXGetUIFileName());  // a missing file shows when a view is asked for
    VXViewTemplate view;
    OSStatus status = LoadUIViewTemplate(gMainUIFile, viewID, &view);
    if (status == kUIViewNotFound) status = LoadUIViewTemplate(gSystemUIFile, viewID, &view);
    if (status) return nullptr;
    auto* result =
        static_cast<VXViewTemplate*>(static_cast<void*>(AllocPtr(gGenPool, sizeof view)));
    if (!result) {
        FreeUIViewTemplate(&view);
        return nullptr;
    }
    *result = view;
    return result;
}

void VXDestroyDialogTemplate(VXViewTemplate* view) {
    if (!view) return;
    FreeUIViewTemplate(view);
    MemFreePtr(view);
}

bool VXGetTemplateItem(const VXViewTemplate* view, int32_t index, VXControlItemTemplate* item) {
    if (!view || !view->items || index < 0 || index >= DACount(view->items)) return false;
    return DAGet(view->items, index, item);
}

void VXGetTemplateString(const VXViewTemplate* view, StringSpec spec, char* buffer, int32_t size) {
    if (size <= 0) return;
    buffer[0] = 0;
    if (view && view->strings) ExtractStringSpec(spec, view->strings, buffer, size);
}

int16_t CreateControlsFromUITemplate(VXWindowRecordTag* window, const VXViewTemplate* view,
                                     int16_t h, int16_t v) {
    if (!view) return 0;
    int16_t firstEdit = 0, firstList = 0;
    const int16_t dh = int16_t(h - view->originLeft), dv = int16_t(v - view->originTop);
    VXControlItemTemplate item;
    char title[256];
    for (int32_t i = 0; window && VXGetTemplateItem(view, i, &item); ++i) {
        if (item.options & kUIItemContainer) continue;
        Rect rect = item.rect;
        rect.top = int16_t(rect.top + dv);
        rect.bottom = int16_t(rect.bottom + dv);
        rect.left = int16_t(rect.left + dh);
        rect.right = int16_t(rect.right + dh);
        VXGetTemplateString(view, item.title, title, sizeof title);
        if (!VXCreateControl(window, uint8_t(item.itemType), &rect, title, item.itemNumber,
                             item.value))
            continue;
        if (item.itemType == kVXEditText && !firstEdit) firstEdit = item.itemNumber;
        if (item.itemType == kVXListBox && !firstList) firstList = item.itemNumber;
    }
    if (window) VXRebuildControlNavigationLoop(window);
    return firstEdit ? firstEdit : firstList;
}

int16_t VXLoadControls(VXWindowRecordTag* window, uint16_t viewID, int16_t h, int16_t v,
                       uint32_t options) {
    VXViewTemplate* view = VXLoadDialogTemplate(viewID);
    if (!view) return 0;
    if (!(options & kVXLoadKeepControlSize) && window)
        VXSetDefaultControlSize(window, (view->templateFlags & kVXTemplateSmallSize) != 0);
    const int16_t focus = CreateControlsFromUITemplate(window, view, h, v);
    // A view without a container item has no size to give: the window keeps its own.
    const Rect& c = view->containerRect;
    if ((options & kVXLoadSizeToContainer) && window && c.bottom > c.top && c.right > c.left) {
        const int16_t height = int16_t(c.bottom - c.top), width = int16_t(c.right - c.left);
        if (window->windowClass == kVXWindowDividedChild) {
            VXResizeDividedChildWindow(window, window->style == 1 ? width : height);
        } else {
            Rect position;
            VXGetWindowPosition(window, &position);
            position.bottom = int16_t(position.top + height);
            position.right = int16_t(position.left + width);
            VXSetWindowPosition(window, &position);
        }
    }
    VXDestroyDialogTemplate(view);
    return focus;
}

}  // namespace plexa
