// Cell editing in list views: a table of three text columns whose hook fetches, stores and
// compares cell texts; clicks start editing, keys type and move between cells, commits are
// accepted, refused or rewritten by the hook, edit commands and their menu preparation.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "graphics/textedit.h"
#include "platform/clipboard_platform.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/listview_fixture.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"

namespace plexa::test {
namespace {

constexpr int32_t kColumns = 3;

class CellEditing : public ListViewTest {
protected:
    void SetUp() override {
        ListViewTest::SetUp();
        Cells().clear();
        Commit() = 1;
        Skip() = 0;
        Changes().clear();
        ASSERT_NE(MakeList(kVXListEditCells | kVXListMultiSelect, 10, 6), nullptr);
        for (int32_t row = 0; row < 6; ++row)
            for (int32_t column = 1; column <= kColumns; ++column)
                Cell(row, column) = "c" + std::to_string(row) + "." + std::to_string(column);
        Answer() = Table;
    }

public:
    static std::map<std::pair<int32_t, int32_t>, std::string>& Cells() {
        static std::map<std::pair<int32_t, int32_t>, std::string> cells;
        return cells;
    }
    static std::string& Cell(int32_t row, int32_t column) { return Cells()[{row, column}]; }
    static int32_t& Commit() {  // the answer to message 11
        static int32_t answer = 1;
        return answer;
    }
    static int32_t& Skip() {  // a column message 18 skips
        static int32_t column = 0;
        return column;
    }
    static std::vector<std::string>& Changes() {  // message 20: text, command and deletion flags
        static std::vector<std::string> changes;
        return changes;
    }
    static int16_t Left(int32_t column) { return int16_t(10 + (column - 1) * 70); }

    static int32_t Table(int32_t message, VXListViewHookRecord* record) {
        const std::pair<int32_t, int32_t> cell = {record->index, record->column};
        switch (message) {
            case kVXListMouseDown: {
                const int32_t h = record->event->u.mouse.h;
                if (record->index >= 0 && h >= 10 && h < 10 + kColumns * 70)
                    record->column = int16_t((h - 10) / 70 + 1);
                return 0;
            }
            case kVXListEditRect:
                record->rect = {1, Left(record->column), 15, int16_t(Left(record->column) + 60)};
                record->fieldWidth = 60;
                return 0;
            case kVXListFetchText:
                std::snprintf(record->text, kVXListCellTextSize, "%s", Cells()[cell].c_str());
                return 0;
            case kVXListEditState: return 3;
            case kVXListDirtyTest: return Cells()[cell] == record->text ? 1 : 0;
            case kVXListCommit:
                if (Commit() & 1) Cells()[cell] = record->text;
                if (Commit() & 2) std::snprintf(record->text, kVXListCellTextSize, "%s", "rewritten");
                return Commit();
            case kVXListEditNavigate: return kVXListKeyMoveFocus | kColumns;
            case kVXListMoveEditCell: return record->column == Skip() ? 1 : 0;
            case kVXListTextChanged:
                Changes().push_back(std::string(record->text) + "," +
                                    std::to_string(record->param.bytes[0]) + "," +
                                    std::to_string(record->param.bytes[1]));
                return 0;
            default: return 0;
        }
    }

