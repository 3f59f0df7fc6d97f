// The preferences file and the main preferences record, colour table and remembered folders.
//
// The file is a dynamic file (foundation/dynfile.h) of type "pref" named "Plexa 6.0 Preferences"
// in $XDG_CONFIG_HOME/plexa/ (~/.config/plexa/ when the variable holds no absolute path). Older
// names, tried in this order when it is missing: "Plexa 5.0u Preferences" (version 0x0501),
// "Plexa 5.0 Preferences" (0x0500). An older file is copied to the current name (the old one
// stays) without its blocks 15, 4 and 5, and the next save writes every block.
//
// Blocks (at most one of each type). "W" and "L" are u16 and u32 in the writer's byte order; a
// handle is an i32 byte length (-1: none) then its bytes; a dir spec is a handle whose first long
// (its kind) is big-endian whatever the writer's order (foundation/dirspec.h).
//
//   type bit    content
//   14   0x800  platform tag: one long, big-endian: "IMac" from a little-endian writer, "PMac"
//               from a big-endian one. A file without it is big-endian. The reader swaps every
//               block when the tag's order differs from its own.
//   1    0x001  the 256-byte `PrefsRecord` (app/prefs.h), swapped by "W4L9W20B8LW2":
//                 0 W options, 2 W silent new signal, 4 W connection click, 6 W zoom percent,
//                 8 9L sheet colours, 44 4x(W v, W h) pin-number offsets, 60 4x2W pin-name
//                 offsets, 76 2x2W port label positions, 84 B reserved, 85 B new, 86 6B creator
//                 of text files, 92 L simulator address, 96 W listen port, 98 W connect port,
//                 100 156B zero.
//               A longer block is read as 256 bytes; a shorter one leaves the rest at the
//               defaults (only the whole fields read are taken, swapped as read). A colour 8 of
//               0x10000000 or more brings colour 8 and bytes 44-83 back to the defaults.
//   6    0x020  default sheet settings: 8 zero bytes; 248 bytes swapped by "B8W2B10W3LB216":
//                 0 8B signal prefix, 8 W attribute count, 10 W signal panel number, 12 B scope A,
//                 13 B scope B, 14 B top tools expanded, 15 B page breaks, 16 B rulers,
//                 17 B size code, 18 B orientation, 19 B grid shown, 20 B snap, 21 B print in
//                 colour, 22 W grid spacing, 24 W print scale, 26 W digits, 28 L flags, 32 zero;
//               then the string block as a handle, then the attribute list (12-byte entries,
//               attribute count of them) as a handle.
//   10   0x020  default text themes (WriteTextThemes).
//   8    0x080  property-name lists: W 5; per list W count, string block handle, attribute
//               handle (names in the block, values empty). More than 5 lists: 5 are read.
//   11   0x200  shortcut groups: W group count, the string block (WriteStringBlock), then per
//               group a handle: W entry count, 2 zero bytes, per entry L library-name spec and
//               L item-name spec. Groups past the third are read and dropped.
//   9    0x100  excluded fonts (WriteFontPrefs).
//   15   0x040  library search paths (SaveLibraryPathList).
//   4    0x008  report scripts: W 2 (version), W count; per entry L name spec, L target spec,
//               dir-spec handle of its folder; then the string block as a handle. Version 1: the
//               second long is not a spec, nonzero reads as "****". Other versions: no scripts.
//   12   0x002  recent files: projects, sheets, libraries; per entry W n (1 to 159), n bytes of
//               the file name, L time, dir-spec handle; W 0 ends a list, W -1 ends the block.
//               The word is signed: a negative word ends the block, a length past 159 is a
//               damaged block. Lists past their limits (5, 10, 5) keep their newest entries.
//   5    0x010  remembered folders: W 5, then five dir-spec handles (-1 for an unset one).
//   13   0x400  colour table: 64 L.
//
// Bit 0x004 names no block; a new file is written with every bit (0xFFF).
//
// Saving goes through the dynamic file's saves: the blocks are written into a copy that replaces
// the file only when every block is in it, so a crash during a save leaves the former file. A new
// or migrated file is made under a temporary name and renamed into place when complete.
//
// Reading trusts nothing: every block is read from a handle that holds exactly the block, each
// count and length is checked against what is left, and a block that fails leaves its settings
// at what they were (the defaults) and stops the reading of later blocks; the failure is reported.
#include "app/prefs.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "app/root_quiet.h"
#include "foundation/byteswap.h"
#include "foundation/datafile.h"
#include "foundation/tempfiles.h"
#include "foundation/dirspec.h"
#include "foundation/folders.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "files/pathspec.h"
#include "library/libpaths.h"
#include "graphics/colors.h"
#include "model/attributes.h"
#include "model/sheet.h"
#include "model/symboltexts.h"
#include "model/themes.h"
#include "sheeteditor/sheetview.h"

