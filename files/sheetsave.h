// Saving an open sheet to its sheet file.
//
// A save never destroys the last good copy: the whole file is written under a temporary name in
// the target's own folder, flushed to disk, given the target's permissions and renamed over the
// target in one step, and the folder is synced. A failure at any point removes the temporary
// file and leaves the target as it was; a process killed during a save leaves either the old or
// the complete new file in place.
//
// Project annotation of the sheet is written into the project files only once the sheet file is
// in place, so a failed save never leaves projects ahead of the sheet. A cached library file that
// is released for the save is reopened afterwards on success and failure alike.
//
// What a save needs of the sheet editor and the library layer (the save panel, messages, the
// window's title and modified mark, tidying, the item cache) comes through hooks that those
// modules install; without a hook its step is left out.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

struct ProjectRecord;
struct Rect;
struct SheetRecord;
struct SheetSpec;

constexpr OSStatus kSaveCancelled = status::kUserCancelled;
constexpr const char* kSheetSaveTempPrefix = "Sch";
constexpr const char* kSheetInUseMessage = "That sheet is currently open and cannot be replaced.";

// Kinds of the save panel (AskSaveSheetFile).
constexpr int32_t kSavePanelSheet = 1;
constexpr int32_t kSavePanelAscii = 3;
constexpr int32_t kSavePanelPicture = 4;
constexpr int32_t kSavePanelDxf = 5;

// The steps of writing the file, for the fault seam of tests.
enum class SheetSaveStep : int32_t { kOpenTarget, kWrite, kFlush, kRename };
// Called as each step begins; a non-zero result fails the save there with that status.
using SheetSaveFaultHook = OSStatus (*)(SheetSaveStep step);
void SetSheetSaveFaultHook(SheetSaveFaultHook hook);

struct SheetSaveHooks {
    // The position of the sheet's window and the visible part of the sheet (its view rectangle):
    // false when the sheet has no window. A program without windows has none.
    bool (*windowPlace)(SheetRecord* sheet, Rect* position, Rect* view) = nullptr;
    // Ends text editing, clears the selection and drops the undo action. Optional: without the
    // sheet editor there is none of them.
    void (*prepare)(SheetRecord* sheet) = nullptr;
    // Brings the file symbols and dirty child symbols up to date and tidies the sheet's lists.
    void (*tidy)(SheetRecord* sheet) = nullptr;
    // Runs the save panel of the kind; the chosen spec in place. False when cancelled.
    bool (*askFile)(SheetRecord* sheet, int32_t kind, FileSpec* spec) = nullptr;
    // Another loaded sheet (not `except`) whose file is the spec. Default: none.
    SheetRecord* (*loadedSheetWithFile)(const FileSpec* spec, SheetRecord* except) = nullptr;
    // Shows a message to the user.
    void (*alert)(const char* message) = nullptr;
    // The file system refused to write the target (a folder or file the person may not write):
    // says which file could not be saved in which folder and why, and offers another place.
    // 0 when the person wants one (the save panel then runs again), kSaveCancelled when they
    // declined, having been told; the status itself when nobody is there to ask.
    OSStatus (*offerOtherPlace)(const FileSpec* target, OSStatus status) = nullptr;
    // After a save that was not a copy: the window's file proxy, modified mark and title, the
    // windows the sheet owns, and the texts that hold macros.
    void (*saved)(SheetRecord* sheet) = nullptr;
    // Lets go of the cached library when it is this file; true when it did (its current item's
    // name kept by the hook).
    bool (*releaseCachedLibrary)(const FileSpec* target) = nullptr;
    // After any save that released it: takes the file up again as the cached library.
    void (*reopenCachedLibrary)(SheetRecord* sheet, const FileSpec* target) = nullptr;
    // Updates the symbols made from this sheet's file symbols in other sheets and the projects'
    // library lists.
    void (*afterSave)(SheetRecord* sheet) = nullptr;
};
void SetSheetSaveHooks(const SheetSaveHooks& hooks);
const SheetSaveHooks& GetSheetSaveHooks();

// Writes the sheet whole to the target, beside it first and then over it (the file-writing part
// of a save: no dialogs, nothing changed in the sheet beyond what the writer sets).
OSStatus WriteSheetFileSafely(SheetRecord* sheet, const FileSpec* target);

// The byte length of at most `characters` whole UTF-8 characters of the text.
size_t Utf8PrefixLength(const char* text, int32_t characters);

// The proposed name of the save panel: the spec's name less ".ASC", ".PICT", ".DXF" and ".SHX"
// ("Untitled" when empty), cut to 27 characters (26 for kind 4), with the kind's extension, the
// whole cut to 31 characters. out holds at least 32 bytes.
void ProposedSaveName(const FileSpec* spec, int32_t kind, char* out, int32_t size);

// Whether a save's status means the file system refused to write there (permission, a read-only
// disk): another place may take the file.
bool IsWriteRefused(OSStatus status);

// The save: 0, kSaveCancelled, or a failure (the caller reports it). A write refused where the
// file was to go offers another place (the save panel again); declined, the save ends as
// cancelled, the person having been told why.
OSStatus RealSaveSchematicSheet(SheetRecord* sheet, bool askName, bool asCopy);
// The sheet store's save: RealSaveSchematicSheet(sheet, false, false).
OSStatus SaveSchematicSheet(SheetRecord* sheet);
// The sheet's lists tidied before a save: unused text styles, components, symbol definitions,
// images and pin data dropped, the break-out table compacted (the save's tidying without the
// editors' file symbols and child symbols).
void TidySheetForSave(SheetRecord* sheet);
// Writes one project's annotation of the sheet when it is dirty: applies the pending changes,
// purges missing symbols and instances, writes the project's block.
OSStatus SaveSheetInstancesAnnotation(ProjectRecord* project, SheetSpec* spec, SheetRecord* sheet);

}  // namespace plexa
