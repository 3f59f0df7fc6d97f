// The command table (see commands.h): the menus' parts gathered in one list, with the commands of
// the application menu, the Window and Library menus and the toolkit's lists, which belong to no
// menu file of their own.
#include "app/commands.h"

#include <array>

#include "app/prefsdialog.h"
#include "app/shell.h"
#include "app/shellutil.h"
#include "foundation/assert.h"
#include "sheeteditor/toolbars.h"
#include "toolkit/vx_commands.h"

namespace plexa {

namespace {

using Record = VXPrepCommandRecord;
using Front = FrontDocument;

void EnableWhenModeless(Record* r, const Front& f) { r->enabled = !f.modal; }

const CommandEntry kShellCommands[] = {
    {cmd::kAbout, cmd::kAbout, EnableWhenModeless,
     [](const CommandCall&) {
         ShowAboutDialog();
         return int32_t(1);
     }},
    {cmd::kPreferences, cmd::kPreferences, EnableWhenModeless,
     [](const CommandCall&) {
         if (EditPrefsDialog(false)) UpdateDrawingToolPalettes();  // the open windows follow
         return int32_t(1);
     }},
    // Hiding and quitting are the toolkit's; so are the accessible locations (every location is
    // open here), which stay disabled.
    {cmd::kHide, cmd::kHide, EnableWhenModeless, nullptr},
    {cmd::kQuit, cmd::kQuit, EnableWhenModeless, nullptr},
    {cmd::kFirstApplication, cmd::kLastApplication, [](Record* r, const Front&) { r->enabled = 0; }, nullptr},

    {cmd::kWindowMenu, cmd::kWindowMenu,
     [](Record* r, const Front& f) {
         PrepWindowMenu(f.window, !f.modal);
         r->enabled = f.modal ? 0 : 1;
     },
     [](const CommandCall& c) {
         DoWindowMenuCommand(c.id);
         return int32_t(1);
     }},
    {cmd::kFirstWindow, cmd::kLastWindow,
     [](Record* r, const Front& f) {
         r->enabled = !f.modal && r->command - kWindowMenuFirstItem < CountWindowMenuEntries();
     },
     [](const CommandCall& c) {
         DoWindowMenuCommand(c.id);  // an item whose window has gone does nothing
         return int32_t(1);
     }},

    // The library editor's window runs its menu's commands.
    {cmd::kLibraryMenu, cmd::kLastLibrary, [](Record* r, const Front& f) { r->enabled = f.kind == kLibEditorKind; },
     nullptr},
};

// Items of the toolkit's lists are always enabled; the Font items have the Text menu's entry.
const CommandEntry kListItems[] = {
    {cmd::kFirstListItem, cmd::kLastListItem, [](Record* r, const Front&) { r->enabled = 1; }, nullptr},
};

}  // namespace

const CommandEntry* FindCommand(uint16_t id) {
    const std::array<std::span<const CommandEntry>, 8> table = {
        std::span<const CommandEntry>(kShellCommands), FileCommands(), EditCommands(), ToolsCommands(),
        TextCommands(), ViewCommands(), GridCommands(), std::span<const CommandEntry>(kListItems)};
    for (std::span<const CommandEntry> part : table)
        for (const CommandEntry& entry : part) {
            PLEXA_ASSERT(entry.first <= entry.last && (entry.rule || entry.action));
            if (id >= entry.first && id <= entry.last) return &entry;
        }
    return nullptr;
}

}  // namespace plexa