namespace plexa {

PrefsRecord* gPrefs = nullptr;
uint32_t gGrafColors[64];
uint32_t gDirtyPrefs = 0;
DirectoryPrefs gDirectoryPrefs[kPrefDirCount];

const uint32_t kDefaultSheetColors[9] = {0x02008000, 0x07000000, 0x01FF0000, 0x030000FF, 0x07000000,
                                         0x0BFFFFFF, 0x09808080, 0x05FF00FF, 0x06FFFF00};

namespace {

constexpr uint32_t kDefaultGrafColors[64] = {
    0xFFFFFF, 0xEEEEEE, 0xCCCCCC, 0xAAAAAA, 0x888888, 0x666666, 0x333333, 0x000000,
    0x7465DC, 0x5B87F2, 0x62D6AC, 0x5FBD71, 0x7E835B, 0xE6E658, 0xFFBF56, 0xF87B57,
    0xDA456B, 0xBB56C3, 0x8154D1, 0x6876E7, 0x5DBACA, 0x60CA8E, 0x71985E, 0xB2B459,
    0xFFE957, 0xFF9456, 0xF06157, 0xDC54AD, 0x5918BB, 0x1822CD, 0x18605A, 0x2F8B20,
    0x8CBC1C, 0xFFEA18, 0xFFAF18, 0xFF7518, 0xF63F1B, 0xED181E, 0x6C18B0, 0x4618C6,
    0x184B81, 0x187534, 0x5DA31E, 0xBAD41A, 0xFFCC18, 0xFF9218, 0xFA4E19, 0xEF1F1D,
    0x291A10, 0x5B3D23, 0x8C6136, 0xBE844A, 0xCDC7C2, 0x8C8073, 0x3D3832, 0xC2C2CD,
    0x73738C, 0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};

constexpr Point kDefaultPinNumberOffsets[4] = {{-1, 4}, {-1, 2}, {-1, -2}, {3, 1}};
constexpr Point kDefaultPinNameOffsets[4] = {{4, -3}, {4, -4}, {4, 4}, {-1, -4}};

struct PrefsFileName {
    const char* name;
    uint16_t version;
};
constexpr PrefsFileName kPrefsFileNames[3] = {
    {"Plexa 6.0 Preferences", 0x0600}, {"Plexa 5.0u Preferences", 0x0501}, {"Plexa 5.0 Preferences", 0x0500}};
constexpr const char* kPrefsTempPrefix = "Prf";

constexpr uint8_t kMainBlock = 1, kScriptsBlock = 4, kFoldersBlock = 5, kSheetDefaultsBlock = 6,
                  kPropertyNamesBlock = 8, kFontsBlock = 9, kTextThemesBlock = 10, kShortcutsBlock = 11,
                  kRecentBlock = 12, kColorTableBlock = 13, kPlatformBlock = 14, kLibraryPathsBlock = 15;

constexpr uint32_t kSheetSettingsStoredSize = 248;
constexpr const char* kSheetSettingsTemplate = "B8W2B10W3LB216";
static_assert(ByteSwapTemplateSize(kSheetSettingsTemplate) == kSheetSettingsStoredSize);
static_assert(ByteSwapTemplateSize(kPrefsRecordTemplate) == 100);

PreferencesHooks gHooks;

void ReportMessage(const char* text) {
    if (gHooks.message)
        gHooks.message(text);
    else
        QuietMessage(text);
}

void ReportError(OSStatus st) {
    if (gHooks.errorReport)
        gHooks.errorReport(st);
    else
        QuietErrorReport(st);
}

void ReportOpenFailure(OSStatus st) {
    if (st == status::kPermission || st == -49 || st == status::kBusy || st == status::kFolderNotFound)
        ReportMessage(kPrefsMessageNoAccess);
    else
        ReportError(st);
}

// The length of the whole fields of the main record within its first `length` bytes.
uint32_t WholeFieldsLength(uint32_t length) {
    uint32_t whole = 0;
    byteswap_detail::WalkTemplate(kPrefsRecordTemplate, [&](char letter, uint32_t count) {
        const uint32_t width = byteswap_detail::PortionWidth(letter);
        for (uint32_t i = 0; i < count; i++) {
            if (whole + width > length) return;
            whole += width;
        }
    });
    return length >= 100 ? length : whole;
}

void FreeDirectoryPrefs() {
    for (auto& entry : gDirectoryPrefs) {
        if (entry.dirSpec) MemFree(entry.dirSpec);
        entry = {nullptr, 0};
    }
}

// A stream over a handle; the handle stays the caller's.
StreamRecord* HandleStream(Handle handle, bool swap) {
    StreamRecord* stream = nullptr;
    if (CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream) != status::kNoErr) return nullptr;
    EnableStreamReadByteSwap(stream, swap);
    return stream;
}

// Runs `reader` over a stream of the block's bytes; 0 when there is no block of the type.
template <class Reader>
OSStatus ReadBlock(DynamicFileRecord* file, uint8_t type, bool swap, Reader&& reader) {
    uint32_t offset = 0, size = 0;
    if (OSStatus st = FindFileBlock(file, type, &offset, &size, true)) return st;
    if (!offset) return status::kNoErr;
    Handle bytes = nullptr;
    if (OSStatus st = LoadFileBlock(file, offset, &bytes)) return st;
    StreamRecord* stream = HandleStream(bytes, swap);
    OSStatus st = stream ? reader(stream) : status::kOutOfMemory;
    if (stream) DisposeStream(stream);
    MemFree(bytes);
    return st;
}

// ---- Block 1 ----

OSStatus ReadMainBlock(DynamicFileRecord* file, bool swap) {
    uint32_t offset = 0, size = 0;
    if (OSStatus st = FindFileBlock(file, kMainBlock, &offset, &size, true)) return st;
    if (!offset) return status::kNoErr;
    PrefsRecord read{};
    int32_t length = int32_t(sizeof read);
    if (OSStatus st = ReadFileBlock(file, offset, &read, &length)) return st;
    // Swap the copy read, then merge only its whole fields over the defaults: the defaults of a
    // short block's tail are native already.
    if (swap) ByteSwapTemplate(&read, kPrefsRecordTemplate);
    const PrefsRecord defaults = *gPrefs;
    std::memcpy(gPrefs, &read, WholeFieldsLength(uint32_t(length)));
    if (gPrefs->colors[8] >= 0x10000000) {
        gPrefs->colors[8] = kDefaultSheetColors[8];
        std::memcpy(reinterpret_cast<char*>(gPrefs) + 44, reinterpret_cast<const char*>(&defaults) + 44, 40);
    }
    gPrefs->textCreator[sizeof gPrefs->textCreator - 1] = 0;
    return status::kNoErr;
}

// ---- Block 5 ----

OSStatus InflatePrefDirectories(StreamRecord* stream) {
    uint16_t count = 0;
    if (OSStatus st = StreamReadWord(stream, &count)) return st;
    count = std::min<uint16_t>(count, kPrefDirCount);
    Handle read[kPrefDirCount] = {};
    OSStatus st = status::kNoErr;
    for (uint16_t i = 0; i < count && !st; i++) st = ReadStoredDirSpec(stream, &read[i]);
    if (st) {
        for (Handle h : read)
            if (h) MemFree(h);
        return st;
    }
    for (int32_t i = 0; i < kPrefDirCount; i++) {
        if (!read[i]) continue;
        if (gDirectoryPrefs[i].dirSpec) MemFree(gDirectoryPrefs[i].dirSpec);
        gDirectoryPrefs[i].dirSpec = read[i];
    }
    return status::kNoErr;
}

// ---- Block 6 ----

OSStatus ReadSheetDefaults(StreamRecord* stream) {
    if (OSStatus st = OffsetStreamPosition(stream, 8)) return st;
    uint8_t stored[kSheetSettingsStoredSize];
    int32_t n = int32_t(sizeof stored);
    if (OSStatus st = StreamRead(stream, stored, &n)) return st;
    const bool swap = (stream->flags & kStreamSwapOnRead) != 0;
    if (swap) ByteSwapTemplate(stored, kSheetSettingsTemplate);
    Handle block = nullptr, attributes = nullptr;
    OSStatus st = StreamReadHandle(stream, gGenPool, &block);
    if (!st) st = StreamReadHandle(stream, gGenPool, &attributes);
    uint16_t count = 0;
    std::memcpy(&count, stored + 8, 2);
    if (!st && (!block || !AdoptStoredStringBlock(block))) st = status::kBadPosition;
    if (!st && count && (!attributes || SizeOfHandle(attributes) < uint32_t(count) * kAttributeSize))
        st = status::kBadPosition;
    if (st) {
        if (block) MemFree(block);
        if (attributes) MemFree(attributes);
        return st;
    }
    if (!attributes) attributes = AllocHandle(gGenPool, 0);
    if (!attributes) {
        MemFree(block);
        return status::kOutOfMemory;
    }
    if (swap) ByteSwapAttributes(attributes, 0, count);
    SheetSettings& s = gDefSheetSettings;
    if (s.stringBlock) DestroyStringBlock(s.stringBlock);
    if (s.attributes) MemFree(s.attributes);
    s.stringBlock = block;
    s.attributes = attributes;
    std::memcpy(s.signalPrefix, stored, 8);
    s.attributeCount = count;
    std::memcpy(&s.signalPanelNumber, stored + 10, 2);
    s.scopeA = stored[12];
    s.scopeB = stored[13];
    s.topToolsExpanded = stored[14];
    s.pageBreaks = stored[15];
    s.rulers = stored[16];
    s.sizeCode = stored[17];
    s.orientation = stored[18];
    s.gridShown = stored[19];
    s.snap = stored[20];
    s.printInColour = stored[21];
    std::memcpy(&s.gridSpacing, stored + 22, 2);
    std::memcpy(&s.printScale, stored + 24, 2);
    std::memcpy(&s.digits, stored + 26, 2);
    std::memcpy(&s.flags, stored + 28, 4);
    return status::kNoErr;
}

void WriteSheetDefaults(StreamRecord* stream) {
    SheetSettings& s = gDefSheetSettings;
    uint8_t stored[8 + kSheetSettingsStoredSize] = {};
    uint8_t* p = stored + 8;
    std::memcpy(p, s.signalPrefix, 8);
    std::memcpy(p + 8, &s.attributeCount, 2);
    std::memcpy(p + 10, &s.signalPanelNumber, 2);
    const uint8_t bytes[10] = {s.scopeA, s.scopeB, s.topToolsExpanded, s.pageBreaks, s.rulers,
                               s.sizeCode, s.orientation, s.gridShown, s.snap, s.printInColour};
    std::memcpy(p + 12, bytes, 10);
    std::memcpy(p + 22, &s.gridSpacing, 2);
    std::memcpy(p + 24, &s.printScale, 2);
    std::memcpy(p + 26, &s.digits, 2);
    std::memcpy(p + 28, &s.flags, 4);
    Signal(StreamWrite(stream, stored, int32_t(sizeof stored)));
    Signal(StreamWriteHandle(stream, s.stringBlock));
    Signal(StreamWriteHandle(stream, s.attributes));
}

// ---- Block 13 ----

OSStatus ReadColorTable(DynamicFileRecord* file, bool swap) {
    uint32_t offset = 0, size = 0;
    if (OSStatus st = FindFileBlock(file, kColorTableBlock, &offset, &size, true)) return st;
    if (!offset) return status::kNoErr;
    uint32_t read[64];
    std::memcpy(read, gGrafColors, sizeof read);
    int32_t length = int32_t(sizeof read);
    if (OSStatus st = ReadFileBlock(file, offset, read, &length)) return st;
    length &= ~3;
    if (swap) ByteSwapLongArray(read, uint32_t(length));
    std::memcpy(gGrafColors, read, size_t(length));
    return status::kNoErr;
}

// ---- The file ----

bool PlatformTagSwaps(DynamicFileRecord* file, OSStatus* st) {
    uint32_t code = FourCC("PMac");
    uint32_t offset = 0, size = 0;
    *st = FindFileBlock(file, kPlatformBlock, &offset, &size, true);
    if (!*st && offset) {
        uint8_t tag[4] = {};
        int32_t length = 4;
        *st = ReadFileBlock(file, offset, tag, &length);
        if (!*st && length == 4) code = (uint32_t(tag[0]) << 24) | (uint32_t(tag[1]) << 16) | (uint32_t(tag[2]) << 8) | tag[3];
    }
    return GetPlatformByteOrder(code) != GetPlatformByteOrder(NativePlatformTag());
}

// Makes the current file under a temporary name from `make` and renames it into place, so that
// the current name never holds a half-made file. The temporary file is made empty under a name of
// its own (O_EXCL): another program writing the preferences at the same time never shares it.
template <class Make>
OSStatus MakeFileInPlace(const FileSpec& current, Make&& make) {
    FileSpec temp = current;
    if (OSStatus st = CreateTemporaryFileBeside(kPrefsTempPrefix, &temp)) return st;
    OSStatus st = make(temp);
    if (!st) st = FileRename(&temp, current.name);
    if (st) (void)VXDeleteFile(&temp);  // the make's or the rename's failure is the one returned
    return st;
}

}  // namespace

