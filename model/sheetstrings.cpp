// The upkeep of a sheet's string block (see sheetstrings.h).
#include "model/sheetstrings.h"

#include <cstring>
#include <string>
#include <vector>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "foundation/strings.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/waitcursor.h"

namespace plexa {

namespace {

// The groups of records whose strings live in the sheet's block, in the order they move.
enum class Group { kAttributes, kSymbols, kComponents, kPinTable, kSignals, kBusses, kTexts };

struct Step {
    Group group;
    void* record;
};

std::vector<Step> Steps(SheetRecord* sheet) {
    std::vector<Step> steps;
    steps.push_back({Group::kAttributes, nullptr});
    for (void* s = LLFirst(sheet->symbolList); s; s = LLGetNext(sheet->symbolList, s))
        steps.push_back({Group::kSymbols, s});
    for (void* c = LLFirst(sheet->componentList); c; c = LLGetNext(sheet->componentList, c))
        steps.push_back({Group::kComponents, c});
    if (sheet->pinDataTable) steps.push_back({Group::kPinTable, nullptr});
    for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s))
        steps.push_back({Group::kSignals, s});
    for (void* b = LLFirst(sheet->bussList); b; b = LLGetNext(sheet->bussList, b))
        steps.push_back({Group::kBusses, b});
    for (void* t = LLFirst(sheet->textList); t; t = LLGetNext(sheet->textList, t))
        steps.push_back({Group::kTexts, t});
    return steps;
}

// One record's strings moved by its module; all or nothing.
OSStatus Move(SheetRecord* sheet, const Step& step, StringBlock from, StringBlock to) {
    switch (step.group) {
    case Group::kAttributes:
        return ChangeAttributesStringBlock(sheet->attributes, 0, sheet->stored.attributeCount, from, to);
    case Group::kSymbols:
        return ChangeSymbolStringBlock(static_cast<SymbolRecord*>(step.record), from, to);
    case Group::kComponents:
        return ChangeCompStringBlock(static_cast<ComponentRecord*>(step.record), from, to);
    case Group::kPinTable:
        // The table knows its block and takes the new one.
        return ChangePinTableStringBlock(sheet->pinDataTable, to);
    case Group::kSignals:
        return ChangeSignalStringBlock(static_cast<SignalHandle>(step.record), from, to);
    case Group::kBusses:
        return ChangeBussStringBlock(static_cast<BussHandle>(step.record), from, to);
    case Group::kTexts:
        return ChangeTextElementStringBlock(static_cast<TextRecord*>(step.record), from, to);
    }
    return status::kParamErr;
}

// Moves the strings of every record from one block into the other, under the transfer mode in
// force. On failure the records moved already go back, without recoding: their texts are found
// whole in `from` (they were taken from there unchanged), so moving them back adds nothing.
OSStatus MoveSheetStrings(SheetRecord* sheet, StringBlock from, StringBlock to) {
    const std::vector<Step> steps = Steps(sheet);
    OSStatus st = status::kNoErr;
    size_t done = 0;
    for (; done < steps.size(); ++done) {
        if (done > 0 && steps[done].group != steps[done - 1].group) ModelWaitCursor();
        if ((st = Move(sheet, steps[done], from, to))) break;
    }
    if (st == status::kNoErr) return st;
    const uint16_t mode = SetStringTransferMode(0);
    for (size_t i = done; i-- > 0;) (void)Move(sheet, steps[i], to, from);  // adds nothing: see above
    SetStringTransferMode(mode);
    return st;
}

uint32_t UsedSize(StringBlock block) { return reinterpret_cast<const StringBlockHeader*>(*block)->used; }

// The UTF-8 form of each Mac OS Roman byte (the byte 0 stays itself).
const std::vector<std::string>& MacRomanToUTF8() {
    static const std::vector<std::string> table = [] {
        std::vector<std::string> t(256);
        t[0] = std::string(1, '\0');
        for (int b = 1; b < 256; ++b) {
            char text[8] = {char(b), 0};
            RecodeString(text, sizeof text, kEncodingMacRoman, kEncodingUTF8);
            t[size_t(b)] = text;
        }
        return t;
    }();
    return table;
}

