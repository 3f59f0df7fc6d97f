// The conversion options: their defaults, how typed names are cleaned, how they are kept in the
// user-defaults store, and the options dialog answered by scripted input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "converter/app.h"
#include "converter/options.h"
#include "foundation/memory.h"
#include "platform/control_platform.h"
#include "platform/defaults_store.h"
#include "tests/support/testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_templates.h"

namespace plexa::test {
namespace {

const std::vector<std::string> kDefaultNames = {"Value", "User", "Spice", "U1", "U2", "U3", "U4",
                                                "U5",    "U6",   "U7",    "U8", "U9", "ClassID"};

std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int32_t k = 0; k < kAttrNamesMapCount; ++k) names.push_back(GetMappedAttributeName(k));
    return names;
}

std::string Switches() {
    return std::string("classID ") + char('0' + gConvertClassID) + " 96dpi " +
           char('0' + gConvert96DPI) + " refDes " + char('0' + gConvertShowRefDes) + " name " +
           char('0' + gConvertShowName);
}

// A user-defaults file of the test's own.
class OptionsStore {
public:
    OptionsStore() {
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
        DefaultsReload();
    }
    ~OptionsStore() {
        DefaultsReload();
        unsetenv("XDG_CONFIG_HOME");
    }

private:
    TempDir dir_;
};

class Options : public ::testing::Test {
protected:
    void SetUp() override { EXPECT_EQ(status::kNoErr, InitMemoryManager(-1)); }
    OptionsStore store_;
};

TEST_F(Options, AFreshUserGetsTheDefaults) {
    LoadConversionOptions();
    EXPECT_EQ(Names(), kDefaultNames);
    EXPECT_EQ(Switches(), "classID 0 96dpi 1 refDes 1 name 0");
    EXPECT_EQ(GetMappedAttributeName(-1), "");
    EXPECT_EQ(GetMappedAttributeName(kAttrNamesMapCount), "");
}

TEST_F(Options, TypedNamesAreCleaned) {
    struct Case {
        const char* typed;
        const char* stored;
        bool kept;
    };
    const Case cases[] = {
        {"a b", "a_b", true},     {"~x", "^x", true},       {"a\tb~c d", "a_b^c_d", true},
        {"Part\rrest", "Part", true}, {"\rrest", "", false}, {"", "", false},
        {" ", "_", true},         {"x\ny", "x_y", true},    {"Caf\xC3\xA9", "Caf\xC3\xA9", true},
    };
    for (const Case& c : cases) {
        char text[64];
        std::snprintf(text, sizeof text, "%s", c.typed);
        EXPECT_EQ(FixAttrNameString(text), c.kept) << c.typed;
        EXPECT_STREQ(text, c.stored);
    }
}

TEST_F(Options, NamesAreCopiesThatStayValid) {
    SetDefaultConversionOptions();
    // A "-7" text needs entry 2 as the attribute and entry 0 inside "{...}", both at once.
    const std::string attribute = GetMappedAttributeName(2);
    const std::string field = GetMappedAttributeName(0);
    EXPECT_EQ(attribute + "={" + field + "}", "Spice={Value}");
    ASSERT_TRUE(SetMappedAttributeName(0, "Wert"));
    EXPECT_EQ(field, "Value");
    EXPECT_EQ(GetMappedAttributeName(0), "Wert");
    EXPECT_FALSE(SetMappedAttributeName(0, ""));
    EXPECT_FALSE(SetMappedAttributeName(13, "x"));
    EXPECT_EQ(GetMappedAttributeName(0), "Wert");
}

TEST_F(Options, KeptInTheUserDefaults) {
    SetDefaultConversionOptions();
    ASSERT_TRUE(SetMappedAttributeName(1, "Comment"));
    gAttrNamesMap[5] = 0;  // an empty entry is not stored
    VXStoreStringValueForKey("AttributeNameMap6", "stale");
    gConvertClassID = 1;
    gConvertShowName = 0;
    SaveConversionOptions();
    EXPECT_EQ(VXGetIntValueForKey("ConvertClassID"), 2);
    EXPECT_EQ(VXGetIntValueForKey("ConvertDPI"), 2);
    EXPECT_EQ(VXGetIntValueForKey("ConvertShowRefDes"), 2);
    EXPECT_EQ(VXGetIntValueForKey("ConvertShowName"), 1);
    char text[256];
    EXPECT_STREQ(VXGetStringValueForKey("AttributeNameMap2", text, sizeof text), "Comment");
    EXPECT_STREQ(VXGetStringValueForKey("AttributeNameMap13", text, sizeof text), "ClassID");
    bool existed = true;
    VXRemoveEntryForKey("AttributeNameMap6", &existed);
    EXPECT_FALSE(existed);

    // The next start reads them back; the entry that was not stored takes its default.
    SetDefaultConversionOptions();
    DefaultsReload();
    LoadConversionOptions();
    std::vector<std::string> expected = kDefaultNames;
    expected[1] = "Comment";
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(Switches(), "classID 1 96dpi 1 refDes 1 name 0");

    // Stored integers: 0 keeps the default, above 1 reads as on, 1 as off.
    VXStoreIntValueForKey("ConvertClassID", 0);
    VXStoreIntValueForKey("ConvertDPI", 1);
    VXStoreIntValueForKey("ConvertShowRefDes", 7);
    VXStoreIntValueForKey("ConvertShowName", 3);
    VXStoreStringValueForKey("AttributeNameMap3", "");
    LoadConversionOptions();
    EXPECT_EQ(Switches(), "classID 0 96dpi 0 refDes 1 name 1");
    EXPECT_EQ(GetMappedAttributeName(2), "Spice");
}