// ---- Record, colours, change mask ----

const uint32_t* SheetColorTable() { return gPrefs ? gPrefs->colors : kDefaultSheetColors; }
bool SheetColorDisplay() { return !gPrefs || (gPrefs->options & kPrefsColorDisplay); }
void SetPreferredSheetForeColor(int16_t kind) {
    QZSetColor(nullptr, SheetKindColor(kind, SheetColorTable(), SheetColorDisplay()), false);
}
void SetPreferredSheetBackColor() { QZSetColor(nullptr, SheetBackColor(SheetColorTable(), SheetColorDisplay()), true); }

void SetDefaultColors(uint32_t colors[9]) { std::memcpy(colors, kDefaultSheetColors, sizeof kDefaultSheetColors); }

uint32_t GetIndexedGrafColor(int32_t index) {
    if (index == 100) return gPrefs ? gPrefs->colors[0] : kDefaultSheetColors[0];
    return gGrafColors[index & 63];
}

void SetIndexedGrafColor(int32_t index, uint32_t color) {
    if (gGrafColors[index & 63] == color) return;
    gGrafColors[index & 63] = color;
    RecordChangedPreferences(kPrefsColorTableBlock);
}

void RecordChangedPreferences(uint32_t bits) {
    if (bits)
        gDirtyPrefs |= bits;
    else
        gDirtyPrefs = 0;
}

