// lib-tool: makes and inspects library files from the command line (see library/lib_tool.h for the
// commands and the exit status).
#include <cstdio>
#include <string>

#include "app/root.h"
#include "library/lib_tool.h"

int main(int argc, char** argv) {
    if (plexa::StartCore("lib-tool") != 0) return 1;
    std::string out, err;
    const int result = plexa::RunLibTool(argc, argv, &out, &err);
    std::fputs(out.c_str(), stdout);
    std::fputs(err.c_str(), stderr);
    return result;
}
