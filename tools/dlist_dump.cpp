// dlist-dump: prints a display list as text, one line a record.
//
//     dlist-dump FILE
//
// FILE holds the bytes of one list (either byte order). Exit status 0 for a whole list, 1 for a
// list that is corrupt or does not begin with a header, 2 when the file cannot be read.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/displaylist.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dlist-dump FILE\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "dlist-dump: cannot read %s\n", argv[1]);
        return 2;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (bytes.size() > 0x7FFFFFFF) {
        std::fprintf(stderr, "dlist-dump: %s is too large\n", argv[1]);
        return 2;
    }
    const uint32_t size = uint32_t(bytes.size());
    const std::string text = plexa::DLDumpDisplayList(bytes.data(), size);
    std::fputs(text.c_str(), stdout);
    const plexa::DLCheckResult check = plexa::DLCheckDisplayList(bytes.data(), size);
    return check.whole && check.validHeader ? 0 : 1;
}