    std::pair<int32_t, int32_t> Focus() const {
        int16_t column = -9;
        const int32_t item = VXGetListViewEditFocus(list, &column, nullptr, nullptr);
        return {item, column};
    }
    std::string EditorText() const {
        char text[kVXListCellTextSize] = {};
        if (Record()->editTE) VXTEGetTextAsString(Record()->editTE, text, sizeof text);
        return text;
    }
    void Type(const char* text) {
        for (const char* c = text; *c; ++c) Key(uint16_t(uint8_t(*c)));
    }
};

TEST_F(CellEditing, AClickStartsEditingAndTabCommits) {
    Click(2 * 16 + 8, 0, {}, Left(2) + 5);
    EXPECT_EQ(Focus(), std::make_pair(2, 2));
    EXPECT_EQ(EditorText(), "c2.2");
    // The click that started the edit leaves the whole text selected: typing replaces it.
    int16_t column = 0;
    int32_t start = -1, end = -1;
    VXGetListViewEditFocus(list, &column, &start, &end);
    EXPECT_EQ(column, 2);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 4);
    EXPECT_EQ(VXCountListViewSelections(list), 0);
    // The editor lies over the cell's field.
    const LRect& view = Record()->editTE->viewRect;
    EXPECT_EQ(view.top, 2 * 16 + 1);
    EXPECT_EQ(view.left, Left(2));
    EXPECT_EQ(view.right, Left(2) + 60);
    Type("X");
    Key(8);  // backspace
    Type("ok");
    EXPECT_EQ(Changes(), (std::vector<std::string>{"X,0,0", ",0,1", "o,0,0", "ok,0,0"}));
    EXPECT_EQ(VXIsListViewCellDirty(list), 1);
    Key(9);
    EXPECT_EQ(Cell(2, 2), "ok");
    EXPECT_EQ(Focus(), std::make_pair(2, 3));
    EXPECT_EQ(EditorText(), "c2.3");
    EXPECT_EQ(VXIsListViewCellDirty(list), 0);
    // Ending without a change sends no commit.
    Messages().clear();
    EXPECT_EQ(VXSetListViewEditFocus(list, -1, 0), 1);
    EXPECT_EQ(Focus(), std::make_pair(-1, 0));
    EXPECT_EQ(std::count(Messages().begin(), Messages().end(), "11:2"), 0);
}

TEST_F(CellEditing, NavigationBetweenCells) {
    struct Case {
        int32_t item, column;
        uint16_t key;
        int32_t toItem, toColumn;
    };
    const Case cases[] = {
        {0, 1, 9, 0, 2},       {0, 3, 9, 1, 1},        {5, 3, 9, 0, 1},   // Tab wraps to row 0
        {0, 1, 25, 5, 3},      {3, 1, 25, 2, 3},                          // Back-tab
        {5, 2, 0xF701, 5, 2},  {0, 2, 0xF700, 0, 2},  {2, 2, 0xF701, 3, 2},
        {4, 3, 0xF729, 0, 1},  {1, 3, 0xF72B, 5, 1},  {1, 3, 13, 2, 1},   // Home, End, Return
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.item << "," << c.column << " key " << c.key);
        ASSERT_EQ(VXSetListViewEditFocus(list, c.item, c.column), 1);
        Key(c.key);
        EXPECT_EQ(Focus(), std::make_pair(c.toItem, c.toColumn));
    }
    // A column the hook skips is passed over.
    Skip() = 2;
    VXSetListViewEditFocus(list, 0, 1);
    Key(9);
    EXPECT_EQ(Focus(), std::make_pair(0, 3));
    Key(25);
    EXPECT_EQ(Focus(), std::make_pair(0, 1));
}

TEST_F(CellEditing, KeysThatLeaveTheTextAloneSendNoChange) {
    VXSetListViewEditFocus(list, 1, 1);
    Answer() = [](int32_t message, VXListViewHookRecord* record) {
        if (message == kVXListEditNavigate) return kVXListKeyToEditor;
        return Table(message, record);
    };
    Key(0xF702);  // left: an editor key
    Key(0xF700);  // up, given to the editor
    Key(0xF703);
    EXPECT_TRUE(Changes().empty());
    EXPECT_EQ(Focus(), std::make_pair(1, 1));
    // A hook that takes a character keeps it from the editor.
    Answer() = [](int32_t message, VXListViewHookRecord* record) {
        if (message == kVXListEditChar) return kVXListKeyHandled;
        return Table(message, record);
    };
    Type("zz");
    EXPECT_EQ(EditorText(), "c1.1");
}

TEST_F(CellEditing, ARefusedCommitKeepsTheCell) {
    VXSetListViewEditFocus(list, 1, 1);
    Type("bad");
    Commit() = 0;
    EXPECT_EQ(VXSetListViewEditFocus(list, 2, 1), 0);
    EXPECT_EQ(Focus(), std::make_pair(1, 1));
    Key(9);
    EXPECT_EQ(Focus(), std::make_pair(1, 1));
    EXPECT_EQ(VXFlushListViewEditField(list), 0);
    // A click on another row does not move the edit either, nor does deselection.
    Click(4 * 16 + 8, 0, {}, Left(1) + 5);
    EXPECT_EQ(Focus(), std::make_pair(1, 1));
    EXPECT_FALSE(VXSetListViewItemSelected(list, -1, true));
    // Losing the keyboard focus is vetoed.
    EXPECT_FALSE(SendFocusEvent(list, false));
    EXPECT_EQ(Cell(1, 1), "c1.1");
    // Once accepted, the text is stored and editing moves on.
    Commit() = 1;
    EXPECT_EQ(VXSetListViewEditFocus(list, 2, 1), 1);
    EXPECT_EQ(Cell(1, 1), "bad");
}

TEST_F(CellEditing, TheHookCanRewriteTheCommittedText) {
    VXSetListViewEditFocus(list, 0, 2);
    Type("draft");
    Commit() = 1 | 2 | 4;
    EXPECT_EQ(VXFlushListViewEditField(list), 1);
    EXPECT_EQ(EditorText(), "rewritten");
    EXPECT_EQ(Record()->editTE->selStart, 0u);
    EXPECT_EQ(Record()->editTE->selEnd, 9u);
    EXPECT_EQ(Cell(0, 2), "draft");
}

