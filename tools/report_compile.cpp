// report-compile: compiles a report script and prints the listing of its token stream, or the
// compiler's error (with line and caret) on standard error.
//   report-compile <script>
#include <cstdio>
#include <string>

#include "design/report_compiler.h"
#include "design/report_tokens.h"
#include "foundation/heap.h"
#include "tools/tool_support.h"

int main(int argc, char** argv) {
    using namespace plexa;
    constexpr const char* kProgram = "report-compile";
    if (argc != 2) {
        std::fprintf(stderr, "usage: report-compile <script>\n");
        return 2;
    }
    if (StartCore(kProgram) != 0) return tools::kFailed;
    FileSpec spec;
    if (const OSStatus st = tools::ToolFileSpec(argv[1], &spec))
        return tools::Fail(kProgram, argv[1], "the script cannot be named", st);
    Handle tokens = nullptr;
    const OSStatus st = TokenizeScript(nullptr, &spec, &tokens);
    if (st == status::kUserCancelled)
        return tools::Fail(kProgram, argv[1], "the script cannot be compiled (see above)");
    if (st != status::kNoErr) return tools::Fail(kProgram, argv[1], "the script cannot be read", st);
    std::string listing;
    const OSStatus listed = DisassembleTokenStream(*tokens, SizeOfHandle(tokens), &listing);
    MemFree(tokens);
    std::fputs(listing.c_str(), stdout);
    if (listed != status::kNoErr)
        return tools::Fail(kProgram, argv[1], "the compiled script is not well formed", listed);
    return 0;
}