void SetPreferencesHooks(const PreferencesHooks& hooks) { gHooks = hooks; }
const PreferencesHooks& GetPreferencesHooks() { return gHooks; }

void RecordPrefDirectory(int32_t kind, const DirectoryRef* directory, int32_t value) {
    if (kind < 0 || kind >= kPrefDirCount || !directory) return;
    Handle spec = CreateDirSpec(directory);
    if (!spec) return;
    if (gDirectoryPrefs[kind].dirSpec) MemFree(gDirectoryPrefs[kind].dirSpec);
    gDirectoryPrefs[kind].dirSpec = spec;
    if (value > 0) gDirectoryPrefs[kind].value = uint16_t(value);
    RecordChangedPreferences(kPrefsFoldersBlock);
}

void GetPrefDirectory(int32_t kind, DirectoryRef* directory, int32_t* value) {
    ClearDirectoryRef(directory);
    if (value) *value = 1;
    if (kind >= 0 && kind < kPrefDirCount && gDirectoryPrefs[kind].dirSpec) {
        (void)DirSpecToDirectory(gDirectoryPrefs[kind].dirSpec, directory);  // cleared: the application folder
        if (value && gDirectoryPrefs[kind].value) *value = gDirectoryPrefs[kind].value;
    }
    if (IsDirectoryInvalid(directory)) GetApplicationFolder(directory);
}

