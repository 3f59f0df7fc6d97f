// report-compile: compiles a report script and prints the listing of its token stream, or the
// compiler's error (with line and caret) on standard error.
//   report-compile <script>
#include <cstdio>
#include <string>

#include "design/report_compiler.h"
#include "design/report_tokens.h"
#include "foundation/filespec.h"
#include "foundation/heap.h"
#include "foundation/memory.h"

int main(int argc, char** argv) {
    using namespace plexa;
    if (argc != 2) {
        std::fprintf(stderr, "usage: report-compile <script>\n");
        return 2;
    }
    FileSpec spec;
    if (FileSpecFromURL(NormalizePath(argv[1]), &spec, false, nullptr) != status::kNoErr) {
        std::fprintf(stderr, "report-compile: cannot name %s\n", argv[1]);
        return 1;
    }
    Handle tokens = nullptr;
    const OSStatus st = TokenizeScript(nullptr, &spec, &tokens);
    if (st == status::kUserCancelled) return 1;  // the error was shown
    if (st != status::kNoErr) {
        std::fprintf(stderr, "report-compile: cannot compile %s (status %d)\n", argv[1], int(st));
        return 1;
    }
    std::string listing;
    const OSStatus listed = DisassembleTokenStream(*tokens, SizeOfHandle(tokens), &listing);
    MemFree(tokens);
    std::fputs(listing.c_str(), stdout);
    return listed == status::kNoErr ? 0 : 1;
}
