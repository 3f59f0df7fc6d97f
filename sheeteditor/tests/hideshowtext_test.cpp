// The Hide/Show Text command: which texts each choice touches, scripted runs over a sheet that hide
// and show exactly the expected texts and make the missing ones, the symbol editor's pin texts,
// and the dialog itself answered by scripted input.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/chunky.h"
#include "foundation/ll.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/pindata.h"
#include "model/signals.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "model/tests/symbol_testing.h"
#include "sheeteditor/hideshowtext.h"
#include "platform/control_platform.h"
#include "platform/testseam_platform.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_templates.h"

namespace plexa::test {
namespace {

// What the sheet editor's hooks were asked.
std::vector<std::string> gCalls;

class HideShow : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        gCalls.clear();
        SymbolTextHooks hooks;
        hooks.buildDrawingSelectRgn = [](SheetRecord*) { gCalls.push_back("select region"); };
        hooks.setSheetModifiedStatus = [](SheetRecord*, uint32_t reason) {
            gCalls.push_back("modified " + std::to_string(reason));
        };
        hooks.getSpiceAnnotationAttributes = SpiceAttributes;
        SetSymbolTextHooks(hooks);
        ModelHooks model;
        model.invalSheetView = [](SheetRecord*, const Rect*) { gCalls.push_back("invalidate"); };
        SetModelHooks(model);
        // Two resistors, A selected, each with a pin on the left and one on the right.
        const int32_t id = AddDefinition(Definition({{{20, -10}, {20, 0}}, {{20, 50}, {20, 40}}}, {0, 0, 40, 40}));
        a = Place(id, {100, 100});
        b = Place(id, {300, 100});
        a->flags |= kSymbolFlagSelected;
        for (SymbolRecord* s : {a, b}) {
            SetSymbolName(s, sheet.stringBlock, "Res");
            SetSymbolAttribute(s, sheet.stringBlock, "Value", "10k", nullptr);
            SetSymbolAttribute(s, sheet.stringBlock, ".model", "R", nullptr);
        }
        SetSymbolRefName(a, sheet.stringBlock, "R1");
        SetSymbolRefName(b, sheet.stringBlock, "R2");
    }
    void TearDown() override {
        SetSymbolTextHooks({});
        SheetTest::TearDown();
    }

    // Each symbol's simulator attributes: ".model" of the symbol and, for a component's symbol,
    // ".ic" of its pin 0.
    static VXChunkyBlock SpiceAttributes(SheetRecord* sheet, SymbolRecord* symbol) {
        VXChunkyBlock block = VXCreateChunkyBlock(gGenPool, sizeof(SpiceAnnotationAttribute), 4, 0);
        char value[kPinTextSize];
        const SpiceAnnotationAttribute model{AppendStringBlock(sheet->stringBlock, ".model", 0xFFFF, nullptr),
                                             GetSymbolAttribute(symbol, sheet->stringBlock, ".model", value), -1};
        if (model.attribute >= 0) VXChunkyAdd(block, &model);
        if (symbol->component) {
            Handle pin = GetIndexedPinData(sheet->pinDataTable,
                                           int32_t(GetCompSymbolPinDataId(symbol->component, 0, 0, 0)));
            const SpiceAnnotationAttribute ic{AppendStringBlock(sheet->stringBlock, ".ic", 0xFFFF, nullptr),
                                              GetPinDataAttribute(pin, sheet->stringBlock, ".ic", value), 0};
            VXChunkyAdd(block, &ic);
        }
        return block;
    }

    TextRecord* Owned(SymbolRecord* s, const char* string, uint16_t kind, uint16_t flags = 0) {
        TextRecord* text = AddText(string, kind, flags);
        text->owner = TextOwnerSerial(s->serial);
        return text;
    }