int32_t GetPlatformByteOrder(uint32_t code) { return code == FourCC("PMac") || code == FourCC("M68K") ? 1 : 0; }

uint32_t NativePlatformTag() { return std::endian::native == std::endian::little ? FourCC("IMac") : FourCC("PMac"); }

void SetDefaultPreferences() {
    if (!gPrefs) gPrefs = new PrefsRecord;
    std::memset(gPrefs, 0, sizeof *gPrefs);
    gPrefs->options = kPrefsDefaultOptions;
    gPrefs->silentNewSignal = 1;
    gPrefs->connectSound = 1;
    gPrefs->zoomPercent = 200;
    SetDefaultColors(gPrefs->colors);
    std::memcpy(gPrefs->pinNumberOffsets, kDefaultPinNumberOffsets, sizeof kDefaultPinNumberOffsets);
    std::memcpy(gPrefs->pinNameOffsets, kDefaultPinNameOffsets, sizeof kDefaultPinNameOffsets);
    GetDefaultPortLabelPositions(gPrefs->portLabelPositions);
    gPrefs->isNew = 1;
    std::memcpy(gPrefs->textCreator, "ttxt", 5);
    gPrefs->listenPort = 32005;
    gPrefs->connectPort = 32001;
    std::memcpy(gGrafColors, kDefaultGrafColors, sizeof gGrafColors);

    if (OSStatus st = InitSheetDefaults()) ReportError(st);
    InitRecentFiles();

    DirectoryRef essentials;
    const bool haveEssentials = FindEssentialsFolder(&essentials) == status::kNoErr;
    if (!haveEssentials) ClearDirectoryRef(&essentials);
    BuildDefaultScriptsList(&essentials);

    FreeDirectoryPrefs();
    if (haveEssentials) {
        std::string location;
        const struct {
            int32_t kind;
            const char* name;
        } kFolders[] = {{kPrefDirLibraries, "Libraries"}, {kPrefDirScripts, "Scripts"}, {kPrefDirTemplates, "Templates"}};
        if (CreateDirectoryURLFromDirectory(&essentials, &location) == status::kNoErr) {
            for (const auto& folder : kFolders) {
                DirectoryRef sub;
                if (FindOrCreateSubFolder(location.c_str(), folder.name, false, &sub) == status::kNoErr)
                    gDirectoryPrefs[folder.kind].dirSpec = CreateDirSpec(&sub);
            }
        }
    }

    for (auto& list : gPropertyNamesTable) list.clear();
    for (const char* name : {"Description", "Footprint", "Manufacturer", "PartNo", "QtyMultiplier", "Supplier",
                             "UnitCost", "Value"})
        AppendPropertyNames(kComponentNames, name);
    for (const char* name : {"Priority", "Rating"}) AppendPropertyNames(kSignalNames, name);
    for (const char* name : {"DrawingNumber", "DrawingRev", "DrawingTitle", "SheetNumber"})
        AppendPropertyNames(kSheetNames, name);
    for (const char* name : {"ProjectTitle", "SheetCount", "BOMConfigure", "BOMData", "BOMOrder"})
        AppendPropertyNames(kProjectNames, name);

    for (auto& group : gLibShortcuts) group.clear();
    for (const char* name : {"GND", "CHASIS", "EARTH", "+3V", "-3V", "+5V", "-5V", "+9V", "-9V", "+12V", "-12V"})
        AddShortcutToGroup(kPowerShortcuts, name, "Wire Symbols");
    for (const char* name : {"Intra-Sheet Connection", "Signal Input Port", "Signal Output Port", "Signal I/O Port",
                             "Bus Input Port", "Bus Output Port", "Bus I/O Port"})
        AddShortcutToGroup(kPortShortcuts, name, "Wire Symbols");
}

