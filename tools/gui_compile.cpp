// gui-compile: compiles a UI template file from its text form into the stored form.
//   gui-compile <in.txt> <out.gui>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "toolkit/vx_templates_text.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gui-compile <in.txt> <out.gui>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "gui-compile: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::vector<plexa::UITextView> views;
    std::string error;
    if (!plexa::ParseUITemplateText(text.str(), &views, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (const plexa::OSStatus status = plexa::WriteUITemplateFile(argv[2], views)) {
        std::fprintf(stderr, "gui-compile: cannot write %s (status %d)\n", argv[2], int(status));
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
