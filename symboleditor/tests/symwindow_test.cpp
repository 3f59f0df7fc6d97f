// The symbol editor's window: keys typed into it, rotating the selection (refused off the drawing
// surface), undo and redo of its actions (pins keep their texts), and a picture of the window.
#include "symboleditor/symwindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>
#include <string>

#include "app/editor_root.h"
#include "app/root.h"
#include "foundation/geometry.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "symboleditor/symtools.h"
#include "symboleditor/symundo.h"
#include "symboleditor/symundoreplay.h"
#include "symboleditor/tests/symeditor_testing.h"
#include "symboleditor/tests/symwindow_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

class SymWindow : public SymWindowTest {
protected:
    // A component editor in its window, with a box.
    SymbolEditorRecord* Editor() {
        SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent, {"Gate"}), 0);
        EXPECT_NE(editor, nullptr);
        if (!editor) return nullptr;
        EXPECT_NE(editor->window, nullptr);
        AddRect(editor, {48, 48}, {144, 120});
        return editor;
    }
    // A key as a person types it into the window.
    static void Type(SymbolEditorRecord* editor, uint16_t character) {
        PlatformInputEvent key;
        key.kind = PlatformInputKind::kKeyDown;
        key.windowID = editor->window->windowID;
        key.character = character;
        PlatformDeliverInput(key);
    }
    static uint8_t PinValue(ElementRecord* pin) { return ElementAs<NodeElement>(pin)->bubbleRadius; }
};

TEST_F(SymWindow, DigitKeysSetTheSelectedPinsValues) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* a = AddPin(editor, {60, 24}, {60, 48}, "A", "1");
    ElementRecord* b = AddPin(editor, {84, 24}, {84, 48}, "B", "2");
    ElementRecord* c = AddPin(editor, {108, 24}, {108, 48}, "C", "3");
    a->flags |= kElementSelected | kElementFilled;
    b->flags |= kElementSelected | kElementFilled;
    c->flags |= kElementFilled;
    editor->state &= uint16_t(~kSymEditEdited);
    Type(editor, '5');
    EXPECT_EQ(PinValue(a), 5);
    EXPECT_EQ(PinValue(b), 5);
    EXPECT_EQ(PinValue(c), 0);  // not selected
    EXPECT_TRUE(editor->state & kSymEditEdited);
    EXPECT_TRUE(a->flags & kElementFilled);
    Type(editor, '0');
    EXPECT_EQ(PinValue(a), 0);
    EXPECT_FALSE(a->flags & kElementFilled);  // value 0 clears the fill
    EXPECT_FALSE(b->flags & kElementFilled);
    EXPECT_TRUE(c->flags & kElementFilled);
    // Digits belong to the select tool.
    editor->tool = kSymEditToolPin;
    Type(editor, '7');
    EXPECT_EQ(PinValue(a), 0);
}

TEST_F(SymWindow, AnArrowKeyThatMovesNothingLeavesTheEditorUnedited) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    editor->state &= uint16_t(~kSymEditEdited);
    for (uint16_t key : {kKeyUp, kKeyDown, kKeyLeft, kKeyRight}) Type(editor, key);
    EXPECT_FALSE(editor->state & kSymEditEdited);
}

TEST_F(SymWindow, BackFromAListTabTheWindowsKeysMoveTheSelectionAgain) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    SetSymbolEditorView(editor, kSymEditTabPins, -1);
    ASSERT_EQ(editor->currentTab, kSymEditTabPins);
    SetSymbolEditorView(editor, kSymEditTabDrawing, -1);
    ASSERT_EQ(editor->currentTab, kSymEditTabDrawing);
    auto* box = static_cast<ElementRecord*>(LLFirst(editor->elements));
    ASSERT_NE(box, nullptr);
    box->flags |= kElementSelected;
    PrepSymbolEditorSelection(editor);
    const Rect before = box->rect;
    Type(editor, kKeyRight);
    EXPECT_GT(box->rect.left, before.left);
    EXPECT_EQ(box->rect.top, before.top);
}

TEST_F(SymWindow, ARotationOffTheSurfaceBeepsAndChangesNothing) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* box = static_cast<ElementRecord*>(LLFirst(editor->elements));
    // An action to undo that the refused rotation must leave alone.
    box->flags |= kElementSelected;
    ASSERT_TRUE(TransformSymbolEditorSelection(editor, kSelectionCentre, 1));
    ASSERT_EQ(GetSymbolEditorUndoKind(editor), kSymUndoTransformation);
    const Rect before = box->bounds;
    editor->state &= uint16_t(~kSymEditEdited);
    // About the surface's corner a quarter turn takes the box above the top.
    EXPECT_FALSE(TransformSymbolEditorSelection(editor, Point{0, 0}, 1));
    EXPECT_EQ(std::memcmp(&box->bounds, &before, sizeof before), 0);
    EXPECT_FALSE(editor->state & kSymEditEdited);
    EXPECT_EQ(GetSymbolEditorUndoKind(editor), kSymUndoTransformation);
    EXPECT_FALSE(GetSymbolEditorRedoFlag(editor));
}

