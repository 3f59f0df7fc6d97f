// UI template files: the text form compiled and read back, the stored bytes of a small view, the
// reading rules (old metrics, type tails, swapped bodies, named items, two files), controls made
// from a template, and damaged files.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "tests/support/testing.h"
#include "platform/control_platform.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_templates_text.h"

namespace plexa::test {
namespace {

class Templates : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        if (!gGenPool) {
            EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        }
    }
    void TearDown() override {
        for (VXUIFileRecord* record : opened_) CloseUIFile(record);
        CloseUIFiles();
        WindowsTest::TearDown();
        PlatformControlFlushDestroyed();
    }
    // Compiles text into a file of the scratch folder and opens it.
    VXUIFileRecord* Compile(const std::string& text, const std::string& name = "t.gui") {
        std::vector<UITextView> views;
        std::string error;
        EXPECT_TRUE(ParseUITemplateText(text, &views, &error)) << error;
        EXPECT_EQ(WriteUITemplateFile(dir_.file(name), views), 0);
        return Open(name);
    }
    // A file whose view blocks are the given bytes.
    VXUIFileRecord* Raw(const std::vector<std::string>& blocks, const std::string& name = "r.gui") {
        FileSpec spec = Spec(name);
        EXPECT_EQ(CreateDynamicFile(&spec, "QPLX", "VXUI", "VXUI", 0), 0);
        DynamicFileRecord file{};
        EXPECT_EQ(OpenDynamicFile(&spec, false, &file), 0);
        for (const std::string& block : blocks) {
            uint32_t offset = 0;
            EXPECT_EQ(WriteFileBlock(&file, 1, uint32_t(block.size()), block.data(), &offset), 0);
        }
        EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, true));
        return Open(name);
    }
    VXUIFileRecord* Open(const std::string& name) {
        FileSpec spec = Spec(name);
        VXUIFileRecord* record = OpenUIFile(&spec, 0, 1);
        if (record) opened_.push_back(record);
        return record;
    }
    FileSpec Spec(const std::string& name) {
        FileSpec spec;
        EXPECT_EQ(FileSpecFromURL(dir_.file(name), &spec, false, nullptr), 0);
        return spec;
    }
    static std::string Str(const VXViewTemplate& view, StringSpec spec) {
        char buffer[256];
        VXGetTemplateString(&view, spec, buffer, sizeof buffer);
        return buffer;
    }
    static std::vector<VXControlItemTemplate> Items(const VXViewTemplate& view) {
        std::vector<VXControlItemTemplate> items;
        VXControlItemTemplate item;
        for (int32_t i = 0; VXGetTemplateItem(&view, i, &item); ++i) items.push_back(item);
        return items;
    }

    TempDir dir_;
    std::vector<VXUIFileRecord*> opened_;
};

const char* const kSample = R"(
# a sample of every kind of line
view 200 "Sample"
  title "Sample \"Dialog\""
  word 7
  flags 0x4001
  item box options 0x0200 rect 10 20 210 320 value 0x55 reserved 3 0x99
  item button number 1 rect 170 220 190 300 title "OK" name "okButton"
  item checkbox number 4 rect 40 40 60 200 title "Check me" value 0x10000
  item edit number 5 rect 70 40 90 200 title "initial"
  item text number 6 rect 100 40 120 200 title "Static"
  item list number 7 rect 130 40 160 200 name "theList"
  item popup number 8 rect 130 220 150 300
  item colorwell number 9 rect 40 220 60 300
  item slider number 10 rect 100 220 120 300 value 0x30002
  trailer "tail text"
end
)";

