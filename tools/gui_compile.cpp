// gui-compile: compiles a UI template file from its text form into the stored form.
//   gui-compile <in.txt> <out.gui>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "toolkit/vx_templates_text.h"
#include "tools/tool_support.h"

int main(int argc, char** argv) {
    using namespace plexa;
    if (argc != 3) {
        std::fprintf(stderr, "usage: gui-compile <in.txt> <out.gui>\n");
        return 2;
    }
    if (StartCore("gui-compile") != 0) return tools::kFailed;
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
        return tools::Fail("gui-compile", argv[1], "the template text cannot be read", StatusFromErrno(errno));
    std::stringstream text;
    text << in.rdbuf();
    std::vector<plexa::UITextView> views;
    std::string error;
    if (!ParseUITemplateText(text.str(), &views, &error))
        return tools::Fail("gui-compile", argv[1], ("the template text is not valid: " + error).c_str());
    if (const OSStatus st = WriteUITemplateFile(argv[2], views)) {
        std::remove(argv[2]);
        return tools::Fail("gui-compile", argv[2], "the templates cannot be written", st);
    }
    return 0;
}
