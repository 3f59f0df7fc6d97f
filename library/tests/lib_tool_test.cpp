#include "library/lib_tool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "library/libfile.h"
#include "model/libitem.h"
#include "library/tests/library_testing.h"

namespace plexa {
namespace {

using test::FlatItemBytes;
using test::OpenLibrary;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// A real item (it inflates) with the names, told apart by its reference prefix.
std::string ItemBytes(const std::vector<std::string>& names) {
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    EXPECT_NE(item, nullptr);
    for (const std::string& name : names) EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, name.c_str(), 0));
    SetLibraryItemRefPrefix(item, names[0].c_str());
    OSStatus st = 0;
    Handle flat = FlattenLibraryItem(item, true, 1, &st);
    DestroyLibraryItem(item);
    EXPECT_EQ(st, 0);
    std::string bytes(*flat, SizeOfHandle(flat));
    MemFree(flat);
    return bytes;
}

class LibTool : public ::testing::Test {
protected:
    TempDir dir_;
    std::string out_, err_;
    int Run(std::initializer_list<std::string> args) {
        std::vector<std::string> words = {"lib-tool"};
        words.insert(words.end(), args);
        std::vector<const char*> argv;
        for (const std::string& w : words) argv.push_back(w.c_str());
        out_.clear();
        err_.clear();
        return RunLibTool(int(argv.size()), argv.data(), &out_, &err_);
    }
    std::string Library(const std::string& name, const std::vector<std::vector<std::string>>& items) {
        const std::string path = dir_.file(name);
        EXPECT_EQ(Run({"create", path}), 0) << err_;
        OpenLibrary lib(path, kLibraryOpenLoadMap);
        for (const auto& names : items) lib.Write(ItemBytes(names));
        return path;
    }
};

TEST_F(LibTool, ListShowsTheMapOrder) {
    const std::string lib =
        Library("a.LBX", {{"ABC10"}, {"74LS00"}, {"ABC"}, {"7400", "SN7400"}, {"ABC9"}});
    ASSERT_EQ(Run({"list", lib}), 0) << err_;
    EXPECT_EQ(out_, "7400\n74LS00\nABC\nABC9\nABC10\nSN7400 (alias of 7400)\n");
    EXPECT_EQ(err_, "");
}

TEST_F(LibTool, AddFromAnotherLibrary) {
    const std::string source = Library("source.LBX", {{"R1"}, {"C1", "CAP"}, {"U1"}});
    const std::string target = Library("target.LBX", {{"U1", "OLD"}, {"Q1"}});
    ASSERT_EQ(Run({"add", target, source, "CAP", "U1"}), 0) << err_;
    EXPECT_EQ(out_, "added C1\nreplaced U1\n");
    ASSERT_EQ(Run({"list", target}), 0);
    EXPECT_EQ(out_, "C1\nCAP (alias of C1)\nQ1\nU1\n");
    // The copied bytes are the source's.
    const std::string extracted = dir_.file("u1.bin");
    ASSERT_EQ(Run({"extract", target, "U1", extracted}), 0) << err_;
    std::string bytes;
    ASSERT_TRUE(ReadFile(extracted, bytes));
    EXPECT_EQ(bytes, ItemBytes({"U1"}));
    // Everything at once; an unknown name changes nothing.
    ASSERT_EQ(Run({"add", target, source}), 0) << err_;
    EXPECT_EQ(out_, "replaced C1\nadded R1\nreplaced U1\n");
    std::string before;
    ASSERT_TRUE(ReadFile(target, before));
    EXPECT_EQ(Run({"add", target, source, "R1", "NOPE"}), 1);
    EXPECT_NE(err_.find("no item named NOPE"), std::string::npos);
    std::string after;
    ASSERT_TRUE(ReadFile(target, after));
    EXPECT_EQ(after, before);
    EXPECT_EQ(Run({"add", target, target}), 1);
    EXPECT_EQ(Run({"check", target}), 0) << out_;
}

