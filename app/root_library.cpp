// The core composition: the library tables.
#include "app/root_quiet.h"
#include "app/root_tables.h"
#include "model/modelhooks.h"

namespace plexa {

void ComposeLibraryForCore(CoreHookTables& t) {
    t.libraryAccess.essentialsFolder = [](DirectoryRef* folder) {
        return FindEssentialsFolder(folder) == status::kNoErr;
    };

    t.itemCache.message = QuietMessage;
    t.itemCache.reportError = QuietErrorReport;

    t.libHistory.message = QuietMessage;

    t.libFinder.message = QuietMessage;
    t.libFinder.status = QuietIgnore<const char*>;
    t.libFinder.waitCursor = QuietIgnore<>;

    // No item of a library editor is open in a symbol editor without the symbol editor.
    t.libEditor.openItemEditor = [](LibEditorRecord*, LibEditorItemRef*) -> SymbolEditorRecord* {
        return nullptr;
    };
    t.libEditor.closeItemEditor = QuietProceed<SymbolEditorRecord*, bool, bool>;
    t.libEditor.itemEditorValid = QuietProceed<SymbolEditorRecord*>;
    t.libEditor.flushItemEditor = QuietProceed<SymbolEditorRecord*>;
    t.libEditor.itemEditorChanged = QuietDecline<SymbolEditorRecord*>;
    t.libEditor.flattenItemEditor = [](SymbolEditorRecord*, OSStatus* status) -> Handle {
        if (status) *status = status::kUserCancelled;
        return nullptr;
    };
    t.libEditor.itemEditorTaken = QuietIgnore<SymbolEditorRecord*>;
    t.libEditor.addItemEditorSymbolFlags = QuietIgnore<SymbolEditorRecord*, uint32_t>;
    // Saving loses nothing; the other questions keep things as they are.
    t.libEditor.askSave = [](LibEditorRecord*, const char*) { return LibSaveAnswer::kSave; };
    t.libEditor.confirm = QuietDecline<const char*, const char*>;
    t.libEditor.message = QuietMessage;
    t.libEditor.askNewItem = QuietDecline<char*, uint8_t*, uint32_t*>;
    t.libEditor.askFind = QuietDecline<char*, bool*>;
    t.libEditor.preferencesChanged = ChangedPreferences;
    t.libEditor.reportError = QuietErrorReport;
    t.libEditor.beep = QuietIgnore<>;
}

}  // namespace plexa
