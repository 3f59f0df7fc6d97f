// Library access keeps its process-wide state in records of its modules (the item cache, the
// library lists, the digest file); what a run collects on the way, the finder's kept item maps
// and the history of placed items, is forgotten here in one call (a test program does so after
// every test).
#pragma once

namespace plexa {

// Frees the finder's kept maps and the item history.
void ResetLibraryForTesting();

}  // namespace plexa
