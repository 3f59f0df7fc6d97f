// The text form of UI templates (ParseUITemplateText), as gui-compile reads it. What parses is
// encoded, written as a template file and read back through the stored-form reader, view by view.
#include "fuzz/fuzz_support.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_templates_text.h"

using namespace plexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<UITextView> views;
    std::string error;
    if (!ParseUITemplateText(std::string(reinterpret_cast<const char*>(data), size), &views, &error))
        return 0;
    for (const UITextView& view : views) EncodeUIViewBlock(view);
    static const std::string path = fuzz::ScratchPath("templatetext.gui");
    if (WriteUITemplateFile(path, views) != 0) return 0;
    FileSpec spec;
    if (FileSpecFromURL(path, &spec, false, nullptr) != 0) return 0;
    if (VXUIFileRecord* file = OpenUIFile(&spec, 0, 1)) {
        for (const UITextView& view : views) {
            VXViewTemplate loaded{};
            if (LoadUIViewTemplate(file, view.id, &loaded) == 0) {
                VXControlItemTemplate item;
                for (int32_t i = 0; VXGetTemplateItem(&loaded, i, &item); ++i) {
                }
                FreeUIViewTemplate(&loaded);
            }
        }
        CloseUIFile(file);
    }
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    // The project's own template texts, cut to their first views.
    std::vector<std::string> seeds;
    const std::string framework = fuzz::ReadWholeFile(PLEXA_FUZZ_SOURCE_DIR "/resources/gui/Framework.txt");
    size_t cut = 0;
    for (int views = 0; views < 2 && cut != std::string::npos; ++views) cut = framework.find("\nend\n", cut + 1);
    if (cut != std::string::npos) seeds.push_back(framework.substr(0, cut + 5));
    seeds.push_back(
        "view 1 \"All\"\n  title \"t\\\"q\\\\\\n\"\n  word 3\n  item iconbutton number 2 rect 0 0 32 32 icon 8001 size 32\n"
        "  item slider number 3 rect 40 0 60 100 value 0x100000 reserved 1 2\n  item 18 number 4 rect -1 -2 3 4\nend\n");
    return seeds;
}