TEST_F(Templates, TextCompiledAndReadBackIsEqualInBothByteOrders) {
    std::vector<UITextView> views;
    std::string error;
    ASSERT_TRUE(ParseUITemplateText(kSample, &views, &error)) << error;
    std::string swapped = kSample;
    swapped.replace(swapped.find("view 200"), 8, "view 201");
    swapped.insert(swapped.find("  word 7"), "  order swapped\n");
    VXUIFileRecord* record = Compile(std::string(kSample) + swapped);
    ASSERT_TRUE(record);
    const UITextView& text = views[0];
    for (uint16_t id : {200, 201}) {
        SCOPED_TRACE(id);
        VXViewTemplate view;
        ASSERT_EQ(LoadUIViewTemplate(record, id, &view), 0);
        EXPECT_EQ(Str(view, view.viewName), "Sample");
        EXPECT_EQ(Str(view, view.title), "Sample \"Dialog\"");
        EXPECT_EQ(Str(view, view.trailingText), "tail text");
        EXPECT_EQ(view.viewWord, 7);
        EXPECT_EQ(view.templateFlags, kVXTemplateSmallSize);
        EXPECT_EQ(view.originTop, 10);
        EXPECT_EQ(view.originLeft, 20);
        EXPECT_EQ(view.containerRect.bottom, 210);
        EXPECT_EQ(view.containerRect.right, 320);
        const auto items = Items(view);
        ASSERT_EQ(items.size(), text.items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            const UITextItem& want = text.items[i];
            const VXControlItemTemplate& got = items[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(got.itemType, want.type);
            EXPECT_EQ(got.options, want.options);
            EXPECT_EQ(got.rect.top, want.top);
            EXPECT_EQ(got.rect.left, want.left);
            EXPECT_EQ(got.rect.bottom, want.bottom);
            EXPECT_EQ(got.rect.right, want.right);
            EXPECT_EQ(got.itemNumber, want.number);
            EXPECT_EQ(got.reserved, want.reserved);
            EXPECT_EQ(got.value, want.value);
            EXPECT_EQ(got.reserved2, want.reserved2);
            EXPECT_EQ(Str(view, got.name), want.name);
            EXPECT_EQ(Str(view, got.title), want.title);
        }
        FreeUIViewTemplate(&view);
    }
}

TEST_F(Templates, StoredBytesOfASmallView) {
    UITextView view;
    ASSERT_TRUE([&] {
        std::vector<UITextView> views;
        std::string error;
        bool ok = ParseUITemplateText(
            "view 7 \"V\"\n title \"T\"\n item button number 1 rect 1 2 3 4 title \"OK\"\nend\n",
            &views, &error);
        if (ok) view = views[0];
        return ok;
    }());
    const std::string expected =
        "0007" "0007" "000156"                      // body offset, id, name
        "3412" "000154" "0000" "0040" "0100"        // mark, title, word, flags, count
        "0100" "0000" "0100" "0200" "0300" "0400"   // type, options, rectangle
        "0100" "0000" "00000000" "00000000"         // number, reserved, value, reserved
        "0000" "0000" "00024f4b";                   // name, no skipped block, title
    std::string hex;
    for (unsigned char c : EncodeUIViewBlock(view)) {
        static const char* digits = "0123456789abcdef";
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    EXPECT_EQ(hex, expected);
}

TEST_F(Templates, ReadingRulesOfItems) {
    struct Case {
        const char* flags;
        const char* item;
        uint16_t type;
        Rect rect;
        uint32_t value;
        const char* title;
    };
    const Case cases[] = {
        {"0", "button rect 10 10 30 90 title \"B\"", 1, {4, 4, 36, 96}, 0, "B"},
        {"0", "checkbox rect 10 10 30 90", 2, {6, 6, 34, 94}, 0, ""},
        {"0", "text rect 10 10 30 90", 6, {8, 10, 32, 90}, 0, ""},
        {"0", "popup rect 10 10 30 90", 8, {7, 7, 33, 93}, 0, ""},
        {"0", "box rect 10 10 30 90", 9, {10, 10, 30, 90}, 0, ""},
        {"0", "scale rect 10 10 30 90", 18, {10, 10, 30, 90}, 0, ""},
        {"0x4000", "scale rect 10 10 30 90", 18, {10, 10, 30, 90}, 0, ""},
        {"0x4000", "button rect 10 10 30 90", 1, {10, 10, 30, 90}, 0, ""},
        {"0x4000", "tabs size 1 tabs \"One\" \"Two\" \"Three\"", 11, {}, 0x40000, "One|Two|Three"},
        {"0x4000", "tabs", 11, {}, 0, ""},
        {"0x4000", "image icon 5 options 0x0400", 10, {}, 8006, ""},
        {"0x4000", "image icon 0xFFFE value 0x100", 10, {}, 0xFFFFFFFE, ""},
        {"0x4000", "iconbutton size 0 icon 20 options 0x2000", 12, {}, 0x140014, ""},
        {"0x4000", "iconbutton size 1 icon 20", 12, {}, 20, ""},
        {"0x4000", "text options 0x0100 title \"R\"", 6, {}, 0x100000, "R"},
        {"0x4000", "list options 0x2000", 7, {}, 0x100000, ""},
        {"0xFFFF", "button rect 10 10 30 90", 1, {4, 4, 36, 96}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        std::string text =
            std::string("view 1 \"x\"\n flags ") + c.flags + "\n item " + c.item + "\nend\n";
        VXUIFileRecord* record = Compile(text);
        ASSERT_TRUE(record);
        VXViewTemplate view;
        ASSERT_EQ(LoadUIViewTemplate(record, 1, &view), 0);
        const auto items = Items(view);
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].itemType, c.type);
        EXPECT_EQ(items[0].value, c.value);
        EXPECT_EQ(Str(view, items[0].title), c.title);
        EXPECT_EQ(items[0].rect.top, c.rect.top);
        EXPECT_EQ(items[0].rect.left, c.rect.left);
        EXPECT_EQ(items[0].rect.bottom, c.rect.bottom);
        EXPECT_EQ(items[0].rect.right, c.rect.right);
        EXPECT_EQ(view.originTop, 0);
        EXPECT_EQ(view.containerRect.right, 0);
        FreeUIViewTemplate(&view);
        CloseUIFile(record);
        opened_.pop_back();
    }
}

TEST_F(Templates, NamedItemsLaterBlocksAndTheTwoFiles) {
    // The compiler takes each id once: a later block of an id comes from another writer.
    std::vector<UITextView> views;
    std::string error;
    ASSERT_TRUE(ParseUITemplateText(R"(
view 1 "first"
  item button number 12 name "Apply"
  item button number 13 name "Apply"
end
view 2 "second"
  item button number 3 name "#Apply"
  item button number 4 name "#apply"
  item button number 5 name "#Missing"
end
)", &views, &error)) << error;
    std::vector<UITextView> later;
    ASSERT_TRUE(ParseUITemplateText("view 1 \"later\"\nend\n", &later, &error)) << error;
    VXUIFileRecord* record = Raw({EncodeUIViewBlock(views[0]), EncodeUIViewBlock(views[1]),
                                  EncodeUIViewBlock(later[0])});
    ASSERT_TRUE(record);
    VXViewTemplate view;
    ASSERT_EQ(LoadUIViewTemplate(record, 2, &view), 0);
    const auto items = Items(view);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].itemNumber, 12);  // the first number of the name
    EXPECT_EQ(Str(view, items[0].name), "#Apply");
    EXPECT_EQ(items[1].itemNumber, 4);   // names match with case
    EXPECT_EQ(items[2].itemNumber, 5);
    FreeUIViewTemplate(&view);
    ASSERT_EQ(LoadUIViewTemplate(record, 1, &view), 0);
    EXPECT_EQ(Str(view, view.viewName), "later");
    FreeUIViewTemplate(&view);
    EXPECT_EQ(LoadUIViewTemplate(record, 3, &view), kUIViewNotFound);
    EXPECT_EQ(view.items, nullptr);

    // The application's file first; the toolkit's file for what it lacks.
    opened_.clear();
    gSystemUIFile = record;
    gMainUIFile = Compile("view 2 \"main\"\nend\n", "main.gui");
    opened_.clear();
    VXViewTemplate* loaded = VXLoadDialogTemplate(2);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(Str(*loaded, loaded->viewName), "main");
    VXDestroyDialogTemplate(loaded);
    loaded = VXLoadDialogTemplate(1);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(Str(*loaded, loaded->viewName), "later");
    VXDestroyDialogTemplate(loaded);
    EXPECT_EQ(VXLoadDialogTemplate(99), nullptr);
}

