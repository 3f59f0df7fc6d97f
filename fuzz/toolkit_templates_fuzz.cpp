// UI template files in their stored form (OpenUIFile, LoadUIViewTemplate). The input is the whole
// file. Every view it lists is inflated and its items and strings are read, as a dialog does when
// it makes its controls.
#include "fuzz/fuzz_support.h"
#include "foundation/ll.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_templates_text.h"

using namespace plexa;

namespace {

void ReadViews(VXUIFileRecord* file) {
    std::vector<uint16_t> ids;
    for (void* ref = LLFirst(file->views); ref && ids.size() < 256; ref = LLGetNext(file->views, ref))
        ids.push_back(static_cast<VXUIViewRef*>(ref)->viewID);
    char text[kStringSpecBufferSize];
    for (uint16_t id : ids) {
        VXViewTemplate view{};
        if (LoadUIViewTemplate(file, id, &view) != 0) continue;
        VXGetTemplateString(&view, view.title, text, sizeof text);
        VXGetTemplateString(&view, view.viewName, text, sizeof text);
        VXGetTemplateString(&view, view.trailingText, text, sizeof text);
        VXControlItemTemplate item;
        for (int32_t i = 0; VXGetTemplateItem(&view, i, &item); ++i) {
            VXGetTemplateString(&view, item.name, text, sizeof text);
            VXGetTemplateString(&view, item.title, text, 7);
        }
        FreeUIViewTemplate(&view);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::ScratchPath("templates.gui");
    FileSpec spec;
    if (!fuzz::WriteScratchFile(path, data, size, &spec)) return 0;
    if (VXUIFileRecord* file = OpenUIFile(&spec, 0, 1)) {
        ReadViews(file);
        CloseUIFile(file);
    }
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    const char* texts[] = {
        "view 8002 \"Confirm\"\n  title \"Sure?\"\n  item box options 0x0200 rect 0 0 128 420\n"
        "  item text number 3 rect 18 20 74 400\n  item button number 1 rect 88 300 108 400 title \"OK\"\nend\n",
        "view 7 \"Small\"\n  flags 0x0001\n  order swapped\n  item checkbox number 2 rect 1 2 3 4 title \"x\"\n"
        "  item tabs number 4 rect 0 0 90 90 tabs \"a\" \"b\"\n  trailer \"tail\"\nend\n"
        "view 9 \"Old\"\n  flags 0\n  item edit number 1 rect 5 5 25 100\nend\n",
    };
    std::vector<std::string> seeds;
    const std::string path = fuzz::ScratchPath("templates-seed.gui");
    for (const char* text : texts) {
        std::vector<UITextView> views;
        std::string error;
        if (!ParseUITemplateText(text, &views, &error) || WriteUITemplateFile(path, views) != 0) continue;
        seeds.push_back(fuzz::ReadWholeFile(path));
    }
    std::remove(path.c_str());
    return seeds;
}