void DisposePreferences() {
    delete gPrefs;
    gPrefs = nullptr;
    FreeDirectoryPrefs();
    for (int32_t i = 0; i < kRecentListCount; i++) ClearRecentFiles(i);
    ClearScriptFilesList();
    for (auto& list : gPropertyNamesTable) list.clear();
    for (auto& group : gLibShortcuts) group.clear();
    gDirtyPrefs = 0;
}

OSStatus GetPreferencesFileSpec(FileSpec* spec, int32_t index, uint16_t* version) {
    ClearFileSpec(spec);
    if (index < 0 || index > 2) return status::kParamErr;
    if (version) *version = kPrefsFileNames[index].version;
    DirectoryRef folder;
    if (!VXGetUserDomainDirectory(kVXFolderPreferences, kPrefsFolderName, true, &folder))
        return status::kFolderNotFound;
    spec->directory = folder;
    SetFileSpecName(spec, kPrefsFileNames[index].name);
    SetFileSpecCode(spec->creator, "QPLX");
    SetFileSpecCode(spec->type, "pref");
    return status::kNoErr;
}

OSStatus DeleteOldVersionPrefs(DynamicFileRecord* file, uint16_t version) {
    if (version > 0x051F) return status::kNoErr;
    for (uint8_t type : {kLibraryPathsBlock, kScriptsBlock, kFoldersBlock})
        if (OSStatus st = DeleteTypedFileBlocks(file, type)) return st;
    return status::kNoErr;
}