TEST_F(SymWindow, UndoOfARotationTurnsBackAboutTheSamePointAndRedoTurnsAgain) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* box = static_cast<ElementRecord*>(LLFirst(editor->elements));
    ElementRecord* pin = AddPin(editor, {96, 24}, {96, 48}, "A", "1");
    TextRecord* name = AddPinText(editor, pin, kTextKindPinName, {92, 20});
    box->flags |= kElementSelected;
    pin->flags |= kElementSelected;
    const Rect boxBefore = box->rect;
    const ElementPoints pinBefore = pin->points;
    const Point nameBefore = name->position;
    ASSERT_TRUE(TransformSymbolEditorSelection(editor, kSelectionCentre, 1));
    EXPECT_NE(std::memcmp(&box->rect, &boxBefore, sizeof boxBefore), 0);
    EXPECT_NE(std::memcmp(&name->position, &nameBefore, sizeof nameBefore), 0);  // with its pin
    char text[64];
    GetSymbolEditorUndoMenuText(editor, text, sizeof text);
    EXPECT_STREQ(text, "Undo Transformation");
    UndoSymbolEditorAction(editor);
    EXPECT_EQ(std::memcmp(&box->rect, &boxBefore, sizeof boxBefore), 0);
    EXPECT_EQ(std::memcmp(&pin->points, &pinBefore, sizeof pinBefore), 0);
    EXPECT_EQ(std::memcmp(&name->position, &nameBefore, sizeof nameBefore), 0);
    EXPECT_TRUE(box->flags & kElementSelected);  // the saved selection comes back
    GetSymbolEditorUndoMenuText(editor, text, sizeof text);
    EXPECT_STREQ(text, "Redo Transformation");
    UndoSymbolEditorAction(editor);
    EXPECT_NE(std::memcmp(&box->rect, &boxBefore, sizeof boxBefore), 0);
    GetSymbolEditorUndoMenuText(editor, text, sizeof text);
    EXPECT_STREQ(text, "Undo Transformation");
}

TEST_F(SymWindow, EveryKindTurnedAndTurnedBackIsAsItWas) {
    const Point centre{100, 100};
    std::vector<ElementRecord*> elements = {
        BuildCommonElement(kElementLine, {60, 70}, {90, 150}, 1, 0, 0, false, false, 0, false, 0, false),
        BuildCommonElement(kElementRect, {60, 70}, {90, 150}, 2, 0, 0, true, false, 0, false, 0, false),
        BuildCommonElement(kElementRoundRect, {60, 70}, {90, 150}, 1, 12, 6, false, false, 0, false, 0, false),
        BuildCommonElement(kElementArc, {60, 70}, {90, 150}, 1, 30, 120, false, false, 0, false, 0, false),
        BuildNodeElement({60, 70}, {60, 90}, 1, 0, false, 0, false, 0, false, 0),
    };
    const Point poly[3] = {{60, 70}, {90, 150}, {60, 150}};
    Handle points = AllocHandle(nullptr, sizeof poly);
    std::memcpy(*points, poly, sizeof poly);
    elements.push_back(BuildPolyElement(3, points, 1, false, false, 0, false, 0, false));
    MemFree(points);
    for (ElementRecord* e : elements) {
        ASSERT_NE(e, nullptr);
        std::vector<char> before(reinterpret_cast<char*>(e), reinterpret_cast<char*>(e) + ElementSize(e));
        for (int32_t code : {1, 3, 2, 4, 6}) {
            TransformElement(e, centre, code);
            if (code == 1 && e->kind == kElementRoundRect) {  // a quarter turn swaps the corner sizes
                EXPECT_EQ(ElementAs<RoundRectElement>(e)->ovalWidth, 6);
            }
            TransformElement(e, centre, VXInverseTransformation(code));
            EXPECT_EQ(std::memcmp(e, before.data(), before.size()), 0) << int(e->kind) << " code " << code;
        }
        DestroyElement(e, nullptr);
    }
}