    // Every kind of text for both symbols, and two that no command touches.
    void Populate() {
        for (SymbolRecord* s : {a, b}) {
            Owned(s, "Res", kTextKindSymbolName);
            Owned(s, s == a ? "R1" : "R2", kTextKindDesignator);
            Owned(s, "1", kTextKindPinNumber | 0);
            Owned(s, "IN", kTextKindPinName | 0);
            Owned(s, "{.model}", kTextKindSymbolAttribute);
            Owned(s, "{Value}", kTextKindSymbolAttribute);
        }
        AddText("free", kTextKindFree);
        AddText("NET1", kTextKindSignal);
    }

    // One line a text in list order: owner, kind, string and "hidden".
    std::string Dump() {
        std::string out;
        for (auto* t = static_cast<TextRecord*>(LLFirst(sheet.textList)); t; t = t->link) {
            char kind[8];
            std::snprintf(kind, sizeof kind, "%X", t->kind);
            out += std::to_string(t->owner) + " " + kind + " " + String(t) +
                   (t->flags & kTextFlagHidden ? " hidden" : "") + "\n";
        }
        return out;
    }

    bool Run(int16_t button, int16_t scope, std::vector<uint8_t> checks) {
        HideShowTextState state{};
        state.windowKind = kHideShowSheetWindow;
        state.button = button;
        state.scope = scope;
        for (size_t i = 0; i < 5; ++i) state.checks[i] = checks[i];
        Rect area{};
        return HideShowSheetTexts(&sheet, state, &area);
    }

    SymbolRecord* a = nullptr;
    SymbolRecord* b = nullptr;
};

TEST_F(HideShow, TextIsAffectedByKindCheckScopeAndAttributeName) {
    struct Case {
        const char* string;
        uint16_t kind;
        uint16_t flags;
        int16_t scope;
        std::vector<uint8_t> checks;
        bool ownerSelected;
        bool affected;
    };
    const Case cases[] = {
        {"R1", kTextKindDesignator, 0, 6, {0, 1, 0, 0, 0}, false, true},
        {"R1", kTextKindCompDesignator, 0, 6, {1, 0, 1, 1, 1}, false, false},
        {"Res", kTextKindSymbolName, 0, 6, {1, 0, 0, 0, 0}, false, true},
        {"NET", kTextKindNetSymbol, 0, 6, {1, 0, 0, 0, 0}, false, true},
        {"1", kTextKindPinNumber | 5, 0, 6, {0, 0, 1, 0, 0}, false, true},
        {"1", kTextKindPinNumber | 5, 0, 6, {0, 0, 0, 1, 0}, false, false},
        {"A", kTextKindPinName | 5, 0, 6, {0, 0, 0, 1, 0}, false, true},
        {"{.model}", kTextKindSymbolAttribute, 0, 6, {0, 0, 0, 0, 1}, false, true},
        {"{@.model}", kTextKindSymbolAttribute, 0, 6, {0, 0, 0, 0, 1}, false, true},
        {"{Value}", kTextKindSymbolAttribute, 0, 6, {1, 1, 1, 1, 1}, false, false},
        {"{.ic}", kTextKindPinAttribute | 2, 0, 6, {0, 0, 0, 0, 1}, false, true},
        {"free", kTextKindFree, 0, 6, {1, 1, 1, 1, 1}, false, false},
        {"NET1", kTextKindSignal, 0, 6, {1, 1, 1, 1, 1}, false, false},
        {"R1", kTextKindDesignator, 0, 7, {0, 1, 0, 0, 0}, true, false},
        {"R1", kTextKindDesignator, kTextFlagSelected, 7, {0, 1, 0, 0, 0}, false, true},
        {"R1", kTextKindDesignator, kTextFlagSelected, 8, {0, 1, 0, 0, 0}, false, false},
        {"R1", kTextKindDesignator, 0, 8, {0, 1, 0, 0, 0}, true, true},
    };
    for (const Case& c : cases) {
        TextRecord* text = AddText(c.string, c.kind, c.flags);
        EXPECT_EQ(TextIsAffected(text, sheet.stringBlock, c.scope, c.checks.data(), kHideShowSheetWindow,
                                 c.ownerSelected),
                  c.affected)
            << c.string << " kind " << c.kind << " scope " << c.scope;
    }
}

