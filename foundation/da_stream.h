// The stored form of DA arrays: `DAWrite` puts an array on a stream so that `DAReadEx` rebuilds it
// with the same ids (every slot keeps its physical place, free slots included, and the logical id
// map is kept as it is).
//
// Stored form (header, counts and map big-endian; item bodies as they lie in memory, in the
// writer's byte order, swapped by the owner's item procedure):
//   i32 mark -2, u32 header size 72, 18 u32 header words:
//     0 item size, 1 stride, 2 count, 3 id limit, 4 items per cluster, 5 cluster count,
//     6 free head (not read back), 7 zero, 8 flags, 9-10 zero, 11 reference value (low 32 bits),
//     12-17 zero;
//   with logical ids: the map as a stream handle (i32 length = capacity x 4, then i32 entries);
//   per cluster: i32 slot count n, then runs covering n slots: r > 0 is r used slots followed by
//   their r x stride bytes (none with kDANoBodies), r < 0 is -r free slots with no bytes.
// The old form has no mark and no size word, a 48-byte header (words 0-11) and the map's length
// word in the writer's byte order.
//
// The reader trusts nothing it reads: stride against item size and flags, cluster count, slot
// counts against items per cluster, n x stride, runs against the slots left in their cluster,
// count and id limit against the slots read, and every map entry against the live slots are
// checked, and a damaged form fails with -50 (or -39 when it ends early), freeing what was built.
#pragma once

#include "foundation/da.h"

namespace plexa {

struct StreamRecord;

// The item procedure runs over every item after the array was written or read, with the stream
// as the loop's value, so that each item can write or read what belongs to it (and swap itself).
OSStatus DAWrite(DAArray array, StreamRecord* stream, DALoopProc itemProc);
OSStatus DARead(MemPool pool, DAArray* array, StreamRecord* stream, DALoopProc itemProc);
// itemSize below 1 keeps the stored item size; a larger one widens the items.
OSStatus DAReadEx(MemPool pool, DAArray* array, int32_t itemSize, StreamRecord* stream,
                  DALoopProc itemProc);

// The stream an item procedure is given.
inline StreamRecord* DALoopStream(const DALoopRecord* loop) {
    return reinterpret_cast<StreamRecord*>(uintptr_t(loop->value));
}

}  // namespace plexa
