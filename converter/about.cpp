// The converter's About box: the maker's box (toolkit/vx_about.h) with the converter's texts.
#include <string>

#include "converter/app.h"
#include "foundation/localized.h"
#include "toolkit/vx_about.h"
#include "toolkit/vx_services.h"

namespace plexa {
namespace {

// The format's first "%s" replaced by the value.
std::string Formatted(const char* format, const char* value) {
    std::string text = format;
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

std::string LoadedString(int32_t id) {
    char text[256];
    VXLoadStringEx(id, 0, text, sizeof text);
    return text;
}

}  // namespace

void ShowAboutDialog() {
    char version[32];
    GetApplicationVersionString(version);
    const std::string line = Formatted(LoadedString(kStrVersion).c_str(), version) + LoadedString(kStrPlatform);
    const std::string name = LoadedString(kStrApplicationName);
    ShowAboutBox(kAboutTemplate, {name.c_str(), line.c_str(), nullptr, kAboutIconItem, kConverterIcon, kConverterIconType});
}

}  // namespace plexa