TEST_F(Templates, ControlsAreMadeAtTheViewsOffsetWithTheFirstEditTextAsFocus) {
    VXInitControls();
    VXUIFileRecord* record = Compile(std::string(kSample) + R"(
view 300 "plain"
  item button number 1 rect 60 10 80 90 title "Go"
  item edit number 2 rect 10 10 30 90
end
view 301 "empty"
end
)");
    ASSERT_TRUE(record);
    Rect content = {100, 100, 400, 500};
    VXWindowRecordTag* window =
        VXCreateWindow(kVXWindowDialog, 3, 0, 1, 0, 0, &content, "t", 0, nullptr, nullptr);
    ASSERT_TRUE(window);
    VXViewTemplate view;
    ASSERT_EQ(LoadUIViewTemplate(record, 200, &view), 0);
    EXPECT_EQ(CreateControlsFromUITemplate(window, &view, 5, 7), 5);
    FreeUIViewTemplate(&view);
    EXPECT_EQ(VXGetControlType(window, 0), 0);  // the container is not a control
    EXPECT_EQ(VXGetControlType(window, 1), kVXPushButton);
    EXPECT_EQ(VXGetControlType(window, 10), kVXSlider);
    Rect rect;
    VXGetItemPosition(window, 1, &rect);
    EXPECT_EQ(rect.top, 170 - 10 + 7);
    EXPECT_EQ(rect.left, 220 - 20 + 5);
    EXPECT_EQ(rect.right, 300 - 20 + 5);
    char text[256];
    VXGetItemText(window, 5, text);
    EXPECT_STREQ(text, "initial");
    VXKillControls(window);

    ASSERT_EQ(LoadUIViewTemplate(record, 300, &view), 0);
    EXPECT_EQ(CreateControlsFromUITemplate(window, &view, 3, 4), 2);
    FreeUIViewTemplate(&view);
    VXGetItemPosition(window, 1, &rect);
    EXPECT_EQ(rect.top, 64);  // no container: offset by (h, v) exactly
    EXPECT_EQ(rect.left, 13);
    VXKillControls(window);

    ASSERT_EQ(LoadUIViewTemplate(record, 301, &view), 0);
    EXPECT_EQ(CreateControlsFromUITemplate(window, &view, 0, 0), 0);
    FreeUIViewTemplate(&view);
    EXPECT_EQ(VXCountControls(window), 0);
    gMainUIFile = record;
    opened_.clear();
    EXPECT_EQ(VXLoadControls(window, 4242, 0, 0, 0), 0);
    EXPECT_EQ(VXLoadControls(window, 300, 0, 0, kVXLoadSizeToContainer), 2);
    int16_t height = 0, width = 0;
    VXGetClientSize(window, &height, &width);
    EXPECT_EQ(height, 300);  // no container: the window keeps its size
    EXPECT_EQ(width, 400);
    VXKillControls(window);
    EXPECT_EQ(VXLoadControls(window, 200, 0, 0, kVXLoadSizeToContainer), 5);
    VXGetClientSize(window, &height, &width);
    EXPECT_EQ(height, 200);
    EXPECT_EQ(width, 300);
    VXDestroyWindow(window);
}

