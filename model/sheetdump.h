// The canonical text dump of a sheet: one line per item, in list order, with ids that depend only
// on the items' places in their lists, so that a test or a person can compare two sheets by text.
//
// Sections appear only when their list holds something (the sheet line always), in this order:
//   sheet       page, bounds, next serial, flags, signal-name prefix and digits; its attributes
//   components  C<n> ...            the component list, each with the names, symbols, sections,
//                                   packages and hidden pins it holds
//   symbols     #<n> serial ...     placed symbols: placement, map ids, kind data, and the
//                                   designator and slot they show in the sheet's context
//   annotation  serial <n>: ...     the annotation map of the sheet's context, by symbol serial
//   signals     S<n> "name" ...     each with its pin entries, wires W<n> and labels
//   busses      B<n> "name" ...     each with its terminals, wires and labels
//   breakouts   row <id> ...        the break-out table by row id
//   texts       T<n> kind ...       every text element, with its owner as C/S/B id or serial
//   frames      F<n> ...
//   elements    E<n> ...
// Points are written (h,v), horizontal first; rectangles as (left,top)-(right,bottom). Flags are
// hexadecimal and left out when zero. Wire ends read "pin n" / "terminal n" (an index into the
// owner's table), "junction", "breakout n", "free", or "free:xxxx" for a free word other than
// 0xC000.
#pragma once

#include <cstdint>
#include <string>

namespace plexa {

struct SheetRecord;

constexpr uint32_t kDumpComponents = 0x01;
constexpr uint32_t kDumpSymbols = 0x02;
constexpr uint32_t kDumpSignals = 0x04;
constexpr uint32_t kDumpBusses = 0x08;  // busses and the break-out table
constexpr uint32_t kDumpTexts = 0x10;
constexpr uint32_t kDumpFrames = 0x20;
constexpr uint32_t kDumpElements = 0x40;
constexpr uint32_t kDumpSheet = 0x80;
constexpr uint32_t kDumpAnnotation = 0x100;
constexpr uint32_t kDumpAll = 0x1FF;

std::string DumpSheet(SheetRecord* sheet, uint32_t sections = kDumpAll);

}  // namespace plexa
