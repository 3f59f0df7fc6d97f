// Test helpers of the hierarchy: the model's start-up, the sheet services that name a symbol's
// child sheet and symbol as the editor does, and sheet files saved as the editor saves them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/root.h"
#include "files/filesymbols.h"
#include "files/sheet_services.h"
#include "files/sheetcontents.h"
#include "files/tests/flat_item_testing.h"
#include "files/tests/sheetfile_testing.h"
#include "model/attributes.h"
#include "model/sheet.h"
#include "model/sheetsymbols.h"
#include "model/symbols.h"
#include "model/tests/model_fixture.h"

namespace plexa::test {

// The model's start-up, as the model tests make it, and what saving sheets needs. The sheet
// defaults are left as they are: a test that wants the built-in ones holds a BuiltInDefaults,
// which gives the defaults back when it goes.
inline void StartModelForSheets() {
    struct ModelStart : ModelTest {
        void TestBody() override {}
        static void Run() { SetUpTestSuite(); }
    };
    ModelStart::Run();
    InstallCoreHooks();
}

// Saved sheets' references name the children and symbols that the symbols name.
inline void InstallSymbolNameServices() {
    SheetServices services = GetSheetServices();
    services.symbolSubSheetName = [](SheetRecord* sheet, SymbolRecord* symbol, char* out, int32_t size) {
        char name[kSymbolTextSize];
        GetSymbolSheetName(symbol, sheet->stringBlock, name);
        std::snprintf(out, size_t(size), "%s", name);
    };
    services.symbolName = [](SheetRecord* sheet, SymbolRecord* symbol, char* out, int32_t size) {
        char name[kSymbolTextSize];
        GetSymbolName(symbol, sheet->stringBlock, name);
        std::snprintf(out, size_t(size), "%s", name);
    };
    SetSheetServices(services);
}

// A sheet file as the editor saves it, with a sheet symbol for each child (serials from 1), what
// `more` places, and a file symbol of the names given.
inline void SaveHierarchySheet(const std::string& path, const std::vector<std::string>& children,
                               const std::function<void(SheetRecord*)>& more = {},
                               const std::vector<std::string>& fileSymbols = {}) {
    SheetRecord* sheet = CreateDrawing();
    ASSERT_TRUE(sheet);
    for (const std::string& child : children) {
        SymbolRecord* symbol = CreateSheetSymbol();
        ASSERT_TRUE(symbol);
        SetSheetSymbolFileName(symbol, sheet->stringBlock, child.c_str());
        AddSymbolToSheet(sheet, symbol);
    }
    if (more) more(sheet);
    if (!fileSymbols.empty()) {
        FileSymbolEntry* entry = CreateFileSymbol(sheet);
        ASSERT_TRUE(entry);
        const std::string bytes = FlatItemBytes(fileSymbols);
        entry->item = AllocHandleWithData(gGenPool, bytes.data(), uint32_t(bytes.size()));
    }
    const FileSpec spec = SheetSpecOf(path);
    EXPECT_EQ(WriteSheetFile(sheet, &spec), 0) << path;
    DestroySheet(sheet);
}

// Places a symbol that names a child sheet's file symbol.
inline void PlaceFileSymbolOn(SheetRecord* sheet, const char* child, const char* name) {
    SymbolRecord* symbol = CreateSymbol();
    ASSERT_TRUE(symbol);
    symbol->flags = kSymbolNamesSubSheet | kSymbolFlagFileSymbol | 0x1000;
    SetSymbolAttribute(symbol, sheet->stringBlock, kAttrSubSheetName, child, nullptr);
    SetSymbolAttribute(symbol, sheet->stringBlock, kAttrNameName, name, nullptr);
    AddSymbolToSheet(sheet, symbol);
}

}  // namespace plexa::test
