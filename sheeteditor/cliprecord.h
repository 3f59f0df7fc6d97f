// The sheet editor's clip: what a Copy or a Cut put there, and the clipboard of the run. The
// operations that fill and use it are in sheeteditor/sheetclip.h; the undo of a Cut only flips the
// clip's cut mark, which is all it needs of it.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct ClipTargetList;
struct SheetRecord;

// Clip flags.
constexpr uint16_t kClipFromCut = 0x01;
constexpr uint16_t kClipHasObjects = 0x02;
constexpr uint16_t kClipPasted = 0x04;
constexpr uint16_t kClipConverted = 0x08;
constexpr uint16_t kClipElementOption = 0x20;
constexpr uint16_t kClipCutUndone = 0x40;

// Source kinds of a clip.
constexpr uint16_t kClipSourceSheet = 101;
constexpr uint16_t kClipSourceSymbolEditor = 111;

struct ClipboardRecord {
    SheetRecord* content = nullptr;  // the copied objects, relative to the reference point
    ClipTargetList* targets = nullptr;  // the hierarchy below the cut sheet (made by Cut only)
    Rect bounds{};                   // of the copied objects, relative to the reference point
    Point pastePoint{};              // where the next paste puts the reference point
    uint32_t clipId = 0;
    uint16_t sourceKind = 0;
    uint16_t resolution = 0;
    uint16_t flags = 0;
    uint8_t pasteAtClick = 0;
    uint8_t hasContent = 0;          // a symbol, element, text, frame or buss (not signals alone)
};

// The clipboard of the run (swapped for a temporary one while Duplicate runs).
extern ClipboardRecord* CurrClip;

}  // namespace plexa
