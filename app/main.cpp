// The editor's program: hands the command line, the application's UI template file and the
// start-up hook to the toolkit, which runs the whole life of the application. One editor runs per
// user: a second start hands its documents to it and ends. The start-up puts the layers together
// through the composition root; until the shell's own tables exist, it then opens one empty
// document window under a small menu bar.
#include "app/editor_root.h"
#include "app/root.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace {

using namespace plexa;

const VXMenuDefItem kFileItems[] = {
    {kVXMenuItem, "Close", 203, "w"},
    {0, nullptr, 0, nullptr},
};
const VXMenuDef kFileMenu = {200, "File", kFileItems};

const VXMenuDefItem kEditItems[] = {
    {kVXMenuItem, "Undo", 301, "z"},      {kVXMenuSeparator, "-", 0, nullptr},
    {kVXMenuItem, "Cut", 302, "x"},       {kVXMenuItem, "Copy", 303, "c"},
    {kVXMenuItem, "Paste", 304, "v"},     {kVXMenuItem, "Clear", 305, nullptr},
    {0, nullptr, 0, nullptr},
};
const VXMenuDef kEditMenu = {300, "Edit", kEditItems};

const VXMenuDef* const kBarMenus[] = {&kFileMenu, &kEditMenu, nullptr};
const VXMenuBarDef kMenuBar = {1, kBarMenus};

int32_t AppStartup() {
    // A second start hands its documents to the running editor and ends.
    if (VXEnforceSingleAppInstance() == 0) return 0;
    // The core's start (pools, image lists, styles, themes, sheet defaults), then every layer's
    // hooks with the editors' windows and dialogs.
    if (StartCore("plexa") != 0) return 0;
    InstallEditorHooks();
    VXMenuBar* bar = VXBuildMenuBar(&kMenuBar);
    VXSetCurrentMenuBar(bar);
    VXDestroyMenuBar(bar);
    const Rect content = {80, 80, 680, 980};
    VXWindowRecordTag* window =
        VXCreateWindow(kVXWindowDocument, 0, kVXFlagResizableMinimizable | kVXFlagClosable, 101,
                       0, -1, &content, "Untitled", 0, nullptr, nullptr);
    if (window) VXShowWindow(window);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    return plexa::VXApplicationMain(argc, argv, "views.gui", AppStartup);
}
