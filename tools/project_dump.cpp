// project-dump: lists a project file's blocks, their padding and what they hold, the settings
// field by field (see files/project_dump.h for the output and the exit status).
#include <cstdio>
#include <string>

#include "app/root.h"
#include "files/project_dump.h"

int main(int argc, char** argv) {
    if (plexa::StartCore("project-dump") != 0) return 1;
    std::string out, err;
    const int result = plexa::RunProjectDump(argc, argv, &out, &err);
    std::fputs(out.c_str(), stdout);
    std::fputs(err.c_str(), stderr);
    return result;
}
