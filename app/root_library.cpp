// The core composition: the library tables.
#include "app/root_quiet.h"
#include "app/root_tables.h"

namespace plexa {

void ComposeLibraryForCore(CoreHookTables& t) {
    t.libraryAccess.essentialsFolder = [](DirectoryRef* folder) { return FindEssentialsFolder(folder) == status::kNoErr; };

    t.itemCache.message = QuietMessage;
    t.itemCache.reportError = QuietErrorReport;

    t.libHistory.message = QuietMessage;

    t.libFinder.message = QuietMessage;
    t.libFinder.status = QuietIgnore<const char*>;
    t.libFinder.waitCursor = QuietIgnore<>;
}

}  // namespace plexa