TEST_F(HideShow, HidingTouchesExactlyTheCheckedKinds) {
    Populate();
    EXPECT_TRUE(Run(kHideShowHide, kHideShowScopeAll, {1, 1, 0, 0, 1}));
    EXPECT_EQ(Dump(),
              "1 12 Res hidden\n1 17 R1 hidden\n1 4000 1\n1 8000 IN\n1 16 {.model} hidden\n1 16 {Value}\n"
              "2 12 Res hidden\n2 17 R2 hidden\n2 4000 1\n2 8000 IN\n2 16 {.model} hidden\n2 16 {Value}\n"
              "0 0 free\n0 1 NET1\n");
    EXPECT_EQ(gCalls, (std::vector<std::string>{"select region", "invalidate", "modified 40"}));
    // Hiding again changes nothing and marks nothing.
    gCalls.clear();
    EXPECT_FALSE(Run(kHideShowHide, kHideShowScopeAll, {1, 1, 0, 0, 1}));
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(HideShow, HidingSelectedTextsDeselectsThem) {
    Populate();
    TextRecord* pin = RetrieveSymbolText(&sheet, b, kTextKindPinNumber);
    TextRecord* name = RetrieveSymbolText(&sheet, a, kTextKindSymbolName);
    pin->flags |= kTextFlagSelected;
    name->flags |= kTextFlagSelected;
    EXPECT_TRUE(Run(kHideShowHide, kHideShowScopeSelectedTexts, {1, 1, 1, 1, 1}));
    EXPECT_EQ(Dump(),
              "1 12 Res hidden\n1 17 R1\n1 4000 1\n1 8000 IN\n1 16 {.model}\n1 16 {Value}\n"
              "2 12 Res\n2 17 R2\n2 4000 1 hidden\n2 8000 IN\n2 16 {.model}\n2 16 {Value}\n"
              "0 0 free\n0 1 NET1\n");
    EXPECT_FALSE(pin->flags & kTextFlagSelected);
    EXPECT_FALSE(name->flags & kTextFlagSelected);
    // Showing with the scope of selected texts is never offered and makes nothing.
    const int32_t count = int32_t(sheet.textList->count);
    Run(kHideShowShow, kHideShowScopeSelectedTexts, {1, 1, 1, 1, 1});
    EXPECT_EQ(int32_t(sheet.textList->count), count);
}

TEST_F(HideShow, ShowingTheSelectedSymbolsTextsMakesTheMissingOnes) {
    // A has no texts at all, B a hidden name.
    Owned(b, "Res", kTextKindSymbolName, kTextFlagHidden);
    EXPECT_TRUE(Run(kHideShowShow, kHideShowScopeSelectedOwners, {1, 1, 0, 0, 0}));
    EXPECT_EQ(Dump(), "2 12 Res hidden\n1 12 Res\n1 17 R1\n");
    // Every symbol: B's name is shown and its designator made.
    EXPECT_TRUE(Run(kHideShowShow, kHideShowScopeAll, {1, 1, 0, 0, 0}));
    EXPECT_EQ(Dump(), "2 12 Res\n1 12 Res\n1 17 R1\n2 17 R2\n");
    EXPECT_FALSE(Run(kHideShowShow, kHideShowScopeAll, {1, 1, 0, 0, 0}));
}

TEST_F(HideShow, NetSymbolsShowTheirNetAndNeverADesignator) {
    sheet.signalList = CreateSignalList();
    SymbolRecord* port = Place(a->mapId, {500, 500}, kSymbolFlagPort);
    SignalHandle clk = CreateSignal(sheet.signalList);
    SetSignalName(clk, sheet.stringBlock, "CLK");
    AddPinToSignal(clk, port, 0);
    a->flags &= ~kSymbolFlagSelected;
    port->flags |= kSymbolFlagSelected;
    EXPECT_TRUE(Run(kHideShowShow, kHideShowScopeSelectedOwners, {1, 1, 0, 0, 0}));
    EXPECT_EQ(Dump(), "3 15 CLK\n");
    DestroySignalList(sheet.signalList);
    sheet.signalList = nullptr;
}

TEST_F(HideShow, ShowingSimulatorAttributesMakesOnlyThoseNotShownYet) {
    // A shows its ".model" already (hidden); a "{Value}" text is never touched.
    TextRecord* shown = Owned(a, "{.model}", kTextKindSymbolAttribute, kTextFlagHidden);
    Owned(a, "{Value}", kTextKindSymbolAttribute, kTextFlagHidden);
    EXPECT_TRUE(Run(kHideShowShow, kHideShowScopeAll, {0, 0, 0, 0, 1}));
    EXPECT_FALSE(shown->flags & kTextFlagHidden);
    // The made text shows its attribute's value (field references are expanded when a text is made).
    EXPECT_EQ(Dump(), "2 16 R\n1 16 {.model}\n1 16 {Value} hidden\n");
    TextRecord* made = static_cast<TextRecord*>(LLFirst(sheet.textList));
    Rect body{};
    GetSymbolInstanceBounds(&sheet, b, 0, &body);
    EXPECT_EQ(made->position.h, body.right + 6);
    // Run again: everything is there.
    EXPECT_FALSE(Run(kHideShowShow, kHideShowScopeAll, {0, 0, 0, 0, 1}));
    EXPECT_EQ(sheet.textList->count, 3u);
}

TEST_F(HideShow, AttributesOfSelectedSymbolsOnlyWithThatScope) {
    EXPECT_TRUE(Run(kHideShowShow, kHideShowScopeSelectedOwners, {0, 0, 0, 0, 1}));
    EXPECT_EQ(Dump(), "1 16 R\n");
}

TEST_F(HideShow, PinAttributesOfAComponentAreMadeOnceBesideTheirPin) {
    ComponentRecord* gates = AddLibComponentToSheet(Gates(), &sheet);
    ASSERT_TRUE(gates);
    SymbolRecord* u = Place(CompSymbols(gates)[0].mapId, {200, 400}, 0, gates);
    Handle pin = GetIndexedPinData(sheet.pinDataTable, int32_t(GetCompSymbolPinDataId(gates, 0, 0, 0)));
    ASSERT_TRUE(pin);
    SetPinDataAttribute(pin, sheet.stringBlock, ".ic", "0");
    a->flags &= ~kSymbolFlagSelected;
    u->flags |= kSymbolFlagSelected;
    TextRecord* number = Owned(u, "1", kTextKindPinNumber | 0);
    Point tail{};
    GetNodeInstanceTailPos(&sheet, u, 0, &tail);
    AutoPositionPinText(number, sheet.stringBlock, tail, GetNodeInstanceOrient(&sheet, u, 0), nullptr, nullptr);
    EXPECT_TRUE(Run(kHideShowShow, kHideShowScopeSelectedOwners, {0, 0, 0, 0, 1}));
    EXPECT_EQ(Dump(), "3 C000 0\n3 4000 1\n");
    // Placed as a number of its pin, moved clear of the number that was there.
    TextRecord* ic = static_cast<TextRecord*>(LLFirst(sheet.textList));
    Rect overlap;
    EXPECT_FALSE(VXSectRect(&ic->bounds, &number->bounds, &overlap));
    EXPECT_EQ(ic->flags & kTextFlagRotation, number->flags & kTextFlagRotation);
    // Shown once: a second run finds it through the pin's attribute.
    EXPECT_FALSE(Run(kHideShowShow, kHideShowScopeSelectedOwners, {0, 0, 0, 0, 1}));
    EXPECT_EQ(sheet.textList->count, 2u);
}

// ---- The symbol editor ----

struct EditorPins {
    std::vector<std::string> numbers;
    int invalidated = 0, modified = 0;
};

TEST_F(HideShow, TheSymbolEditorMakesPinTextsForNonEmptyNumbers) {
    LinkListHeader* elements = CreateElementList(sheet.imageList);
    LinkListHeader* texts = CreateTextList();
    // Three pins: right, top, left; the second has no number.
    ElementRecord* pins[3] = {
        BuildNodeElement({20, 50}, {20, 40}, 1, 0, false, 0, false, 0, false, 0),
        BuildNodeElement({-10, 20}, {0, 20}, 1, 0, false, 0, false, 0, false, 0),
        BuildNodeElement({20, -10}, {20, 0}, 1, 0, false, 0, false, 0, false, 0),
    };
    for (ElementRecord* pin : pins) LLAppend(elements, pin);
    pins[0]->flags |= kElementSelected;
    EditorPins data{{"1", "", "3"}};
    HideShowEditorAccess access;
    access.editor = &data;
    access.textList = texts;
    access.elementList = elements;
    access.styleList = sheet.styleList;
    access.block = sheet.stringBlock;
    access.componentItem = true;
    access.getPinString = [](void* editor, const ElementRecord* node, uint16_t kind, char* name) {
        auto* pins = static_cast<EditorPins*>(editor);
        name[0] = 0;
        if (kind != kTextKindPinNumber) return;
        (void)pins;
        std::snprintf(name, 256, "%s", pins->numbers[node->points.point1.v == 20 && node->points.point1.h == 50 ? 0
                                                    : node->points.point1.v == -10                         ? 1
                                                                                                           : 2]
                                           .c_str());
    };
    access.invalidate = [](void* editor, const Rect*) { static_cast<EditorPins*>(editor)->invalidated++; };
    access.setModified = [](void* editor) { static_cast<EditorPins*>(editor)->modified++; };
    HideShowTextState state{};
    state.windowKind = kHideShowSymbolEditorWindow;
    state.button = kHideShowShow;
    state.scope = kHideShowScopeSelectedOwners;
    state.checks[2] = 1;
    EXPECT_TRUE(HideShowEditorTexts(access, state, nullptr));
    ASSERT_EQ(texts->count, 1u);
    auto* first = static_cast<TextRecord*>(LLFirst(texts));
    EXPECT_EQ(first->kind, kTextKindPinNumber);
    EXPECT_EQ(first->owner, int64_t(reinterpret_cast<intptr_t>(pins[0])));
    EXPECT_EQ(PointText(first->position), "(19,44)");  // the body end (20,40) + (-1,4)
    EXPECT_EQ(data.invalidated, 1);
    EXPECT_EQ(data.modified, 1);
    // Every pin: the third gets one, the second has no number, the first has its text.
    state.scope = kHideShowScopeAll;
    EXPECT_TRUE(HideShowEditorTexts(access, state, nullptr));
    EXPECT_EQ(texts->count, 2u);
    // Hiding the selected pins' numbers.
    state.button = kHideShowHide;
    state.scope = kHideShowScopeSelectedOwners;
    EXPECT_TRUE(HideShowEditorTexts(access, state, nullptr));
    EXPECT_TRUE(first->flags & kTextFlagHidden);
    EXPECT_FALSE(static_cast<TextRecord*>(LLFirst(texts))->flags & kTextFlagHidden);
    // Not a component item: nothing is made.
    access.componentItem = false;
    state.button = kHideShowShow;
    state.scope = kHideShowScopeAll;
    LLRemoveOrFreeAll(texts, true);
    EXPECT_FALSE(HideShowEditorTexts(access, state, nullptr));
    DestroyTextList(texts);
    DestroyElementList(elements);
}

// ---- The dialog ----

// What the dialog showed, and the clicks the script makes once it is up.
std::vector<std::string> gShown;
std::vector<int16_t> gClicks;

void Answer(std::vector<int16_t> clicks) {
    gClicks = std::move(clicks);
    VXPostDeferredAction(
        [](void*) {
            gShown.clear();
            VXWindowRecordTag* dialog = FrontDialog();
            ASSERT_TRUE(dialog);
            char title[256];
            VXGetItemText(dialog, kHideShowScopeSelectedOwners, title);
            gShown.push_back(std::string("8 \"") + title + "\"");
            for (int16_t item = 1; item <= 10; ++item) {
                std::string line = std::to_string(item);
                if (item >= 6 && item <= 8 && VXGetSelectedRadioButton(dialog, 6) == item) line += " chosen";
                if (!VXGetItemEnabled(dialog, item)) line += " disabled";
                gShown.push_back(line);
            }
            for (int16_t item : gClicks) {
                VXControlRecordTag* control = VXGetControl(dialog, item, nullptr);
                ASSERT_TRUE(control) << item;
                if (item == kHideShowShow || item == kHideShowHide)
                    gShown.push_back(std::to_string(item) + (VXGetItemEnabled(dialog, item) ? " on" : " off"));
                PlatformControlTestClick(control->platform, 4, 4);
            }
        },
        nullptr, 0.001);
}

int32_t PlainWindow(VXWindowRecordTag*, VXEventRecord*) { return 0; }

class HideShowDialog : public HideShow {
protected:
    void SetUp() override {
        HideShow::SetUp();
        VXInitControls();
        VXInstallInputSink();
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
        Rect content{100, 100, 300, 400};
        window = VXCreateWindow(kVXWindowDocument, 0, kVXFlagClosable, kSheetWindowKind, 0, 0, &content,
                                "sheet", 0, &sheet, PlainWindow);
        ASSERT_TRUE(window);
        sheet.window = window;  // a sheet window and its sheet point at each other
        gShown.clear();
    }
    void TearDown() override {
        if (window) VXDestroyWindow(window);
        sheet.window = nullptr;
        CloseUIFiles();
        PlatformControlFlushDestroyed();
        EXPECT_EQ(gModalWindowDepth, 0);
        HideShow::TearDown();
    }
    VXWindowRecordTag* window = nullptr;
};

TEST_F(HideShowDialog, TheTemplateHoldsItsItems) {
    std::vector<std::pair<int16_t, uint16_t>> expected;
    for (int16_t n = 1; n <= 5; ++n) expected.emplace_back(n, kVXCheckBox);
    for (int16_t n = 6; n <= 8; ++n) expected.emplace_back(n, kVXRadioButton);
    for (int16_t n = 9; n <= 11; ++n) expected.emplace_back(n, kVXPushButton);
    EXPECT_EQ(DialogTemplateItems(kHideShowTextTemplate), expected);
}

TEST_F(HideShowDialog, AScriptedShowOfTheSelectedSymbolsNames) {
    Populate();
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet.textList)); t; t = t->link) t->flags |= kTextFlagHidden;
    // Nothing ticked: Hide and Show are off; ticking names turns both on.
    Answer({kHideShowNamesItem, kHideShowShow});
    HideShowText(window);
    EXPECT_EQ(gShown, (std::vector<std::string>{"8 \"Texts of selected symbols only\"", "1", "2", "3", "4", "5", "6",
                                                 "7 disabled", "8 chosen", "9 disabled", "10 disabled", "10 on"}));
    EXPECT_EQ(Dump(),
              "1 12 Res\n1 17 R1 hidden\n1 4000 1 hidden\n1 8000 IN hidden\n1 16 {.model} hidden\n"
              "1 16 {Value} hidden\n2 12 Res hidden\n2 17 R2 hidden\n2 4000 1 hidden\n2 8000 IN hidden\n"
              "2 16 {.model} hidden\n2 16 {Value} hidden\n0 0 free hidden\n0 1 NET1 hidden\n");
    EXPECT_EQ(gCalls, (std::vector<std::string>{"select region", "invalidate", "modified 40"}));
    EXPECT_EQ(FrontDialog(), nullptr);
}

