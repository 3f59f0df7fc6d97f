// Saving sheets: the safe replacement of the sheet file and the save's steps around it.
#include "files/sheetsave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "files/project.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "files/sheetspec.h"
#include "foundation/datafile.h"
#include "foundation/datetime.h"
#include "foundation/strings.h"
#include "foundation/tempfiles.h"
#include "model/annotation.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/imagelist.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/themes.h"

namespace plexa {
namespace {

SheetSaveFaultHook gFaultHook = nullptr;
SheetSaveHooks gSaveHooks;

OSStatus Fault(SheetSaveStep step) { return gFaultHook ? gFaultHook(step) : status::kNoErr; }

constexpr int32_t kSaveNameStemLimit = 27;
constexpr int32_t kSavePictureStemLimit = 26;
constexpr int32_t kSaveNameLimit = 31;
// The modified bits that a save clears.
constexpr uint8_t kSavedModifiedMask = 0x0F;

const char* KindExtension(int32_t kind) {
    switch (kind) {
    case kSavePanelAscii: return ".ASC";
    case kSavePanelPicture: return ".PICT";
    case kSavePanelDxf: return ".DXF";
    default: return ".SHX";
    }
}

// Syncs the folder that holds the spec, so that a rename in it is on disk.
OSStatus SyncFolder(const FileSpec* spec) {
    std::string folder;
    if (OSStatus st = CreateDirectoryURLFromDirectory(&spec->directory, &folder)) return st;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return StatusFromErrno(errno);
    const OSStatus st = ::fsync(fd) == 0 ? status::kNoErr : StatusFromErrno(errno);
    ::close(fd);
    return st;
}

// Flushes the written temporary file to disk and gives it the permissions of the file it
// replaces (when there is one).
OSStatus FlushTemporary(const FileSpec* temporary, const FileSpec* target, bool targetExists) {
    if (OSStatus st = Fault(SheetSaveStep::kFlush)) return st;
    DataFileRef ref = 0;
    if (OSStatus st = OpenDataFile(temporary, false, &ref)) return st;
    OSStatus st = status::kNoErr;
    if (targetExists) {
        std::string path;
        struct stat info {};
        if (CreateURLFromFileSpec(target, false, &path) == status::kNoErr && ::stat(path.c_str(), &info) == 0 &&
            ::fchmod(GetDataFileDescriptor(ref), info.st_mode & 07777) != 0)
            st = StatusFromErrno(errno);
    }
    const OSStatus flushed = CloseAndOrFlushDataFile(ref, true, true);
    return st ? st : flushed;
}

// Keeps the first failure in the OSStatus that `data` points to.
int32_t WriteProjectAnnotationProc(ProjectRecord* project, SheetSpec* spec, SheetRecord* sheet, void* data) {
    auto* first = static_cast<OSStatus*>(data);
    const OSStatus st = SaveSheetInstancesAnnotation(project, spec, sheet);
    if (st && !*first) *first = st;
    return 0;
}

}  // namespace

void SetSheetSaveFaultHook(SheetSaveFaultHook hook) { gFaultHook = hook; }
void SetSheetSaveHooks(const SheetSaveHooks& hooks) { gSaveHooks = hooks; }
const SheetSaveHooks& GetSheetSaveHooks() { return gSaveHooks; }

OSStatus WriteSheetFileSafely(SheetRecord* sheet, const FileSpec* target) {
    if (!sheet || !target || IsDirectoryInvalid(&target->directory) || !target->name[0])
        return status::kParamErr;
    bool isFolder = false;
    const bool exists = VXFileExists(target, &isFolder);
    if (exists && isFolder) return status::kDuplicateName;
    // A target that cannot be written fails the save before anything is made.
    if (OSStatus st = Fault(SheetSaveStep::kOpenTarget)) return st;
    if (exists) {
        DataFileRef ref = 0;
        if (OSStatus st = OpenDataFile(target, false, &ref)) return st;
        (void)CloseAndOrFlushDataFile(ref, true, false);  // opened only to see that it can be written
    }
    // Made at once under a name of its own (O_EXCL), so that no other save shares it.
    FileSpec temporary = *target;
    if (OSStatus st = CreateTemporaryFileBeside(kSheetSaveTempPrefix, &temporary)) return st;
    OSStatus st = Fault(SheetSaveStep::kWrite);
    if (!st) st = WriteSheetFile(sheet, &temporary);
    if (!st) st = FlushTemporary(&temporary, target, exists);
    if (!st) st = Fault(SheetSaveStep::kRename);
    if (!st) st = VXReplaceFile(target, &temporary);
    if (st) {
        (void)VXDeleteFile(&temporary);  // best effort: the save status is the one reported
        return st;
    }
    // The new file is in place; a folder that cannot be synced leaves it there all the same.
    (void)SyncFolder(target);  // the new file is in place regardless
    return status::kNoErr;
}

size_t Utf8PrefixLength(const char* text, int32_t characters) {
    int32_t seen = 0;
    size_t i = 0;
    for (; text[i]; ++i) {
        if ((uint8_t(text[i]) & 0xC0) == 0x80) continue;
        if (seen == characters) return i;
        ++seen;
    }
    return i;
}

void ProposedSaveName(const FileSpec* spec, int32_t kind, char* out, int32_t size) {
    if (!out || size <= 0) return;
    char name[kFileSpecNameCapacity] = {};
    if (spec) std::snprintf(name, sizeof name, "%s", spec->name);
    for (const char* extension : {".ASC", ".PICT", ".DXF", ".SHX"}) RemoveExtension(extension, name);
    std::string proposed = name[0] ? name : "Untitled";
    proposed.resize(Utf8PrefixLength(proposed.c_str(), kind == kSavePanelPicture ? kSavePictureStemLimit : kSaveNameStemLimit));
    proposed += KindExtension(kind);
    proposed.resize(Utf8PrefixLength(proposed.c_str(), kSaveNameLimit));
    std::snprintf(out, size_t(size), "%s", proposed.c_str());
}

OSStatus SaveSheetInstancesAnnotation(ProjectRecord* project, SheetSpec* spec, SheetRecord* sheet) {
    if (!project || !spec) return status::kParamErr;
    if (!IsSheetAnnotationDirty(spec, true, false, false)) return status::kNoErr;
    ApplyAnnotationMapChanges(spec->annotationMap, spec);
    if (sheet) PurgeMissingSymbolsFromAnnotMap(sheet, spec->annotationMap);
    PurgeMissingInstancesFromAnnotMap(project, spec);
    return WriteProjectSheetAnnotationMap(project, spec, true);
}

OSStatus RealSaveSchematicSheet(SheetRecord* sheet, bool askName, bool asCopy) {
    if (!sheet) return status::kParamErr;
    const SheetSaveHooks& hooks = gSaveHooks;
    FileSpec target = sheet->fileSpec;
    const bool noHome = !target.name[0] || IsDirectoryInvalid(&target.directory);
    if (asCopy || askName || noHome) {
        if (!hooks.askFile || !hooks.askFile(sheet, kSavePanelSheet, &target)) return kSaveCancelled;
        // Another loaded sheet of that file keeps its unsaved state: the save is refused.
        if (hooks.loadedSheetWithFile && hooks.loadedSheetWithFile(&target, sheet)) {
            if (hooks.alert) hooks.alert(kSheetInUseMessage);
            return kSaveCancelled;
        }
    }
    if (hooks.prepare) hooks.prepare(sheet);
    if (hooks.tidy) hooks.tidy(sheet);
    sheet->stored.encodingLevel = kSheetSettingsVersion;
    const bool released = hooks.releaseCachedLibrary && VXFileExists(&target, nullptr) &&
                          hooks.releaseCachedLibrary(&target);
    const FileSpec releasedFile = target;
    // The sheet's own annotation goes into the file: its pending changes first.
    if (sheet->annotationMap) {
        ApplyAnnotationMapChanges(sheet->annotationMap, nullptr);
        PurgeMissingSymbolsFromAnnotMap(sheet, sheet->annotationMap);
    }
    OSStatus st = WriteSheetFileSafely(sheet, &target);
    // Refused there: another place, as long as the person names one (a copy goes there too).
    while (IsWriteRefused(st) && hooks.offerOtherPlace) {
        if (const OSStatus answer = hooks.offerOtherPlace(&target, st)) {
            st = answer;
            break;
        }
        if (!hooks.askFile || !hooks.askFile(sheet, kSavePanelSheet, &target)) {
            st = kSaveCancelled;
            break;
        }
        if (hooks.loadedSheetWithFile && hooks.loadedSheetWithFile(&target, sheet)) {
            if (hooks.alert) hooks.alert(kSheetInUseMessage);
            st = kSaveCancelled;
            break;
        }
        st = WriteSheetFileSafely(sheet, &target);
    }
    if (!st) {
        if (sheet->sheetLocalAnnotation) sheet->sheetLocalAnnotation->changed = 0;
        if (!asCopy) {
            sheet->fileTimes[1] = uint32_t(VXGetCurrentDateTime(0));
            sheet->modifiedFlags = uint8_t(sheet->modifiedFlags & ~kSavedModifiedMask);
            sheet->fileSpec = target;
            if (noHome && sheet->annotationMap && !sheet->sheetLocalAnnotation) {
                SheetLocalAnnotationEntry* entry = CreateSheetLocalAnnotation(&target, sheet->annotationMap);
                if (entry) {
                    entry->referenceCount = 1;
                    sheet->sheetLocalAnnotation = entry;
                }
            }
            if (hooks.saved) hooks.saved(sheet);
        }
        // With the sheet in place, the projects that use it take its annotation.
        OSStatus first = status::kNoErr;
        EnumSheetProjects(sheet, WriteProjectAnnotationProc, &first);
        st = first;
    }
    if (released && hooks.reopenCachedLibrary) hooks.reopenCachedLibrary(sheet, &releasedFile);
    if (hooks.afterSave) hooks.afterSave(sheet);
    return st;
}

OSStatus SaveSchematicSheet(SheetRecord* sheet) { return RealSaveSchematicSheet(sheet, false, false); }

bool IsWriteRefused(OSStatus status) { return status == status::kPermission; }

void TidySheetForSave(SheetRecord* sheet) {
    if (!sheet) return;
    PurgeStyleList(sheet->styleList, sheet->textList, sheet->textFrameList);
    CompactBreakOutTable(sheet->breakOutTable, sheet->signalList);
    PurgeComponentList(sheet->componentList, sheet->symbolList);
    PurgeSymbolMap(sheet);
    CompactSheetsImageList(sheet);
    PurgeSheetPinTable(sheet);
}

}  // namespace plexa