// The dialog, with the user's answer given by a deferred action once it is up.
struct Answer {
    std::vector<std::pair<int16_t, std::string>> texts;  // item, text typed into it
    std::vector<int16_t> clicks;                          // check boxes clicked
    uint16_t key = 13;                                    // Return (OK) or Escape (Cancel)
};
Answer gAnswer;
std::vector<std::string> gShown;  // what the dialog showed: the 13 names, then the four boxes
std::string gTruncated;           // a long name after the dialog cut it

class OptionsDialog : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        VXInitControls();
        ASSERT_EQ(SelectUIFile("converter.gui"), 0);
        gShown.clear();
        gTruncated.clear();
    }
    void TearDown() override {
        CloseUIFiles();
        WindowsTest::TearDown();
        PlatformControlFlushDestroyed();
        EXPECT_EQ(gModalWindowDepth, 0);
    }
    static void Run(const Answer& answer) {
        gAnswer = answer;
        VXPostDeferredAction([](void*) {
            VXWindowRecordTag* dialog = FrontDialog();
            ASSERT_TRUE(dialog);
            char text[256];
            for (int16_t k = 0; k < kAttrNamesMapCount; ++k) {
                VXGetItemText(dialog, int16_t(kOptionsFirstNameItem + 2 * k), text);
                gShown.push_back(text);
            }
            for (int16_t item : {kOptionsClassIDItem, kOptions96DPIItem, kOptionsShowRefDesItem,
                                 kOptionsShowNameItem})
                gShown.push_back(VXGetItemChecked(dialog, item) ? "on" : "off");
            WriteScreenshot(dialog, "converter_options.png");
            // A name typed longer than 64 bytes is cut as it changes.
            const std::string longName(100, 'n');
            VXSetItemText(dialog, kOptionsFirstNameItem, longName.c_str());
            VXEventRecord change = VXClearedEvent(kVXControlEvent);
            change.u.control.item = kOptionsFirstNameItem;
            change.u.control.controlType = uint8_t(kVXEditText);
            DispatchEvent(dialog, &change);
            VXGetItemText(dialog, kOptionsFirstNameItem, text);
            gTruncated = text;
            VXSetItemText(dialog, kOptionsFirstNameItem, "Value");
            for (const auto& [item, typed] : gAnswer.texts) VXSetItemText(dialog, item, typed.c_str());
            for (int16_t item : gAnswer.clicks)
                PlatformControlTestClick(VXGetControl(dialog, item, nullptr)->platform, 4, 4);
            QueueKey(gAnswer.key);
        }, nullptr, 0.001);
        ShowOptionsDialog();
    }
    OptionsStore store_;
};

TEST_F(OptionsDialog, TheTemplateHoldsTheNamesAndTheBoxes) {
    VXViewTemplate* view = VXLoadDialogTemplate(kOptionsTemplate);
    ASSERT_TRUE(view);
    std::vector<int16_t> edits, boxes, buttons;
    VXControlItemTemplate item;
    for (int32_t i = 0; VXGetTemplateItem(view, i, &item); ++i) {
        if (item.itemType == kVXEditText) edits.push_back(item.itemNumber);
        if (item.itemType == kVXCheckBox) boxes.push_back(item.itemNumber);
        if (item.itemType == kVXPushButton) buttons.push_back(item.itemNumber);
    }
    VXDestroyDialogTemplate(view);
    EXPECT_EQ(edits, (std::vector<int16_t>{4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28}));
    EXPECT_EQ(boxes, (std::vector<int16_t>{29, 3, 31, 32}));
    EXPECT_EQ(buttons, (std::vector<int16_t>{1, 2}));
}

TEST_F(OptionsDialog, OKCleansAndSavesCancelChangesNothing) {
    LoadConversionOptions();
    Answer answer;
    answer.texts = {{4, "a b"}, {6, "~x"}, {8, ""}, {28, "Class ID"}};
    answer.clicks = {kOptionsClassIDItem, kOptions96DPIItem};
    Run(answer);
    std::vector<std::string> shown = kDefaultNames;
    for (const char* box : {"off", "on", "on", "off"}) shown.push_back(box);
    EXPECT_EQ(gShown, shown);
    EXPECT_EQ(gTruncated, std::string(kAttrNameMaxBytes, 'n'));
    std::vector<std::string> expected = kDefaultNames;
    expected[0] = "a_b";
    expected[1] = "^x";  // entry 2 was cleared and keeps "Spice"
    expected[12] = "Class_ID";
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(Switches(), "classID 1 96dpi 0 refDes 1 name 0");
    char text[256];
    EXPECT_STREQ(VXGetStringValueForKey("AttributeNameMap1", text, sizeof text), "a_b");
    EXPECT_STREQ(VXGetStringValueForKey("AttributeNameMap2", text, sizeof text), "^x");
    EXPECT_STREQ(VXGetStringValueForKey("AttributeNameMap3", text, sizeof text), "Spice");
    EXPECT_EQ(VXGetIntValueForKey("ConvertClassID"), 2);
    EXPECT_EQ(VXGetIntValueForKey("ConvertDPI"), 1);

    // Cancel: the dialog shows what OK kept and leaves it.
    answer.texts = {{4, "changed"}};
    answer.clicks = {kOptionsShowNameItem};
    answer.key = 27;
    gShown.clear();
    Run(answer);
    EXPECT_EQ(gShown[0], "a_b");
    EXPECT_EQ(gShown[13], "on");
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(Switches(), "classID 1 96dpi 0 refDes 1 name 0");
    EXPECT_TRUE(VXTopLevelWindows().empty());
}

}  // namespace
}  // namespace plexa::test
