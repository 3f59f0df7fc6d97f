// The Text menu's size, face and alignment items played on the running editor: the texts saved
// selected take them, the sheet is saved, and the file read back has them with nothing else
// changed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "foundation/ll.h"
#include "graphics/textstyle.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "model/texts.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class TextStyleRun : public SheetContentsTest {};

TEST_F(TextStyleRun, SizeFaceAndAlignmentFromTheTextMenuAreSaved) {
    TextRecord* bold = DrawingText(kTextKindFree, 0, P(100, 60), "bold already", 12, kTextFlagSelected);
    TextRecord* plain = DrawingText(kTextKindFree, 0, P(100, 100), "plain", 11, kTextFlagSelected);  // a style of its own
    bold->style->face = kFaceBold;
    (void)plain;
    const std::string file = WriteSheetAtScale("Styled.SHX", 100);
    const FileSpec spec = SheetSpecAt(file);
    const std::string before = DumpSheet(drawing, kDumpAll & ~kDumpSheet);

    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Styled\n"
        "wait-drawn Styled\n"

        "menu Text > Size > 24 point\n"
        "menu Text > Style > Bold\n"
        "menu Text > Right Aligned\n"
        "screenshot " + OutputPath("textstyle-after.png") + " Styled\n"
        "key Ctrl+S\n"
        "close Styled\n",
        {file});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;

    SheetRecord* read = nullptr;
    ASSERT_EQ(LoadSheetFile(&spec, &read), 0);
    std::vector<uint16_t> sizes;
    for (void* item = LLFirst(read->textList); item; item = LLGetNext(read->textList, item))
        sizes.push_back(static_cast<TextRecord*>(item)->style->size);
    EXPECT_EQ(sizes, (std::vector<uint16_t>{24, 24}));
    // Bold toggles on each text: the bold one becomes plain, the plain one bold; both are
    // right-aligned (flag 0x0004); nothing else changed.
    std::string expected = before;
    const auto replace = [&expected](const std::string& from, const std::string& to) {
        const size_t at = expected.find(from);
        ASSERT_NE(at, std::string::npos) << from << "\n" << expected;
        expected.replace(at, from.size(), to);
    };
    replace("flags 0x0100 at (100,100) \"plain\"", "flags 0x0104 at (100,100) \"plain\" face 1");
    replace("flags 0x0100 at (100,60) \"bold already\" face 1", "flags 0x0104 at (100,60) \"bold already\"");
    const std::string after = DumpSheet(read, kDumpAll & ~kDumpSheet);
    DestroySheet(read);
    EXPECT_EQ(after, expected) << "before:\n" << before;
}

// With every font left out of the Font menu in the preferences, its last item asks the system's
// font panel, and the font chosen there goes to the selected text and into the file.
TEST_F(TextStyleRun, AFontChosenFromTheFontPanelIsSaved) {
    DrawingText(kTextKindFree, 0, P(100, 60), "from the panel", 12, kTextFlagSelected);
    const std::string file = WriteSheetAtScale("Panel.SHX", 100);
    const FileSpec spec = SheetSpecAt(file);
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Panel\n"
        "wait-drawn Panel\n"
        "menu Plexa > Preferences\xE2\x80\xA6\n"
        "wait-window Preferences\n"
        "wait-drawn Preferences\n"
        "click 312 17\n"  // the Fonts tab
        "button Uncheck All\n"
        "button OK\n"
        "wait-no-window Preferences\n"
        "log-menu Text\n"
        "font-panel DejaVu Serif\n"
        "menu Text > Font > Select...\n"
        "key Ctrl+S\n"
        "close Panel\n",
        {file});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    SheetRecord* read = nullptr;
    ASSERT_EQ(LoadSheetFile(&spec, &read), 0);
    auto* text = static_cast<TextRecord*>(LLFirst(read->textList));
    ASSERT_NE(text, nullptr);
    char font[256];
    GetStyleFont(text->style, font);
    EXPECT_STREQ(font, "DejaVu Serif");
    DestroySheet(read);
}

#endif

}  // namespace
}  // namespace plexa::test