TEST_F(LibTool, ExtractAndDelete) {
    const std::string lib = Library("lib.LBX", {{"R1"}, {"C1", "CAP"}, {"U1"}});
    EXPECT_EQ(Run({"extract", lib, "NOPE", dir_.file("x")}), 1);
    ASSERT_EQ(Run({"extract", lib, "CAP", dir_.file("cap.bin")}), 0) << err_;
    std::string bytes;
    ASSERT_TRUE(ReadFile(dir_.file("cap.bin"), bytes));
    EXPECT_EQ(bytes, ItemBytes({"C1", "CAP"}));
    EXPECT_EQ(Run({"delete", lib, "R1", "NOPE"}), 1);
    ASSERT_EQ(Run({"list", lib}), 0);
    EXPECT_EQ(out_, "C1\nCAP (alias of C1)\nR1\nU1\n");
    ASSERT_EQ(Run({"delete", lib, "CAP", "U1"}), 0) << err_;
    EXPECT_EQ(out_, "deleted CAP\ndeleted U1\n");
    ASSERT_EQ(Run({"list", lib}), 0);
    EXPECT_EQ(out_, "R1\n");
}

TEST_F(LibTool, CheckTellsSoundFromDamaged) {
    const std::string lib = Library("lib.LBX", {{"R1"}, {"C1", "CAP"}});
    ASSERT_EQ(Run({"check", lib}), 0) << out_;
    EXPECT_EQ(out_, "2 items, 3 names: sound\n");
    std::string good;
    ASSERT_TRUE(ReadFile(lib, good));

    // Left with its crash mark set.
    std::string bytes = good;
    bytes[64] = 1;
    ASSERT_TRUE(WriteFile(dir_.file("marked.LBX"), bytes));
    EXPECT_EQ(Run({"check", dir_.file("marked.LBX")}), 1);
    EXPECT_NE(out_.find("marked invalid"), std::string::npos) << out_;

    // Cut short.
    ASSERT_TRUE(WriteFile(dir_.file("cut.LBX"), good.substr(0, good.size() - 7)));
    EXPECT_EQ(Run({"check", dir_.file("cut.LBX")}), 1) << out_;

    // A name in the map that its item does not have.
    uint32_t map = 0;
    std::memcpy(&map, good.data() + 68, 4);
    bytes = good;
    const size_t at = bytes.find("CAP", map);
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'K';
    ASSERT_TRUE(WriteFile(dir_.file("renamed.LBX"), bytes));
    EXPECT_EQ(Run({"check", dir_.file("renamed.LBX")}), 1);
    EXPECT_NE(out_.find("does not agree"), std::string::npos) << out_;

    EXPECT_EQ(Run({"list", dir_.file("renamed.LBX")}), 0);  // the map itself reads well
    bytes = good;
    bytes[map + 512] ^= 0x55;  // the names block's magic
    ASSERT_TRUE(WriteFile(dir_.file("broken.LBX"), bytes));
    EXPECT_EQ(Run({"list", dir_.file("broken.LBX")}), 1);
    EXPECT_EQ(Run({"check", dir_.file("broken.LBX")}), 1);

    // Items whose names read but which do not inflate are no sound items.
    const std::string fake = dir_.file("fake.LBX");
    ASSERT_EQ(Run({"create", fake}), 0) << err_;
    {
        OpenLibrary unreadable(fake, kLibraryOpenLoadMap);
        unreadable.Write(FlatItemBytes({"R1"}, kLibItemComponent, "R1 body"));
        unreadable.Write(FlatItemBytes({"C1"}));
    }
    EXPECT_EQ(Run({"list", fake}), 0);  // the names alone list
    EXPECT_EQ(Run({"check", fake}), 1) << out_;
    EXPECT_NE(out_.find("holds an item that cannot be read"), std::string::npos) << out_;
    EXPECT_NE(out_.find("damaged"), std::string::npos) << out_;

    // Not a library at all.
    ASSERT_TRUE(WriteFile(dir_.file("text.LBX"), "text"));
    EXPECT_EQ(Run({"check", dir_.file("text.LBX")}), 2);
    EXPECT_EQ(Run({"list", dir_.file("text.LBX")}), 2);
}

TEST_F(LibTool, Usage) {
    EXPECT_EQ(Run({}), 2);
    EXPECT_NE(err_.find("usage:"), std::string::npos);
    EXPECT_EQ(Run({"list"}), 2);
    EXPECT_EQ(Run({"extract", "a", "b"}), 2);
    EXPECT_EQ(Run({"frobnicate", "a"}), 2);
}

}  // namespace
}  // namespace plexa