TEST_F(HideShowDialog, SelectedTextsOfferHideOnlyAndCancelChangesNothing) {
    Populate();
    RetrieveSymbolText(&sheet, b, kTextKindPinName)->flags |= kTextFlagSelected;
    // Selected texts exist: that scope is chosen and Show stays off with a box ticked.
    Answer({kHideShowPinNamesItem, kHideShowShow, kHideShowHide});
    HideShowText(window);
    EXPECT_EQ(gShown, (std::vector<std::string>{"8 \"Texts of selected symbols only\"", "1", "2", "3", "4", "5", "6",
                                                 "7 chosen", "8", "9 disabled", "10 disabled", "10 off", "9 on"}));
    EXPECT_TRUE(RetrieveSymbolText(&sheet, b, kTextKindPinName)->flags & kTextFlagHidden);
    EXPECT_FALSE(RetrieveSymbolText(&sheet, a, kTextKindPinName)->flags & kTextFlagHidden);
    gCalls.clear();
    Answer({kHideShowNamesItem, kHideShowCancel});
    HideShowText(window);
    EXPECT_TRUE(gCalls.empty());
    EXPECT_FALSE(RetrieveSymbolText(&sheet, a, kTextKindSymbolName)->flags & kTextFlagHidden);
}

// The symbol editor's window, as its editor lends it.
HideShowEditorAccess gEditorAccess;