TEST_F(SymWindow, UndoAndRedoOfAPinSwapKeepThePinTextsOnThePinInTheView) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* pin = AddPin(editor, {96, 24}, {96, 48}, "IN", "7");
    TextRecord* number = AddPinText(editor, pin, kTextKindPinNumber, {100, 30});
    TextRecord* name = AddPinText(editor, pin, kTextKindPinName, {92, 20});
    Handle data = ElementAs<NodeElement>(pin)->pinData;
    const auto owner = [](TextRecord* text) { return reinterpret_cast<ElementRecord*>(text->owner); };

    StartSymbolEditorUndoCollection(editor, kSymUndoReshape);
    CollectUndoMoveSymbolEditorItem(editor, kSymUndoItemText, name, Point{0, 4}, 0);
    CollectUndoSwapSymbolEditorItem(editor, kSymUndoItemElement, pin);
    pin->points.point1 = Point{12, 96};
    CalcElementBounds(pin);
    OffsetTextElement(name, 4, 0);
    AcceptSymbolEditorUndoCollection(editor);

    UndoSymbolEditorAction(editor);
    auto* restored = static_cast<ElementRecord*>(LLFirst(editor->elements));  // enters at the head
    ASSERT_NE(restored, pin);
    EXPECT_EQ(restored->kind, kElementNode);
    EXPECT_EQ(restored->points.point1.v, 96);
    EXPECT_EQ(LLGetLinkPosition(editor->elements, pin), -1);
    EXPECT_EQ(owner(number), restored);
    EXPECT_EQ(owner(name), restored);
    EXPECT_EQ(ElementAs<NodeElement>(restored)->pinData, data);
    EXPECT_EQ(PinName(editor, restored), "IN");
    EXPECT_EQ(PinNumber(editor, restored), "7");
    EXPECT_EQ(name->position.h, 20);

    UndoSymbolEditorAction(editor);  // redo
    EXPECT_EQ(LLFirst(editor->elements), pin);
    EXPECT_EQ(LLGetLinkPosition(editor->elements, restored), -1);
    EXPECT_EQ(pin->points.point1.v, 12);
    EXPECT_EQ(owner(number), pin);
    EXPECT_EQ(owner(name), pin);
    EXPECT_EQ(PinNumber(editor, pin), "7");
    EXPECT_EQ(name->position.h, 24);
    // Undo once more, then let the action go with the editor: nothing is freed twice or lost.
    UndoSymbolEditorAction(editor);
}

TEST_F(SymWindow, AnActionWithoutOperationsIsNotKeptAndRemovedItemsComeBack) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* box = static_cast<ElementRecord*>(LLFirst(editor->elements));
    box->flags |= kElementSelected;
    ASSERT_TRUE(TransformSymbolEditorSelection(editor, kSelectionCentre, 4));
    StartSymbolEditorUndoCollection(editor, kSymUndoMove);
    AcceptSymbolEditorUndoCollection(editor);
    EXPECT_EQ(GetSymbolEditorUndoKind(editor), 0);  // the previous action is gone all the same

    StartSymbolEditorUndoCollection(editor, kSymUndoDelete);
    ASSERT_TRUE(LLRemoveOrFree(editor->elements, box, nullptr, false));
    CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemElement, box, false);
    AcceptSymbolEditorUndoCollection(editor);
    EXPECT_EQ(editor->elements->count, 0u);
    UndoSymbolEditorAction(editor);
    EXPECT_EQ(LLFirst(editor->elements), box);
    EXPECT_TRUE(box->flags & kElementSelected);
    UndoSymbolEditorAction(editor);
    EXPECT_EQ(editor->elements->count, 0u);  // held by the action, freed with it
}

TEST_F(SymWindow, TheTextToolTypesANewTextThatBecomesAFrame) {
    InstallEditorHooks();  // the editor of text frames comes with the composition
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    VXShowWindow(editor->window);
    editor->tool = kSymEditToolText;
    PlatformInputEvent down = MouseInput(PlatformInputKind::kMouseDown, editor->window, 200, 150);
    TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, editor->window, 200, 150));
    PlatformDeliverInput(down);
    ASSERT_NE(editor->textEdit, nullptr);
    editor->state &= uint16_t(~kSymEditEdited);
    for (char c : std::string("Hi")) Type(editor, uint16_t(c));
    EXPECT_TRUE(editor->state & kSymEditEdited);
    EXPECT_EQ(editor->frames->count, 0u);
    InvalSymbolEditorView(editor, nullptr);
    VXUpdateWindow(editor->window);  // the text being typed is drawn with its frame
    EXPECT_GT(WriteScreenshot(editor->window, "symwindow-typing.png").size(), 500u);
    DestroySymbolEditorTE(editor);
    EXPECT_EQ(editor->textEdit, nullptr);
    ASSERT_EQ(editor->frames->count, 1u);
    auto frame = static_cast<TextFrameHandle>(LLFirst(editor->frames));
    uint32_t length = 0;
    const char16_t* text = GetTextFrameUnicodeText(frame, false, &length);
    EXPECT_EQ(std::u16string(text, length), u"Hi");
    EXPECT_TRUE((*frame)->flags & kFrameFlagThemed);  // new texts take the theme style
    InstallCoreHooks();
}

TEST_F(SymWindow, TheWindowDrawsTheView) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    AddRect(editor, {60, 60}, {108, 132}, true);
    ElementRecord* pin = AddPin(editor, {84, 24}, {84, 48}, "IN", "1");
    AddPinText(editor, pin, kTextKindPinName, {80, 20});
    AddFrame(editor, "Gate", {136, 56});
    static_cast<ElementRecord*>(LLFirst(editor->elements))->flags |= kElementSelected;
    VXShowWindow(editor->window);
    InvalSymbolEditorView(editor, nullptr);
    VXUpdateWindow(editor->window);
    const std::string png = WriteScreenshot(editor->window, "symwindow.png");
    EXPECT_GT(png.size(), 500u);
}

}  // namespace
}  // namespace plexa::test
