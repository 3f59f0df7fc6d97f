// Compiles fuzzed report-script text, then lists the token stream it made, which must be well
// formed. Errors are caught and dropped. The script has no folder, so only absolute include paths
// resolve; inputs naming the kernel's file systems are skipped, since some of their files block.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "design/report_compiler.h"
#include "design/report_tokens.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/stream.h"

namespace {

void DropError(const plexa::ScriptErrorReport*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace plexa;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* skipped : {"/proc", "/sys", "/dev"}) {
        if (text.find(skipped) != std::string_view::npos) return 0;
    }
    SetScriptErrorHook(DropError);
    Handle source = AllocHandleWithData(nullptr, data, uint32_t(size));
    StreamRecord* stream = nullptr;
    if (!source || CreateStream(kStreamHandle, StreamTarget::OfHandle(source), &stream) != 0) {
        if (source) MemFree(source);
        return 0;
    }
    FileSpec spec;
    ClearFileSpec(&spec);
    SetFileSpecName(&spec, "fuzz.SXP");
    Handle tokens = nullptr;
    if (TokenizeScriptStream(nullptr, &spec, stream, &tokens) == 0) {
        std::string listing;
        if (DisassembleTokenStream(*tokens, SizeOfHandle(tokens), &listing) != 0) std::abort();
        MemFree(tokens);
    }
    DisposeStream(stream);
    MemFree(source);
    return 0;
}