TEST_F(Templates, TextErrorsNameTheLine) {
    const char* bad[] = {
        "view 1 \"a\"\n item nosuchtype\nend\n",
        "view 1 \"a\"\n item button rect 1 2 3\nend\n",
        "view 70000 \"a\"\nend\n",
        "view 1 \"a\"\n title \"open\nend\n",
        "item button\n",
        "view 1 \"a\"\n",
    };
    for (const char* text : bad) {
        std::vector<UITextView> views;
        std::string error;
        EXPECT_FALSE(ParseUITemplateText(text, &views, &error)) << text;
        EXPECT_FALSE(error.empty());
    }
}

// A view id given twice would leave a reader with two views of one id: refused at the second.
TEST_F(Templates, AViewIdTwiceIsRefusedAtItsLine) {
    std::vector<UITextView> views;
    std::string error;
    EXPECT_FALSE(ParseUITemplateText("view 7 \"a\"\nend\nview 8 \"b\"\nend\n\nview 7 \"c\"\nend\n",
                                     &views, &error));
    EXPECT_EQ(error, "line 6: view 7 again (first on line 1)");
}

TEST_F(Templates, DamagedViewsGiveAStatusAndKeepNothing) {
    std::vector<UITextView> views;
    std::string error;
    ASSERT_TRUE(ParseUITemplateText(kSample, &views, &error));
    const std::string block = EncodeUIViewBlock(views[0]);
    // Every cut of the block: the view fails with the end-of-data status, or (when only the
    // optional trailer is cut) loads.
    for (size_t cut = 4; cut < block.size(); ++cut) {
        VXUIFileRecord* record = Raw({block.substr(0, cut)}, "cut" + std::to_string(cut) + ".gui");
        ASSERT_TRUE(record);
        VXViewTemplate view;
        const OSStatus status = LoadUIViewTemplate(record, 200, &view);
        if (status == 0) {
            EXPECT_GE(cut, block.size() - 13) << cut;
            FreeUIViewTemplate(&view);
        } else {
            EXPECT_EQ(status, kUIEndOfData) << cut;
            EXPECT_EQ(view.items, nullptr);
            EXPECT_EQ(view.strings, nullptr);
        }
    }
    // An item of type 0.
    std::string zero = block;
    const size_t firstItem = 12 + 2 + 17 + 6;  // descriptor, mark, title, word, flags, count
    ASSERT_EQ(zero[firstItem], 9);
    zero[firstItem] = 0;
    VXUIFileRecord* record = Raw({zero}, "zero.gui");
    ASSERT_TRUE(record);
    VXViewTemplate view;
    EXPECT_EQ(LoadUIViewTemplate(record, 200, &view), kUIBadItem);
    EXPECT_EQ(view.strings, nullptr);
    // A block too short for a view id is not listed.
    record = Raw({std::string("\0\x05", 2)}, "short.gui");
    ASSERT_TRUE(record);
    EXPECT_EQ(LoadUIViewTemplate(record, 5, &view), kUIViewNotFound);
}

