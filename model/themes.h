// Font preferences and text themes. Texts and frames with the theme flag take their font, size and
// face from one of nine text themes, kept per sheet (`SheetRecord::themeTable`) and as a default
// set (`gDefaultTextThemes`) for the symbol editor and for sheets without their own.
//
// This module owns the theme table and its names, the choice of a theme for a text or frame,
// re-applying changed themes, purging a document's style list before saving, the application's
// standard styles, the excluded fonts kept in the preferences (`gFontPrefs`), the conversion of
// old point sizes and the overscore height of a style.
//
// Stored theme table: the style list of its styles in theme order, up to the first missing one.
//
// Stored excluded fonts (in the writer's byte order; a swapping stream swaps on read):
//   i32 n, then n bytes of the record: 8 bytes not read (written as zeros), u16 count, 2 spare
//       bytes, count u32 string specs into the block below (upper-cased names, equal names
//       sharing one spec);
//   i32 m, then the m bytes of the string block handle (header and strings).
// A reader checks the record's size against its count, the block's header against its size, and
// every spec against the block's used bytes.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct LinkListHeader;
struct StreamRecord;
struct txStyle;
struct SheetRecord;
struct TextRecord;
struct TextFrameRecord;
struct VXWindowRecordTag;
using TextStyleList = LinkListHeader;
using TextFrameHandle = TextFrameRecord**;
using BitArray = Handle;

constexpr int32_t kTextThemeCount = 9;
constexpr int32_t kThemeIndependentText = 0, kThemeSymbolNames = 1, kThemeRefDesignators = 2,
                  kThemePinNumbers = 3, kThemePinNames = 4, kThemeSymbolOwned = 5,
                  kThemeSignalNames = 6, kThemeBusNames = 7, kThemeSpiceNodeValues = 8;

struct TextThemeTable {
    txStyle* styles[kTextThemeCount];
};

extern TextThemeTable gDefaultTextThemes;

// Makes the nine styles (general pool, default kind 29); false when one could not be made (those
// made are kept).
[[nodiscard]] bool AllocTextThemeTable(TextThemeTable* table);
// Destroys the styles present.
void FreeTextThemeTable(TextThemeTable* table);
// Font, size and face of each style present on both sides.
void CopyTextThemeTable(const TextThemeTable* from, TextThemeTable* to);
// The built-in default themes: every style in "Times", sizes 12, 12, 12, 10, 10, 12, 10, 12, 10;
// missing styles are made first. False when a style could not be made.
[[nodiscard]] bool InitDefaultTextThemes(TextThemeTable* table);

OSStatus WriteTextThemes(StreamRecord* stream, const TextThemeTable* table);
// Moves up to nine styles of the stored list into the table in order, destroying those they
// replace; a shorter list leaves the later entries as they were.
OSStatus ReadTextThemes(StreamRecord* stream, TextThemeTable* table);

// The theme's name (empty for 9 and above), at most size - 1 bytes.
void GetTextThemeName(int32_t theme, char* out, int32_t size);

// The style of a theme in the sheet's table (or the default table, without a sheet or a table of
// its own), or gDefaultStyle when that entry is empty.
txStyle* GetSheetThemeStyle(SheetRecord* sheet, int32_t theme);
int32_t GetTextThemeId(SheetRecord* sheet, const TextRecord* text);
// The style of the text's theme in the sheet's table (or the default table), or gDefaultStyle
// when that entry is empty.
txStyle* GetTextThemeStyle(SheetRecord* sheet, const TextRecord* text);
txStyle* GetSymbolEditorTextThemeStyle(const TextRecord* text);
int32_t GetTextFrameThemeId(SheetRecord* sheet, TextFrameHandle frame);
txStyle* GetTextFrameThemeStyle(SheetRecord* sheet, TextFrameHandle frame);
txStyle* GetSymbolEditorTextFrameThemeStyle(TextFrameHandle frame);

// Starts from the text's style (or gDefaultStyle), installs the masked fields of the style and
// makes the result the text's style through the list.
void InstallStyleInText(TextRecord* text, const txStyle* style, uint32_t mask,
                        TextStyleList* list);
// Gives every themed text and frame whose style no longer matches its theme the theme's style,
// adding the old and new bounds of what changed to the area when one is given.
void RebuildDefaultStyleText(LinkListHeader* texts, LinkListHeader* frames, TextStyleList* list,
                             StringBlock block, SheetRecord* sheet, VXWindowRecordTag* window,
                             Rect* area);
// Before saving: merges styles of equal font, size and face into the first of them, then removes
// the styles no text or frame uses.
void PurgeStyleList(TextStyleList* list, LinkListHeader* texts, LinkListHeader* frames);
// List enumeration procedure: one style's size from 72 to 96 units per inch. Never stops a walk.
bool AdjustStyleSizes(LinkListHeader* list, void* style, void* unused);
// The height of the style's overscore above the base line, also kept in its metrics.
int16_t AutoCalcOverscoreAscent(txStyle* style);

// ---- Standard styles ----

extern txStyle* gDefaultStyle;
extern txStyle* gDialogStyle;
extern txStyle* gSmallDialogStyle;
extern txStyle* gTabControlStyle;  // the small dialog style
extern txStyle* gListEditStyle;
extern txStyle* gListCaptionStyle;  // none
extern txStyle* gTESelectionStyle;
// Makes the standard styles and an empty gFontPrefs (what is made already is kept).
void SchStylesInit();

// ---- Excluded fonts ----

#pragma pack(push, 4)
struct FontPrefsRecord {
    StringBlock block;
    uint16_t count;
    uint16_t spare;
    StringSpec specs[1];  // count entries
};
#pragma pack(pop)
constexpr uint32_t kFontPrefsHeadSize = 12;

extern Handle gFontPrefs;

// Whether the upper-cased name is one of the excluded fonts.
bool IsExcludedFont(const char* name);
// Rebuilds gFontPrefs from the set bits (bit n: the installed family n; bits at or beyond the
// family count are ignored) and marks the preference block of the excluded fonts changed.
void RecordFontPreferences(BitArray excluded);
OSStatus WriteFontPrefs(StreamRecord* stream);
// On failure the former gFontPrefs stays.
OSStatus ReadFontPrefs(StreamRecord* stream);
void DestroyFontPrefs();

// Runs the Other Fonts dialog over name[256]: true with the chosen family in name; otherwise the
// name becomes empty.
bool SelectOtherFont(char* name);

}  // namespace plexa
