// dlist-dump: prints a display list as text, one line a record.
//
//     dlist-dump FILE
//
// FILE holds the bytes of one list (either byte order). Exit status 0 for a whole list, 1 for a
// list that is corrupt or does not begin with a header, 2 when the file cannot be read.
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/displaylist.h"
#include "tools/tool_support.h"

int main(int argc, char** argv) {
    using namespace plexa;
    if (argc != 2) {
        std::fprintf(stderr, "usage: dlist-dump FILE\n");
        return 2;
    }
    if (StartCore("dlist-dump") != 0) return tools::kFailed;
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        tools::Fail("dlist-dump", argv[1], "the file cannot be read", StatusFromErrno(errno));
        return 2;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (bytes.size() > 0x7FFFFFFF) {
        tools::Fail("dlist-dump", argv[1], "the file is too large for a display list");
        return 2;
    }
    const uint32_t size = uint32_t(bytes.size());
    const std::string text = plexa::DLDumpDisplayList(bytes.data(), size);
    std::fputs(text.c_str(), stdout);
    const plexa::DLCheckResult check = plexa::DLCheckDisplayList(bytes.data(), size);
    if (check.whole && check.validHeader) return 0;
    return tools::Fail("dlist-dump", argv[1],
                       check.validHeader ? "the display list is damaged"
                                         : "the file does not begin with a display list's header");
}