TEST_F(CellEditing, FetchedTextCutInsideACharacterIsTrimmed) {
    // 254 bytes and the first byte of a two-byte character fill the buffer.
    Cell(3, 1) = std::string(254, 'a') + "\xC3\xA9";
    VXSetListViewEditFocus(list, 2, 1);
    EXPECT_EQ(VXSetListViewEditFocus(list, 3, 1), 1);
    EXPECT_EQ(EditorText(), std::string(254, 'a'));
    // A three-byte character cut after two bytes.
    Cell(4, 1) = std::string(253, 'b') + "\xE2\x82\xAC";
    EXPECT_EQ(VXSetListViewEditFocus(list, 4, 1), 1);
    EXPECT_EQ(EditorText(), std::string(253, 'b'));
    // Whole characters up to the end stay.
    Cell(5, 1) = std::string(253, 'c') + "\xC3\xA9";
    EXPECT_EQ(VXSetListViewEditFocus(list, 5, 1), 1);
    EXPECT_EQ(EditorText(), Cell(5, 1));
}

TEST_F(CellEditing, RowsChangingAroundTheEditedCell) {
    VXSetListViewEditFocus(list, 3, 2);
    Type("moved");
    VXInsertListViewItemData(list, 0, nullptr, 2);
    EXPECT_EQ(Focus(), std::make_pair(5, 2));
    EXPECT_EQ(Record()->editTE->viewRect.top, 5 * 16 + 1);
    VXDeleteListViewItemData(list, 0, 1);
    EXPECT_EQ(Focus(), std::make_pair(4, 2));
    // Removing the edited row ends editing without storing into another row.
    Messages().clear();
    VXDeleteListViewItemData(list, 4, 1);
    EXPECT_EQ(Focus(), std::make_pair(-1, 0));
    EXPECT_EQ(std::count_if(Messages().begin(), Messages().end(),
                            [](const std::string& m) { return m.rfind("11:", 0) == 0; }),
              0);
    EXPECT_EQ(VXFlushListViewEditField(list), 1);
}

TEST_F(CellEditing, ClicksInsideTheEditedField) {
    VXSetListViewEditFocus(list, 1, 1);
    VXTESetSelect(0, 100, Record()->editTE);
    int32_t answer16 = kVXListClickHandled;
    Answer() = [&answer16](int32_t message, VXListViewHookRecord* record) {
        if (message == kVXListClickInEditor) return answer16;
        return Table(message, record);
    };
    // Handled by the hook: the editor keeps its selection.
    Click(16 + 8, 0, {}, Left(1) + 20);
    EXPECT_EQ(Record()->editTE->selEnd - Record()->editTE->selStart, 4u);
    // Otherwise the editor takes the click: a caret.
    answer16 = 0;
    Click(16 + 8, 0, {}, Left(1) + 20);
    EXPECT_EQ(Record()->editTE->selStart, Record()->editTE->selEnd);
    EXPECT_EQ(Focus(), std::make_pair(1, 1));
    // Bit 2 treats it as a mouse-down: here it starts editing the cell again (no change).
    answer16 = 2;
    Messages().clear();
    Click(16 + 8, 0, {}, Left(1) + 20);
    EXPECT_EQ(std::count(Messages().begin(), Messages().end(), "4:1"), 1);
}

TEST_F(CellEditing, TabPastTheLastCellMovesToTheGivenControl) {
    VXInitControls();
    const Rect field = {250, 20, 272, 200};
    ASSERT_NE(VXCreateControl(top, kVXEditText, &field, "", 5, 0), nullptr);
    Answer() = [](int32_t message, VXListViewHookRecord* record) {
        if (message == kVXListEditNavigate) record->nextFocusItem = 5;
        return Table(message, record);
    };
    VXSetListViewEditFocus(list, 5, 3);
    Type("last");
    Key(9);
    VXWindowRecordTag* controlWindow = nullptr;
    EXPECT_EQ(VXGetFocusItem(top, &controlWindow), 5);
    // Losing the focus committed the cell and ended its editing.
    EXPECT_EQ(Cell(5, 3), "last");
    EXPECT_EQ(Focus().first, -1);
    // A Tab elsewhere still moves between cells.
    VXSetListViewEditFocus(list, 0, 1);
    Key(9);
    EXPECT_EQ(Focus(), std::make_pair(0, 2));
}

TEST_F(CellEditing, PasteFilter) {
    const struct {
        uint16_t c;
        bool accepted;
    } cases[] = {{9, true},      {'a', true},     {' ', true},     {13, false},  {10, false},
                 {0x7F, false},  {0x1F, false},   {0xE9, true},    {0x20AC, true},
                 {0xF700, false}, {0xF72B, false}};
    for (const auto& c : cases) EXPECT_EQ(VXListViewEditCellPasteFilter(c.c), c.accepted) << c.c;
}

