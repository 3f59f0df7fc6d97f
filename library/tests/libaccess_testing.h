// Test helpers of the library lists and the item cache: a scratch tree of library folders with the
// standard folders pointed into it (so that the digest file never lands in the user's folders),
// sheets whose file symbols a stand-in for the sheet-file module gives, and a project record put
// together as the project module makes one.
#pragma once

#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/pathspec.h"
#include "files/project.h"
#include "files/sheet_services.h"
#include "files/sheetspec.h"
#include "foundation/dirspec.h"
#include "foundation/dynfile.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "library/itemcache.h"
#include "library/libdigest.h"
#include "library/libpaths.h"
#include "library/tests/library_testing.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/tests/libitem_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {

// The flattened form of an item that inflates: the names (each selecting no package) and `parts`
// symbol definitions, each with a drawing and a section that uses it; the first part also has an
// alternate drawing when asked.
inline std::string ItemBytes(const std::vector<std::string>& names, int parts = 1, bool alternate = false) {
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    for (const std::string& name : names) EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, name.c_str(), 255));
    for (int part = 0; part < parts; ++part) {
        const std::string symbol = "Part" + std::to_string(part);
        EXPECT_EQ(AddLibSymbolDef(item, symbol.c_str(), Drawing(uint8_t(part + 1)),
                                  part == 0 && alternate ? Drawing(9) : nullptr, item->imageList, nullptr),
                  part);
        AddSection(item, std::string(1, char('A' + part)).c_str(), uint8_t(part), {});
    }
    OSStatus st = 0;
    Handle flat = FlattenLibraryItem(item, false, kTestStamp, &st);
    EXPECT_EQ(st, 0);
    std::string bytes = HandleBytes(flat);
    if (flat) MemFree(flat);
    DestroyLibraryItem(item);
    return bytes;
}

// The position the stand-in gives the i-th file symbol of a sheet.
constexpr uint32_t SymbolPosition(size_t i) { return uint32_t(0x100 * (i + 1)); }

// Stands in for the sheet-file module's readers of file symbols: the flattened items of each
// sheet by its path.
class FakeFileSymbols {
public:
    FakeFileSymbols() {
        active_ = this;
        SheetServices services;
        services.enumFileSymbols = [](DynamicFileRecord* file, FileSymbolProc proc, void* data) -> OSStatus {
            const std::vector<std::string>* items = active_->Find(file);
            if (!items || items->empty()) return kNoFileSymbolsErr;
            for (size_t i = 0; i < items->size(); ++i) {
                FlatHandle item((*items)[i]);
                if (const OSStatus st = proc(SymbolPosition(i), item, data)) return st;
            }
            return 0;
        };
        services.readOneFileSymbol = [](DynamicFileRecord* file, uint32_t position, Handle* out) -> OSStatus {
            const std::vector<std::string>* items = active_->Find(file);
            for (size_t i = 0; items && i < items->size(); ++i)
                if (SymbolPosition(i) == position) {
                    *out = AllocHandleWithData(nullptr, (*items)[i].data(), uint32_t((*items)[i].size()));
                    return 0;
                }
            return kNoFileSymbolsErr;
        };
        SetSheetServices(services);
    }
    ~FakeFileSymbols() {
        SetSheetServices(SheetServices{});
        active_ = nullptr;
    }
    FakeFileSymbols(const FakeFileSymbols&) = delete;
    FakeFileSymbols& operator=(const FakeFileSymbols&) = delete;

    std::map<std::string, std::vector<std::string>> symbols;  // by path

private:
    const std::vector<std::string>* Find(DynamicFileRecord* file) {
        std::string path;
        if (CreateURLFromFileSpec(&file->spec, false, &path) != 0) return nullptr;
        auto found = symbols.find(path);
        return found == symbols.end() ? nullptr : &found->second;
    }
    static inline FakeFileSymbols* active_ = nullptr;
};

// A project whose file lies in a folder, with the lists that the library lists use.
class LibTestProject {
public:
    explicit LibTestProject(const std::string& folder) {
        record_.strings = CreateStringBlock(nullptr, 256);
        record_.directories = CreateDirectoryList();
        record_.sheetSpecs = CreateSheetSpecList();
        record_.paths = CreatePathSpecList(&record_, kProjectOwnerKind);
        EXPECT_EQ(DirectoryFromPathName(nullptr, (folder + "/").c_str(), &record_.file.spec.directory), 0);
        SetFileSpecName(&record_.file.spec, "Test.PRX");
        record_.next = gProjectList;
        gProjectList = &record_;
    }
    ~LibTestProject() {
        for (ProjectRecord** p = &gProjectList; *p; p = &(*p)->next)
            if (*p == &record_) {
                *p = record_.next;
                break;
            }
        DisposeProjectLibraryFiles(&record_);
        DestroyPathSpecList(record_.paths);
        LLDispose(record_.sheetSpecs, true);
        DestroyDirectoryList(record_.directories);
        DestroyStringBlock(record_.strings);
    }
    LibTestProject(const LibTestProject&) = delete;
    LibTestProject& operator=(const LibTestProject&) = delete;
    ProjectRecord* get() { return &record_; }
    ProjectRecord* operator->() { return &record_; }

private:
    ProjectRecord record_{};
};

