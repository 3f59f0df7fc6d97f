// Fuzz target: a file opened as a sheet. The bytes are written to a scratch file, which is first
// probed as an ASCII database text (the file probe must agree with the probe of the same bytes in
// memory), then loaded into a new sheet record with its window state, as opening a sheet does. A
// sheet that loads is used as its callers use it: dumped, saved to another file, and what was
// saved must load again. Opening keeps the sheet's string block: a sheet of an older encoding
// level, or one whose block grew past its limit, is compacted.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "files/sheetload.h"
#include "files/sheetspec.h"
#include "foundation/memory.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/model_fuzz_app.h"
#include "model/imagelist.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "model/symbols.h"
#include "model/texts.h"

using namespace plexa;

namespace {

FileSpec ScratchSpec(const std::string& path) {
    FileSpec spec;
    if (FileSpecFromURL(path, &spec, false, nullptr) != 0) std::abort();
    return spec;
}

// The bytes of the sheet as the save writes them (the sheet is destroyed).
std::string Saved(SheetRecord* sheet) {
    const std::string path = fuzz::ScratchPath("seed.SHX");
    const FileSpec spec = ScratchSpec(path);
    if (WriteSheetFile(sheet, &spec) != 0) std::abort();
    DestroySheet(sheet);
    std::string bytes = fuzz::ReadWholeFile(path);
    std::remove(path.c_str());
    return bytes;
}

}  // namespace

std::vector<std::string> FuzzSeeds() {
    StartModelFuzzApplication();
    std::vector<std::string> seeds;
    seeds.push_back(Saved(CreateDrawing()));
    // Two components, a sheet symbol naming a child sheet, and a designator text.
    SheetRecord* sheet = CreateDrawing();
    for (const char* name : {"R1", "C2"}) {
        SymbolRecord* symbol = CreateSymbol();
        AddSymbolToSheet(sheet, symbol);
        SetSymbolRefName(symbol, sheet->stringBlock, name);
    }
    SymbolRecord* child = CreateSymbol();
    child->flags = kSymbolSheetSymbol | kSubSheetAnnotationWalk;
    AddSymbolToSheet(sheet, child);
    SetSymbolSheetName(child, sheet->stringBlock, "Child.SHX");
    SetSymbolName(child, sheet->stringBlock, "AMP");
    TextRecord* text = CreateDrawingText(sheet, kTextKindDesignator, 0, Point{20, 40}, "AMP");
    text->owner = TextOwnerSerial(child->serial);
    seeds.push_back(Saved(sheet));
    seeds.push_back("; netlist\n*orvix_plexa\n*Library\n");
    // A sheet stored before UTF-8, its texts in Mac OS Roman ("Rµ", "Café"): opening compacts its
    // string block and recodes them.
    SheetRecord* older = CreateDrawing();
    SymbolRecord* part = CreateSymbol();
    AddSymbolToSheet(older, part);
    SetSymbolRefName(part, older->stringBlock, "R\xB5");
    CreateDrawingText(older, kTextKindFree, 0, Point{20, 40}, "Caf\x8E");
    older->stored.encodingLevel = 1;
    seeds.push_back(Saved(older));
    return seeds;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StartModelFuzzApplication();
    static const std::string path = fuzz::ScratchPath("load.SHX");
    static const std::string copyPath = fuzz::ScratchPath("copy.SHX");
    FileSpec spec;
    if (!fuzz::WriteScratchFile(path, data, size, &spec)) return 0;

    bool textLibrary = false, fileLibrary = true;
    const bool text = IsASCIIDatabaseText(data, size, &textLibrary);
    OSStatus probe = 0;
    const bool file = IsASCIIDatabaseFile(&spec, &fileLibrary, &probe);
    if (probe == 0 && (file != text || fileLibrary != textLibrary)) std::abort();

    SheetRecord* sheet = reinterpret_cast<SheetRecord*>(1);
    SheetWindowState state;
    bool fixed = true;
    if (LoadSchematicSheet(&spec, &sheet, &state, &fixed) != 0) {
        if (sheet) std::abort();
        return 0;
    }
    if (!sheet) std::abort();
    DumpSheet(sheet);
    const FileSpec copy = ScratchSpec(copyPath);
    // A sheet that loaded may still be beyond what the save takes; what the save wrote must load.
    if (WriteSheetFile(sheet, &copy) == 0) {
        SheetRecord* again = nullptr;
        if (LoadSchematicSheet(&copy, &again, nullptr) != 0 || !again) std::abort();
        DestroySheet(again);
    }
    DestroySheet(sheet);
    return 0;
}
