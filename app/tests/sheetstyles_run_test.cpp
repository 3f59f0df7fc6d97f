// The Text Styles tab of the sheet settings in the running editor: sizes typed into the rows'
// size fields (2 to 128 taken, others refused), Select All, the style and font menus of the
// selected rows and a font from the font panel reach the sheet's text themes when the dialog is
// confirmed, as the saved copy of the sheet shows. Every step is photographed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/tests/sheetcontents_testing.h"
#include "graphics/textstyle.h"
#include "model/themes.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using SheetStylesRun = SheetContentsTest;

// Places in the settings dialog (its window coordinates): the styles tab, and in row n of the
// styles list the size field and the arrows of the font and style fields.
const std::string kStylesTab = "click 108 19\n";
std::string RowY(int32_t row) { return std::to_string(69 + 18 * row); }
std::string SizeField(int32_t row) { return "click 345 " + RowY(row) + "\n"; }
std::string FontArrow(int32_t row) { return "click 159 " + RowY(row) + "\n"; }
std::string StyleArrow(int32_t row) { return "click 375 " + RowY(row) + "\n"; }
std::string Shot(const std::string& name) { return "screenshot " + OutputPath(name) + " Styles Settings\n"; }

// Opens the sheet's settings on the styles tab, plays the steps, confirms and saves a copy.
std::string ConfirmedStyles(const std::string& steps, const std::string& copy) {
    return "menu Edit > Sheet Settings...\n"
           "wait-window Styles Settings\n"
           "wait-drawn Styles Settings\n" +
           kStylesTab + steps +
           "button OK\n"
           "wait-no-window Styles Settings\n"
           "panel " + copy + "\n"
           "menu File > Save a Copy...\n"
           "quit\n"
           "button Don't Save\n";
}

struct Theme {
    std::string font;
    uint16_t size, face;
};

std::vector<Theme> Themes(SheetRecord* sheet) {
    std::vector<Theme> themes;
    for (int32_t i = 0; sheet && sheet->themeTable && i < kTextThemeCount; ++i) {
        const txStyle* style = sheet->themeTable->styles[i];
        char font[256] = {};
        if (style) GetStyleFont(style, font);
        themes.push_back({font, style ? style->size : uint16_t(0), style ? style->face : uint16_t(0)});
    }
    return themes;
}

// Sizes typed in place: 2 to 128 are taken (spaces round them trimmed), 1 and 200 put the old
// size back, and Return moves on to the next row; Select All then selects every row, so that a
// style and a font chosen from one row's menus go to them all. The size typed last is taken when
// Select All ends the typing.
TEST_F(SheetStylesRun, TypedSizesSelectAllAndTheRowsMenusReachTheSheetsThemes) {
    const std::string at = WriteSheetAtScale("Styles.SHX", 100), copy = dir.path() + "/styled.SHX";
    const std::vector<Theme> before = Themes(Load(at));
    ASSERT_EQ(before.size(), size_t(kTextThemeCount));
    ASSERT_NE(before[2].size, 1);
    ASSERT_NE(before[3].size, 200);

    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Styles\n"
        "wait-drawn Styles\n" +
            ConfirmedStyles(SizeField(1) + "type 24\nwait-drawn Styles Settings\n" + Shot("sheet-styles-typing.png") +
                                "key Return\ntype 1\nkey Return\ntype 200\nkey Return\nkey Space\ntype 2\nkey Space\nkey Return\n"
                                "type 128\nkey Return\ntype 16\n" + Shot("sheet-styles-typed.png") +
                                "key Ctrl+A\n" + Shot("sheet-styles-select-all.png") + StyleArrow(8) +
                                "choose Bold\n" + FontArrow(2) + "screenshot-screen " +
                                OutputPath("sheet-styles-font-menu.png") + "\nchoose DejaVu Serif\n" +
                                Shot("sheet-styles-all-changed.png"),
                            copy),
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    const std::vector<Theme> after = Themes(Load(copy));
    ASSERT_EQ(after.size(), size_t(kTextThemeCount));
    // The independent-text theme is read back from the sheet's own text style, so only the
    // other rows show what the dialog did.
    const uint16_t sizes[kTextThemeCount] = {0, 24, before[2].size, before[3].size, 2, 128, 16,
                                             before[7].size, before[8].size};
    for (int32_t i = 1; i < kTextThemeCount; ++i) {
        EXPECT_EQ(after[size_t(i)].size, sizes[i]) << "row " << i;
        EXPECT_EQ(after[size_t(i)].face, kFaceBold) << "row " << i;
        EXPECT_EQ(after[size_t(i)].font, "DejaVu Serif") << "row " << i;
    }
}

// With every font left out of the Font menu, the row's font menu ends in the item that asks the
// font panel; the family chosen there becomes that row's font alone.
TEST_F(SheetStylesRun, AFontFromTheFontPanelBecomesTheRowsFont) {
    const std::string at = WriteSheetAtScale("Styles.SHX", 100), copy = dir.path() + "/paneled.SHX";
    const std::vector<Theme> before = Themes(Load(at));
    ASSERT_EQ(before.size(), size_t(kTextThemeCount));
    ASSERT_NE(before[3].font, "DejaVu Serif");

    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Styles\n"
        "wait-drawn Styles\n"
        "menu Plexa > Preferences\xE2\x80\xA6\n"
        "wait-window Preferences\n"
        "wait-drawn Preferences\n"
        "click 312 17\n"  // the Fonts tab
        "button Uncheck All\n"
        "button OK\n"
        "wait-no-window Preferences\n" +
            ConfirmedStyles(FontArrow(3) + "screenshot-screen " + OutputPath("sheet-styles-other-menu.png") +
                                "\nfont-panel DejaVu Serif\nchoose Select...\n" +
                                Shot("sheet-styles-other-chosen.png"),
                            copy),
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    const std::vector<Theme> after = Themes(Load(copy));
    ASSERT_EQ(after.size(), size_t(kTextThemeCount));
    for (int32_t i = 0; i < kTextThemeCount; ++i)
        EXPECT_EQ(after[size_t(i)].font, i == 3 ? "DejaVu Serif" : before[size_t(i)].font) << "row " << i;
}

#endif

}  // namespace
}  // namespace plexa::test