TEST_F(Templates, RandomlyDamagedFilesNeverCrash) {
    std::vector<UITextView> views;
    std::string error;
    ASSERT_TRUE(ParseUITemplateText(std::string(kSample) +
                                        "view 5 \"t\"\n flags 0\n item tabs tabs \"a\" \"b\"\n"
                                        " item iconbutton icon 3 name \"#okButton\"\nend\n",
                                    &views, &error));
    ASSERT_EQ(WriteUITemplateFile(dir_.file("good.gui"), views), 0);
    std::string good;
    ASSERT_TRUE(ReadFile(dir_.file("good.gui"), good));
    std::mt19937 random(TestSeed());
    const uint64_t rounds = StressCount(300);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = good;
        const int edits = 1 + int(random() % 6);
        for (int e = 0; e < edits; ++e) {
            const size_t at = 64 + random() % (bytes.size() - 64);  // the blocks, not the head
            bytes[at] = char(random() % 3 == 0 ? 0xFF : random());
        }
        if (random() % 4 == 0) bytes.resize(64 + random() % (bytes.size() - 64));
        ASSERT_TRUE(WriteFile(dir_.file("bad.gui"), bytes));
        FileSpec spec = Spec("bad.gui");
        VXUIFileRecord* record = OpenUIFile(&spec, 0, 1);
        if (!record) continue;
        for (uint16_t id : {5, 200, 0}) {
            VXViewTemplate view;
            if (LoadUIViewTemplate(record, id, &view) == 0) {
                Items(view);
                FreeUIViewTemplate(&view);
            } else {
                EXPECT_EQ(view.items, nullptr);
            }
        }
        CloseUIFile(record);
    }
}

TEST_F(Templates, TheBuiltFilesHoldTheToolkitsDialogs) {
    ASSERT_EQ(SelectUIFile("views.gui"), 0);
    ASSERT_TRUE(gSystemUIFile);
    struct Want {
        uint16_t id;
        std::vector<std::pair<int16_t, uint16_t>> items;  // number, type
    };
    const Want wants[] = {
        {8000, {{1, kVXStaticText}}},
        {8002, {{1, kVXPushButton}, {2, kVXPushButton}, {3, kVXStaticText}}},
        {8003, {{1, kVXUserDrawn}, {2, kVXStaticText}, {3, kVXPushButton}, {4, kVXPushButton}}},
        {8004, {{1, kVXPushButton}, {2, kVXPushButton}, {3, kVXUserDrawn}}},
    };
    for (const Want& want : wants) {
        VXViewTemplate* view = VXLoadDialogTemplate(want.id);
        ASSERT_TRUE(view) << want.id;
        const auto items = Items(*view);
        for (auto [number, type] : want.items) {
            bool found = false;
            for (const auto& item : items)
                found |= item.itemNumber == number && item.itemType == type &&
                         !(item.options & kUIItemContainer);
            EXPECT_TRUE(found) << want.id << " item " << number;
        }
        EXPECT_NE(view->containerRect.bottom, 0);
        VXDestroyDialogTemplate(view);
    }
    EXPECT_EQ(SelectUIFile(""), kUIViewNotFound);
    EXPECT_EQ(gMainUIFile, nullptr);
    EXPECT_EQ(SelectUIFile("no-such-file.gui"), kUIViewNotFound);
}

}  // namespace
}  // namespace plexa::test
