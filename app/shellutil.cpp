// The editor shell's small services.
#include "app/shellutil.h"

#include <cstring>
#include <vector>

#include "app/prefs.h"
#include "foundation/filespec.h"
#include "model/drawglobals.h"
#include "toolkit/vx_about.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_services.h"

namespace plexa {

VXSound* gClickSound = nullptr;

namespace {

std::vector<uint32_t> gGenFlagsStack;

std::string DesktopName(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    static const std::string kSuffix = ".desktop";
    if (name.size() > kSuffix.size() && name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0)
        name.resize(name.size() - kSuffix.size());
    if (name.size() > 127) name.resize(127);
    return name;
}

}  // namespace

void PushGenFlags() { gGenFlagsStack.push_back(gGenFlags); }

void PopGenFlags() {
    if (gGenFlagsStack.empty()) return;
    gGenFlags = gGenFlagsStack.back();
    gGenFlagsStack.pop_back();
}

int32_t GenFlagsDepth() { return int32_t(gGenFlagsStack.size()); }

void PrepClickSound() {
    if (!gClickSound) gClickSound = VXLoadSound("click");
}

void ConnectBeep() {
    if (!gPrefs || !(gPrefs->connectSound & 1)) return;
    if (gClickSound)
        VXPlaySound(gClickSound);
    else
        VXBeep();
}

void SetSmallMenuFont(VXMenuRecord* menu) {
    if (menu) VXSetMenuSize(menu, 1);
}

void MakeLowerString(char* text) {
    for (; text && *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = char(*text - 'A' + 'a');
}

bool GetTextEditorApplication(std::string* appSpec) {
    appSpec->clear();
    char chosen[256];
    VXGetStringValueForKey(kTextEditorKey, chosen, sizeof chosen);
    if (chosen[0] && VXFindAppWithBundleIdentifier(chosen, appSpec) == status::kNoErr) return true;
    if (VXFindAppForContentType("text/plain", true, appSpec) == status::kNoErr) return true;
    if (VXFindAppWithBundleIdentifier(kFallbackTextEditor, appSpec) == status::kNoErr) return true;
    appSpec->clear();
    return false;
}

bool GetApplicationNameForBundleIdentifier(const char* bundleId, bool orTextDefault, std::string* name) {
    std::string path;
    if ((bundleId && *bundleId && VXFindAppWithBundleIdentifier(bundleId, &path) == status::kNoErr) ||
        (orTextDefault && VXFindAppForContentType("text/plain", true, &path) == status::kNoErr)) {
        *name = DesktopName(path);
        return true;
    }
    *name = "None";
    return false;
}

bool PromptForApplication(std::string* appSpec) {
    FileSpec spec;
    ClearFileSpec(&spec);
    if (!VXAskFileOpen("Choose Application", "APPL", 0, &spec, nullptr)) return false;
    std::string location;
    if (CreateURLFromFileSpec(&spec, false, &location) != status::kNoErr) return false;
    *appSpec = location;
    return true;
}

void ShowAboutDialog() {
    const std::string name = AboutText(kStrProductName);
    const std::string line = AboutVersionLine(kStrVersionFormat, kStrPlatformSuffix);
    const std::string built = AboutText(kStrBuiltFormat, __DATE__);
    ShowAboutBox(kEditorAboutTemplate, {name.c_str(), line.c_str(), built.c_str(), kEditorAboutIconItem, "PlexaApp", "png"});
}

}  // namespace plexa