// A block holding the given block's bytes recoded from Mac OS Roman, byte by byte. Since the
// recoding replaces each byte by a fixed run, every text of the given block, recoded, stands whole
// in the new one: moving the strings into it adds nothing. Null with kStringBlockFull when the
// recoded bytes reach beyond what specs address, -108 when memory fails.
StringBlock RecodedCopy(StringBlock block, OSStatus* st) {
    const std::vector<std::string>& utf8 = MacRomanToUTF8();
    std::string bytes;
    const auto* packed = reinterpret_cast<const unsigned char*>(*block + kStringBlockHeaderSize);
    const uint32_t count = UsedSize(block) - kStringBlockHeaderSize;
    for (uint32_t i = 0; i < count; ++i) bytes += utf8[packed[i]];
    const uint64_t used = uint64_t(kStringBlockHeaderSize) + bytes.size();
    if (used > kStringBlockOffsetLimit) {
        *st = status::kStringBlockFull;
        return nullptr;
    }
    const uint32_t allocated = uint32_t((used + kSheetStringBlockQuantum - 1) / kSheetStringBlockQuantum *
                                        kSheetStringBlockQuantum);
    StringBlock recoded = AllocHandleClear(gGenPool, allocated);
    if (!recoded) {
        *st = status::kOutOfMemory;
        return nullptr;
    }
    const StringBlockHeader header{kStringBlockMagic, allocated, uint32_t(used), uint16_t(kSheetStringBlockQuantum), 0};
    std::memcpy(*recoded, &header, sizeof header);
    std::memcpy(*recoded + kStringBlockHeaderSize, bytes.data(), bytes.size());
    if (!AdoptStoredStringBlock(recoded)) {
        MemFree(recoded);
        *st = status::kParamErr;
        return nullptr;
    }
    *st = status::kNoErr;
    return recoded;
}

}  // namespace

OSStatus CompactSheetStringBlock(SheetRecord* sheet) {
    if (!sheet || !sheet->stringBlock) return status::kParamErr;
    const uint16_t mode = SetStringTransferMode(0);
    // The live strings as they are, into a fresh block.
    StringBlock fresh = CreateStringBlock(gGenPool, kSheetStringBlockQuantum);
    OSStatus st = fresh ? MoveSheetStrings(sheet, sheet->stringBlock, fresh) : status::kOutOfMemory;
    if (st != status::kNoErr) {
        DestroyStringBlock(fresh);
        SetStringTransferMode(mode);
        return st;
    }
    DestroyStringBlock(sheet->stringBlock);
    sheet->stringBlock = fresh;
    // Texts stored before UTF-8: recoded from Mac OS Roman into a block that holds them already.
    if (sheet->stored.encodingLevel < kSheetUTF8EncodingLevel) {
        StringBlock recoded = RecodedCopy(fresh, &st);
        if (recoded) {
            SetStringTransferMode(kStringTransferRecodeAlways);
            st = MoveSheetStrings(sheet, fresh, recoded);
        }
        if (st == status::kNoErr) {
            DestroyStringBlock(fresh);
            sheet->stringBlock = recoded;
            sheet->stored.encodingLevel = kSheetUTF8EncodingLevel;
        } else {
            DestroyStringBlock(recoded);
        }
    }
    SetStringTransferMode(mode);
    sheet->stored.compactionThreshold = UsedSize(sheet->stringBlock) + kSheetStringCompactionSlack;
    return st;
}

OSStatus ReserveBlockString(StringBlock block, const char* text) {
    if (!text || !*text) return status::kNoErr;
    if (!block) return status::kParamErr;
    (void)OverlayStringBlock(block, text, -1, nullptr);  // the status tells
    return StringBlockAddStatus();
}

bool StringBlockCanTake(StringBlock into, StringBlock from) {
    if (!into || !from) return false;
    return uint64_t(UsedSize(into)) + UsedSize(from) - kStringBlockHeaderSize <= kStringBlockOffsetLimit;
}

OSStatus ReserveSheetString(SheetRecord* sheet, const char* text) {
    return ReserveBlockString(sheet ? sheet->stringBlock : nullptr, text);
}

}  // namespace plexa