int32_t OpenPreferencesFile(bool report, bool writable, bool* swap, uint16_t* version, DynamicFileRecord* file) {
    if (swap) *swap = false;
    *file = DynamicFileRecord{};
    uint16_t foundVersion = 0;
    FileSpec current;
    OSStatus st = GetPreferencesFileSpec(&current, 0, &foundVersion);
    int32_t found = -1;
    FileSpec spec = current;
    for (int32_t index = 0; !st && index < 3; index++) {
        st = GetPreferencesFileSpec(&spec, index, &foundVersion);
        if (st) break;
        bool isFolder = false;
        if (!VXFileExists(&spec, &isFolder)) continue;
        found = index;
        break;
    }
    if (!st && found != 0 && !report) st = status::kUserCancelled;
    if (!st && found > 0) {
        // An older file: copy it to the current name without the blocks this version keeps
        // differently; the old file stays.
        const uint16_t oldVersion = foundVersion;
        st = MakeFileInPlace(current, [&](const FileSpec& temp) {
            OSStatus made = VXCopyFile(&spec, &temp, kCopyReplace);
            if (made) return made;
            DynamicFileRecord copy{};
            made = OpenDynamicFile(&temp, false, &copy);
            if (made) return made;
            // A copy that keeps the old blocks would be read the new way: it is not put in place.
            made = DeleteOldVersionPrefs(&copy, oldVersion);
            const OSStatus closed = CloseAndMaybeFlushDynamicFile(&copy, made == status::kNoErr);
            return made ? made : closed;
        });
        if (!st) RecordChangedPreferences(kPrefsAllBlocks);
    } else if (!st && found < 0) {
        foundVersion = kPrefsFileNames[0].version;
        st = MakeFileInPlace(current, [&](const FileSpec& temp) {
            FileSpec made = temp;
            OSStatus result = CreateDynamicFile(&made, "QPLX", "pref", "pref", 0);
            if (result) return result;
            DynamicFileRecord fresh{};
            result = OpenDynamicFile(&made, false, &fresh);
            if (result) return result;
            result = WritePreferences(&fresh, kPrefsAllBlocks);
            const OSStatus closed = CloseAndMaybeFlushDynamicFile(&fresh, true);
            return result ? result : closed;
        });
        if (!st) RecordChangedPreferences(0);
    }
    if (!st) st = OpenDynamicFile(&current, !writable, file);
    if (!st && file->fileType != FourCC("pref")) st = status::kNotDynamicFile;
    if (!st && swap) {
        bool swapped = PlatformTagSwaps(file, &st);
        if (!st) *swap = swapped;
    }
    if (version) *version = foundVersion;
    if (st) {
        if (file->stream) (void)CloseAndMaybeFlushDynamicFile(file, false);  // the open's failure is the one told
        if (report && st != status::kUserCancelled) ReportOpenFailure(st);
        return 0;
    }
    return 1;
}

void ClosePreferencesFile(DynamicFileRecord* file) {
    if (!file->stream) return;
    if (OSStatus st = CloseAndMaybeFlushDynamicFile(file, true)) ReportError(st);
}