// The standard folders in a scratch tree, the library access state made for each test and freed
// after it, and the stand-in for the sheet readers.
class LibraryAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitImageLists();
        // Only the test's own folders are listed, whatever hooks an earlier test of the program
        // installed (the composition root's essentials folder brings the default library).
        SetLibraryAccessHooks(LibraryAccessHooks{});
        InitLibraryAccess();
    }
    void TearDown() override {
        DisposeLibraryAccess();
        SetLibraryAccessHooks(LibraryAccessHooks{});
        SetItemCacheHooks(ItemCacheHooks{});
        SetPathSearchHooks(PathSearchHooks{});
    }

    std::string Path(const std::string& relative) const { return dir_.file(relative); }
    void Folder(const std::string& relative) const {
        for (size_t slash = 0; slash != std::string::npos;) {
            slash = relative.find('/', slash + 1);
            ::mkdir(Path(relative.substr(0, slash)).c_str(), 0777);
        }
    }
    void Parent(const std::string& relative) const {
        const size_t slash = relative.rfind('/');
        if (slash != std::string::npos) Folder(relative.substr(0, slash));
    }
    // A library file whose items have these names (each item its list of names).
    void Library(const std::string& relative, const std::vector<std::vector<std::string>>& items = {}) {
        Parent(relative);
        MakeLibrary(Path(relative));
        if (items.empty()) return;
        OpenLibrary lib(Path(relative), kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        for (const auto& names : items) lib.Write(ItemBytes(names));
        ASSERT_EQ(lib.Close(), 0);
    }
    // A sheet file whose file symbols (one name each) the stand-in gives.
    void Sheet(const std::string& relative, const std::vector<std::string>& symbols) {
        Parent(relative);
        FileSpec spec = SpecOf(Path(relative));
        ASSERT_EQ(CreateDynamicFile(&spec, "QPLX", "SCH4", "SCH4", 256), 0);
        auto& items = sheets_.symbols[Path(relative)];
        for (const std::string& name : symbols) items.push_back(ItemBytes({name}));
    }
    void AddPath(const std::string& relative, uint8_t flags, PathSpecList* list = nullptr) {
        DirectoryRef folder;
        ASSERT_EQ(DirectoryFromPathName(nullptr, (Path(relative) + "/").c_str(), &folder), 0) << relative;
        ASSERT_NE(AddPathSpecToList(list ? list : GetLibFilesPathList(), &folder, kPathRootAbsolute, flags, false),
                  nullptr);
    }
    // The folder relative to the scratch tree.
    std::string Relative(const DirectoryRef& folder) const {
        std::string path;
        EXPECT_EQ(CreateDirectoryURLFromDirectory(&folder, &path), 0);
        return path.compare(0, dir_.path().size() + 1, dir_.path() + "/") == 0 ? path.substr(dir_.path().size() + 1)
                                                                              : path;
    }
    // "name in folder", with " sheet" for a sheet library.
    std::vector<std::string> Files(int32_t which = kLibFilesAll) const {
        std::vector<std::string> files;
        for (int32_t i = 0; i < CountLibraryFiles(which); ++i) {
            char name[kFileSpecNameCapacity];
            DirectoryRef folder;
            bool isSheet = false;
            EXPECT_TRUE(GetIndexedLibFileInfo(which, i, name, nullptr, &folder, &isSheet));
            files.push_back(std::string(name) + " in " + Relative(folder) + (isSheet ? " sheet" : ""));
        }
        return files;
    }
    std::vector<std::string> Folders() const {
        std::vector<std::string> folders;
        for (int32_t i = 0; i < CountLibDirs(); ++i) {
            char name[kStringSpecBufferSize];
            EXPECT_TRUE(GetIndexedLibDirName(i, name));
            DirectoryRef folder;
            GetDirectoryListDirectory(GetPathListDirList(GetLibFilesPathList()), GetIndexedLibDirId(i), &folder);
            folders.push_back(std::string(name) + " = " + Relative(folder));
        }
        return folders;
    }
    static uint32_t Counter() { return gItemCache.selection.changeCount; }
    static std::string CachedItem() {
        char name[kLibItemTextSize];
        GetCachedLibraryItemName(name);
        return name;
    }
    static std::string CachedFile() {
        char name[kCachedFileNameSize];
        GetCachedLibraryFileName(name);
        return name;
    }
    int32_t FileIndex(const std::string& relative) const {
        FileSpec spec = SpecOf(Path(relative));
        return GetLibFileIndex(kLibFilesAll, &spec);
    }

    TempDir dir_;
    EnvScope home_{"HOME", dir_.file("home")};
    EnvScope data_{"XDG_DATA_HOME", dir_.file("data")};
    FakeFileSymbols sheets_;
};

}  // namespace plexa::test
