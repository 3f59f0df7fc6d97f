// The converter's About box: the maker's box (toolkit/vx_about.h) with the converter's texts.
#include <string>

#include "converter/app.h"
#include "toolkit/vx_about.h"

namespace plexa {

void ShowAboutDialog() {
    const std::string name = AboutText(kStrApplicationName);
    const std::string line = AboutVersionLine(kStrVersion, kStrPlatform);
    ShowAboutBox(kAboutTemplate, {name.c_str(), line.c_str(), nullptr, kAboutIconItem, kConverterIcon, kConverterIconType});
}

}  // namespace plexa