OSStatus WritePreferences(DynamicFileRecord* file, uint32_t mask) {
    auto block = [&](uint8_t type, auto&& write) {
        StreamRecord* stream = nullptr;
        Signal(BeginFileBlockWrite(file, -1, &stream));
        write(stream);
        uint32_t offset = 0;
        Signal(EndFileBlockWrite(file, kBlockWriteReleaseFirst, type, &offset));
    };
    return CatchSignals([&] {
        Signal(BeginFileUpdates(file));
        if (mask & kPrefsPlatformBlock)
            block(kPlatformBlock, [](StreamRecord* s) { Signal(StreamWriteLongBE(s, NativePlatformTag())); });
        if (mask & kPrefsMainBlock)
            block(kMainBlock, [](StreamRecord* s) { Signal(StreamWrite(s, gPrefs, int32_t(sizeof *gPrefs))); });
        if (mask & kPrefsSheetDefaultsBlock) {
            block(kSheetDefaultsBlock, WriteSheetDefaults);
            block(kTextThemesBlock, [](StreamRecord* s) { Signal(WriteTextThemes(s, &gDefaultTextThemes)); });
        }
        if (mask & kPrefsPropertyNamesBlock)
            block(kPropertyNamesBlock, [](StreamRecord* s) { Signal(WritePropertyNamesTable(s)); });
        if (mask & kPrefsShortcutsBlock)
            block(kShortcutsBlock, [](StreamRecord* s) { Signal(WriteShortcutGroups(s)); });
        if (mask & kPrefsFontsBlock) block(kFontsBlock, [](StreamRecord* s) { Signal(WriteFontPrefs(s)); });
        if ((mask & kPrefsLibraryPathsBlock) && GetLibFilesPathList())
            block(kLibraryPathsBlock, [](StreamRecord* s) { Signal(SaveLibraryPathList(s)); });
        if (mask & kPrefsScriptsBlock) block(kScriptsBlock, [](StreamRecord* s) { Signal(WriteScriptFileList(s)); });
        if (mask & kPrefsRecentBlock) block(kRecentBlock, [](StreamRecord* s) { Signal(WriteRecentFiles(s)); });
        if (mask & kPrefsFoldersBlock) {
            block(kFoldersBlock, [](StreamRecord* s) {
                Signal(StreamWriteWord(s, kPrefDirCount));
                for (const auto& entry : gDirectoryPrefs) Signal(WriteStoredDirSpec(s, entry.dirSpec));
            });
        }
        if (mask & kPrefsColorTableBlock)
            block(kColorTableBlock, [](StreamRecord* s) { Signal(StreamWrite(s, gGrafColors, int32_t(sizeof gGrafColors))); });
        Signal(EndFileUpdates(file, false));
    });
}

OSStatus LoadPreferences() {
    SetDefaultPreferences();
    bool swap = false;
    uint16_t version = 0;
    DynamicFileRecord file{};
    if (!OpenPreferencesFile(true, false, &swap, &version, &file)) return status::kFileNotOpen;
    OSStatus st = ReadMainBlock(&file, swap);
    auto next = [&](uint8_t type, auto&& reader) {
        if (!st) st = ReadBlock(&file, type, swap, reader);
    };
    if (GetLibFilesPathList()) next(kLibraryPathsBlock, LoadLibraryPathList);
    next(kPropertyNamesBlock, ReadPropertyNamesTable);
    if (!st && version < 0x0520) {
        for (const char* name : {"BOMConfigure", "BOMData", "BOMOrder"}) AppendPropertyNames(kProjectNames, name);
        for (const char* name : {"Description", "Manufacturer", "QtyMultiplier", "UnitCost"})
            AppendPropertyNames(kComponentNames, name);
    }
    next(kShortcutsBlock, ReadShortcutGroups);
    next(kFontsBlock, ReadFontPrefs);
    next(kScriptsBlock, ReadScriptFileList);
    next(kRecentBlock, InflateRecentFiles);
    next(kFoldersBlock, InflatePrefDirectories);
    next(kSheetDefaultsBlock, ReadSheetDefaults);
    next(kTextThemesBlock, [](StreamRecord* s) { return ReadTextThemes(s, &gDefaultTextThemes); });
    if (!st) st = ReadColorTable(&file, swap);
    if (st) ReportError(st);
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    if (swap) RecordChangedPreferences(kPrefsAllBlocks);
    return st;
}

OSStatus SavePreferences() {
    if (!gDirtyPrefs || !gPrefs) return status::kNoErr;
    DynamicFileRecord file{};
    if (!OpenPreferencesFile(true, true, nullptr, nullptr, &file)) return status::kFileNotOpen;
    OSStatus st = BeginDynamicFileSave(&file);
    if (!st) st = EndDynamicFileSave(&file, WritePreferences(&file, gDirtyPrefs));
    if (st) ReportError(st);
    ClosePreferencesFile(&file);
    if (!st) RecordChangedPreferences(0);
    return st;
}

}  // namespace plexa