TEST_F(HideShowDialog, InTheSymbolEditorTheScopeReadsSelectedPins) {
    Rect content{100, 100, 300, 400};
    VXWindowRecordTag* editor = VXCreateWindow(kVXWindowDocument, 0, kVXFlagClosable, kHideShowSymbolEditorWindow,
                                               0, 0, &content, "editor", 0, nullptr, PlainWindow);
    ASSERT_TRUE(editor);
    LinkListHeader* elements = CreateElementList(sheet.imageList);
    LinkListHeader* texts = CreateTextList();
    ElementRecord* pin = BuildNodeElement({20, 50}, {20, 40}, 1, 0, false, 0, false, 0, false, 0);
    pin->flags |= kElementSelected;
    LLAppend(elements, pin);
    gEditorAccess = HideShowEditorAccess{};
    gEditorAccess.textList = texts;
    gEditorAccess.elementList = elements;
    gEditorAccess.styleList = sheet.styleList;
    gEditorAccess.block = sheet.stringBlock;
    gEditorAccess.getPinString = [](void*, const ElementRecord*, uint16_t kind, char* name) {
        std::snprintf(name, 256, "%s", kind == kTextKindPinNumber ? "7" : "CLK");
    };
    // Not a component item: only the scope can be chosen.
    Answer({kHideShowCancel});
    HideShowText(editor, gEditorAccess);
    EXPECT_EQ(gShown, (std::vector<std::string>{"8 \"Selected pins only\"", "1 disabled", "2 disabled", "3 disabled",
                                                 "4 disabled", "5 disabled", "6", "7 disabled", "8 chosen",
                                                 "9 disabled", "10 disabled"}));
    // A component item: pin names can be shown; the selected pin gets its name text.
    gEditorAccess.componentItem = true;
    Answer({kHideShowPinNamesItem, kHideShowShow});
    HideShowText(editor, gEditorAccess);
    ASSERT_EQ(texts->count, 1u);
    EXPECT_EQ(String(static_cast<TextRecord*>(LLFirst(texts))), "CLK");
    DestroyTextList(texts);
    DestroyElementList(elements);
    VXDestroyWindow(editor);
}

}  // namespace
}  // namespace plexa::test