TEST_F(CellEditing, EditCommandsAndTheirMenuState) {
    const auto command = [&](uint16_t id) {
        VXEventRecord event = VXClearedEvent(kVXCommandEvent);
        event.u.command.command = id;
        return DispatchEvent(list, &event);
    };
    const auto enabled = [&](uint16_t id) {
        VXPrepCommandRecord record{};
        record.window = list;
        record.command = id;
        record.enabled = 1;
        const int32_t decided = VXListViewPrepCommand(&record);
        return decided ? int32_t(record.enabled) : -1;
    };
    EXPECT_EQ(enabled(302), -1);  // not editing: not decided here
    VXSetListViewEditFocus(list, 0, 1);
    EXPECT_EQ(enabled(302), 1);
    EXPECT_EQ(enabled(300), 1);
    EXPECT_EQ(enabled(306), 1);
    // Select All selects the cell's whole text, wherever the caret was.
    VXTESetSelect(2, 2, Record()->editTE);
    EXPECT_EQ(command(306), 1);
    EXPECT_EQ(Record()->editTE->selStart, 0u);
    EXPECT_EQ(Record()->editTE->selEnd, 4u);
    command(302);  // cut the whole text
    EXPECT_EQ(EditorText(), "");
    EXPECT_EQ(Changes(), std::vector<std::string>{",1,1"});
    EXPECT_EQ(enabled(303), 0);
    std::u16string clip;
    ASSERT_TRUE(PlatformClipboardGetText(&clip));
    EXPECT_EQ(clip, u"c0.1");
    EXPECT_EQ(enabled(304), 1);
    // Paste stops at a character the filter refuses, and at 250 characters.
    ASSERT_TRUE(PlatformClipboardSetText(u"ab\rcd"));
    Changes().clear();
    command(304);
    EXPECT_EQ(EditorText(), "ab");
    ASSERT_TRUE(PlatformClipboardSetText(std::u16string(300, u'x')));
    command(304);
    EXPECT_EQ(EditorText(), "ab" + std::string(248, 'x'));
    ASSERT_EQ(Changes().size(), 2u);
    EXPECT_EQ(Changes()[0], "ab,1,0");
    // Clear deletes the selection.
    VXTESetSelect(0, 2, Record()->editTE);
    command(305);
    EXPECT_EQ(EditorText(), std::string(248, 'x'));
    EXPECT_EQ(Changes().back(), std::string(248, 'x') + ",1,1");
    // A hook that takes the paste keeps the editor as it is.
    Answer() = [](int32_t message, VXListViewHookRecord* record) {
        return message == kVXListPaste &&
                       static_cast<VXListViewPasteFilter*>(record->param.pointer)->limit == 250
                   ? 1
                   : Table(message, record);
    };
    command(304);
    EXPECT_EQ(EditorText(), std::string(248, 'x'));
}

TEST_F(CellEditing, ListsWithoutTheFeatureHaveNoEditor) {
    VXWindowRecordTag* plain = MakeList(0, 4, 3);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(Record()->editTE, nullptr);
    EXPECT_EQ(VXSetListViewEditFocus(plain, 0, 1), 0);
    EXPECT_EQ(VXFlushListViewEditField(plain), 1);
    EXPECT_EQ(VXIsListViewCellDirty(plain), 0);
    VXEventRecord event = VXClearedEvent(kVXCommandEvent);
    event.u.command.command = 304;
    EXPECT_EQ(VXListViewEventHandler(plain, &event), 0);
}

TEST_F(CellEditing, Screenshot) {
    VXSetListViewItemSelected(list, 4, true);
    VXSetListViewEditFocus(list, 2, 2);
    Answer() = [](int32_t message, VXListViewHookRecord* record) {
        if (message == kVXListDrawItem) {
            for (int32_t column = 1; column <= kColumns; ++column) {
                if (record->te && record->column == column) continue;
                const std::string& text = Cells()[{record->index, column}];
                VXMoveTo(Left(column), record->rect.bottom - 4);
                VXDrawTextWithEncoding(text.data(), int32_t(text.size()), 0x08000100);
            }
            return record->te ? 1 : 0;  // frame the edited field
        }
        return Table(message, record);
    };
    Record()->hook = [](VXWindowRecordTag*, int32_t message, VXListViewHookRecord* record) {
        if (message == kVXListDrawItem) StdDrawHiliteEditListViewItem(nullptr, record);
        return Answer()(message, record);
    };
    VXUpdateWindow(top);
    VXUpdateWindow(list);
    const std::string png = WriteScreenshot(top, "celledit-screenshot.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace plexa::test
