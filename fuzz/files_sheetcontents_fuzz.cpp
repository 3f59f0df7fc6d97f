// Fuzz target: the contents block of a sheet file. The first byte's bit 0 chooses the other byte
// order, bit 1 a file older than version 257 (free texts become frames); the block follows. A
// sheet that reads is used as its callers use it: dumped and written back, and what was written
// must read again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "fuzz/model_fuzz_app.h"
#include "model/imagelist.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "model/symbols.h"
#include "model/texts.h"

using namespace plexa;

namespace {

struct BlockStream {
    Handle handle = nullptr;
    StreamRecord* stream = nullptr;
    explicit BlockStream(const std::string& bytes) {
        handle = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
        if (!handle && !bytes.empty()) std::abort();
        if (!handle) handle = AllocHandle(nullptr, 0);
        if (CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream) != 0) std::abort();
    }
    ~BlockStream() {
        DisposeStream(stream);
        MemFree(handle);
    }
    std::string bytes() const { return std::string(*handle, SizeOfHandle(handle)); }
};

// The sheet read from the bytes, or none.
SheetRecord* Read(const std::string& bytes, uint16_t version, bool swap) {
    SheetRecord* sheet = CreateDrawing();
    if (!sheet) std::abort();
    BlockStream in(bytes);
    if (ReadSheetContents(sheet, in.stream, nullptr, version, swap, nullptr) != 0) {
        DestroySheet(sheet);
        return nullptr;
    }
    return sheet;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StartModelFuzzApplication();
    if (size < 1) return 0;
    const bool swap = data[0] & 1;
    const uint16_t version = (data[0] & 2) ? 256 : kSheetFileVersion;
    SheetRecord* sheet = Read(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), version, swap);
    if (!sheet) return 0;
    const std::string dump = DumpSheet(sheet);
    BlockStream out({});
    // A sheet that read may still be beyond what a block holds (texts turned into frames).
    if (WriteSheetContents(sheet, out.stream) == 0) {
        SheetRecord* again = Read(out.bytes(), kSheetFileVersion, false);
        if (!again) std::abort();
        DestroySheet(again);
    }
    DestroySheet(sheet);
    return 0;
}
