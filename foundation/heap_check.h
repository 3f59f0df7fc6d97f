// Consistency check of a pool's variable pages, for tests: walks every block of the plain and
// relocatable pages (sizes, boundary tags, page pointers, trailing sizes, handle back pointers,
// live counts, free rings). Returns 0 when all holds, else a code naming the first fault.
#pragma once

#include "foundation/heap.h"

namespace plexa {

int HeapCheckPool(MemPool pool);

}  // namespace plexa
