// Tree views, headless: rows kept in step with the tree through expanding, collapsing,
// inserting, deleting, moving and sorting (checked against a plain walk of the tree, also under
// random changes), a deep tree, the disclosure control clicked with and without Option, keys
// through the application's list hook, and a screenshot for a person to look at.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <algorithm>

#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textstyle.h"
#include "platform/control_platform.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_treeview.h"

namespace plexa::test {
namespace {

constexpr uint16_t kLeftArrow = 0xF702, kRightArrow = 0xF703;

const char* NodeName(VXTreeNode* node) { return static_cast<const char*>(node->userData); }

// The application's list hook: draws the node's name and opens or closes the selected node with
// the right and left arrows.
int32_t AppHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    if (message == kVXListDrawItem) {
        StdDrawHiliteEditListViewItem(window, record);
        VXTreeNode* node = *static_cast<VXTreeNode**>(record->item);
        VXMoveTo(record->rect.left + 20 + 16 * node->depth, record->rect.bottom - 4);
        VXDrawTextWithEncoding(NodeName(node), int32_t(std::strlen(NodeName(node))), kEncodingUTF8);
        return 0;
    }
    // Triangles indented by depth.
    if (message == kVXListDisclosurePosition && record->item) {
        VXTreeNode* node = *static_cast<VXTreeNode**>(record->item);
        record->param.point = Point{int16_t(record->rect.top + record->rowHeight / 2),
                                    int16_t(record->rect.left + 11 + 16 * node->depth)};
        return 1;
    }
    if (message == kVXListKey && record->index >= 0) {
        const uint16_t key = record->event->u.character.character;
        VXTreeNode* node = VXGetIndexedTreeViewNode(window, record->index);
        if (key == kRightArrow) VXExposeTreeViewBranch(window, node);
        if (key == kLeftArrow) VXCollapseTreeViewBranch(window, node);
        if (key == kRightArrow || key == kLeftArrow) return kVXListKeyHandled;
    }
    return 0;
}

class TreeView : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        VXInitControls();
        window = Document("Tree", nullptr, Rect{100, 100, 400, 400});
        ASSERT_NE(window, nullptr);
        VXShowWindow(window);
        VXSelectWindow(window);
        txStyle* style = CreateTextStyle(nullptr, nullptr);
        ASSERT_NE(style, nullptr);
        SetupDefaultStyle(style, 26);
        EXPECT_EQ(VXInstallTreeView(window, style, 18, 0, 0, AppHook), 18);
        DestroyTextStyle(style);
        ASSERT_NE(VXGetTreeViewRecord(window), nullptr);
    }
    void TearDown() override {
        WindowsTest::TearDown();
        PlatformControlFlushDestroyed();
    }
    VXTreeNode* Add(VXTreeNode* parent, const char* name, int32_t index = -1) {
        return VXInsertNewTreeNode(window, parent, index, const_cast<char*>(name));
    }
    // The rows' names, "|" between.
    std::string Rows() {
        std::string all;
        for (int32_t i = 0; i < VXCountListViewItems(window); ++i)
            all += (i ? "|" : "") + std::string(NodeName(VXGetIndexedTreeViewNode(window, i)));
        return all;
    }
    // The rows a plain walk of the tree shows, and every node's row against its place.
    void ExpectConsistent() {
        std::vector<VXTreeNode*> shown;
        std::vector<VXTreeNode*> hidden;
        struct Walk {
            VXTreeNode* node;
            bool visible;
        };
        std::vector<Walk> stack;
        for (VXTreeNode* n = VXGetTopLevelTreeNode(window); n; n = n->next)
            stack.push_back({n, true});
        std::reverse(stack.begin(), stack.end());
        while (!stack.empty()) {
            const Walk w = stack.back();
            stack.pop_back();
            (w.visible ? shown : hidden).push_back(w.node);
            std::vector<Walk> children;
            for (VXTreeNode* c = VXGetTreeNodeChild(w.node); c; c = c->next)
                children.push_back({c, w.visible && w.node->children->expanded});
            stack.insert(stack.end(), children.rbegin(), children.rend());
        }
        ASSERT_EQ(VXCountListViewItems(window), int32_t(shown.size()));
        for (size_t i = 0; i < shown.size(); ++i) {
            EXPECT_EQ(VXGetIndexedTreeViewNode(window, int32_t(i)), shown[i]) << i;
            EXPECT_EQ(VXGetTreeNodeListViewIndex(shown[i]), int32_t(i));
        }
        for (VXTreeNode* n : hidden) EXPECT_EQ(VXGetTreeNodeListViewIndex(n), -2);
    }
    VXWindowRecordTag* window = nullptr;
};

TEST_F(TreeView, ExpandCollapseAndInsertKeepRowsInStep) {
    VXTreeNode* a = Add(nullptr, "A");
    VXTreeNode* b = Add(nullptr, "B");
    Add(nullptr, "C");
    VXTreeNode* b1 = Add(b, "B1");
    VXTreeNode* b2 = Add(b, "B2");
    Add(b1, "B1a");
    // Inserting into a collapsed parent changes no rows.
    EXPECT_EQ(Rows(), "A|B|C");
    EXPECT_EQ(VXGetTreeNodeListViewIndex(b1), -2);
    // An expanded child brings its own rows along.
    EXPECT_EQ(VXExposeTreeViewBranch(window, b1), 1);
    EXPECT_EQ(Rows(), "A|B|C");
    EXPECT_EQ(VXExposeTreeViewBranch(window, b), 1);
    EXPECT_EQ(VXExposeTreeViewBranch(window, b), 0);
    EXPECT_EQ(Rows(), "A|B|B1|B1a|B2|C");
    EXPECT_EQ(VXCollapseTreeViewBranch(window, b), 1);
    EXPECT_EQ(VXCollapseTreeViewBranch(window, b), 0);
    EXPECT_EQ(Rows(), "A|B|C");
    VXExposeTreeViewBranch(window, b);
    EXPECT_EQ(Rows(), "A|B|B1|B1a|B2|C");
    // No children: nothing to expand.
    EXPECT_EQ(VXExposeTreeViewBranch(window, a), 0);
    EXPECT_EQ(VXToggleTreeViewBranch(window, a, false), 0);
    Add(b2, "B2a", 0);
    Add(b, "B0", 0);
    EXPECT_EQ(Rows(), "A|B|B0|B1|B1a|B2|C");
    ExpectConsistent();
    EXPECT_EQ(VXGetTreeViewNodePosition(window, b2), 5);  // A B B0 B1 B1a B2
    EXPECT_EQ(VXCalcTreeViewDepth(window), 2);
    EXPECT_EQ(VXGetTreeNodeChildIndex(window, b2), 2);
    EXPECT_EQ(VXGetIndexedTreeNodeChild(window, b, 2), b2);
    EXPECT_EQ(VXGetIndexedTreeNodeChild(window, b, 3), nullptr);
    EXPECT_EQ(VXGetIndexedTreeNodeChild(window, nullptr, -1), nullptr);
    EXPECT_EQ(VXGetIndexedTreeViewNode(window, 99), nullptr);
    VXDeleteTreeNode(window, b1, false);
    EXPECT_EQ(Rows(), "A|B|B0|B2|C");
    ExpectConsistent();
    VXEmptyTreeView(window);
    EXPECT_EQ(Rows(), "");
    EXPECT_EQ(VXCalcTreeViewDepth(window), -1);
    VXEmptyTreeView(window);  // on an empty tree: nothing
}

TEST_F(TreeView, MoveAndSort) {
    VXTreeNode* p = Add(nullptr, "P");
    VXTreeNode* q = Add(nullptr, "Q");
    VXTreeNode* x = Add(p, "X");
    Add(x, "X1");
    Add(x, "X2");
    Add(q, "Q1");
    VXExposeTreeViewBranch(window, x);
    VXExposeTreeViewBranch(window, p);
    VXExposeTreeViewBranch(window, q);
    EXPECT_EQ(Rows(), "P|X|X1|X2|Q|Q1");
    // A subtree with its visible rows moves to another expanded parent.
    ASSERT_TRUE(VXMoveTreeNode(window, x, q, nullptr));
    EXPECT_EQ(Rows(), "P|Q|Q1|X|X1|X2");
    EXPECT_EQ(x->depth, 1);
    EXPECT_EQ(VXGetTreeNodeChild(x)->depth, 2);
    ExpectConsistent();
    // A node cannot go under its own subtree.
    EXPECT_FALSE(VXMoveTreeNode(window, q, x, nullptr));
    ASSERT_TRUE(VXMoveTreeNode(window, x, nullptr, p));
    EXPECT_EQ(Rows(), "X|X1|X2|P|Q|Q1");
    ExpectConsistent();
    // Sorting by name, then with everything equal (the order stays).
    VXSortTreeViewBranch(window, nullptr, [](VXWindowRecordTag*, VXTreeNode* a, VXTreeNode* b) {
        return int32_t(std::strcmp(NodeName(b), NodeName(a)));
    });
    EXPECT_EQ(Rows(), "X|X1|X2|Q|Q1|P");
    ExpectConsistent();
    VXSortTreeViewBranch(window, nullptr,
                         [](VXWindowRecordTag*, VXTreeNode*, VXTreeNode*) { return int32_t(0); });
    EXPECT_EQ(Rows(), "X|X1|X2|Q|Q1|P");
    VXSortTreeViewBranch(window, x, [](VXWindowRecordTag*, VXTreeNode* a, VXTreeNode* b) {
        return int32_t(std::strcmp(NodeName(b), NodeName(a)));
    });
    EXPECT_EQ(Rows(), "X|X2|X1|Q|Q1|P");
    ExpectConsistent();
}

TEST_F(TreeView, NodesOfAnotherTreeAreRefused) {
    VXTreeNode* a = Add(nullptr, "A");
    Add(a, "A1");
    VXWindowRecordTag* other = Document("Other", nullptr);
    ASSERT_NE(other, nullptr);
    VXInstallTreeView(other, nullptr, 18, 0, 0, nullptr);
    EXPECT_EQ(VXExposeTreeViewBranch(other, a), 0);
    EXPECT_EQ(VXInsertNewTreeNode(other, a, 0, nullptr), nullptr);
    EXPECT_FALSE(VXMoveTreeNode(other, a, nullptr, nullptr));
    VXDeleteTreeNode(other, a, true);
    EXPECT_EQ(VXGetTreeViewNodePosition(other, a), -1);
    EXPECT_EQ(VXCountListViewItems(other), 0);
    EXPECT_EQ(Rows(), "A");
    VXDestroyWindow(other);
}

TEST_F(TreeView, EnumerationFollowsTheDescendFlag) {
    VXTreeNode* a = Add(nullptr, "A");
    Add(a, "A1");
    VXTreeNode* b = Add(nullptr, "B");
    Add(b, "B1");
    std::string seen;
    const VXTreeEnumProc note = [](VXTreeNode* n, bool* descend, void* data) {
        *static_cast<std::string*>(data) += std::string(NodeName(n)) + (*descend ? "+" : "") + " ";
        if (std::strcmp(NodeName(n), "B") == 0) *descend = false;
        return int32_t(0);
    };
    VXEnumTreeViewItems(VXGetTopLevelTreeNode(window), note, &seen);
    EXPECT_EQ(seen, "A+ A1 B+ ");
    EXPECT_EQ(VXEnumTreeViewItems(a, [](VXTreeNode* n, bool*, void*) {
        return int32_t(std::strcmp(NodeName(n), "A1") == 0 ? 7 : 0);
    }, nullptr), 7);
}

TEST_F(TreeView, DeepTreeNeedsNoRecursion) {
    const int32_t depth = 20000;
    VXTreeNode* parent = nullptr;
    for (int32_t i = 0; i < depth; ++i) parent = Add(parent, "deep");
    EXPECT_EQ(VXCalcTreeViewDepth(window), depth - 1);
    EXPECT_EQ(VXToggleTreeViewBranch(window, VXGetTopLevelTreeNode(window), true), 1);
    EXPECT_EQ(VXCountListViewItems(window), depth);
    EXPECT_EQ(VXGetTreeNodeListViewIndex(parent), depth - 1);
    EXPECT_EQ(VXToggleTreeViewBranch(window, VXGetTopLevelTreeNode(window), true), 0);
    EXPECT_EQ(VXCountListViewItems(window), 1);
    VXEmptyTreeView(window);
}

TEST_F(TreeView, RandomChangesKeepRowsInStep) {
    std::mt19937 random(TestSeed());
    std::vector<VXTreeNode*> nodes;
    const int32_t steps = StressCount(400);
    for (int32_t step = 0; step < steps; ++step) {
        auto pick = [&]() -> VXTreeNode* {
            return nodes.empty() ? nullptr : nodes[random() % nodes.size()];
        };
        switch (random() % 6) {
            case 0:
            case 1: {
                VXTreeNode* parent = random() % 4 ? pick() : nullptr;
                if (VXTreeNode* n = Add(parent, "n", int32_t(random() % 4) - 1)) nodes.push_back(n);
                break;
            }
            case 2:
                if (VXTreeNode* n = pick()) VXToggleTreeViewBranch(window, n, random() % 4 == 0);
                break;
            case 3:
                if (VXTreeNode* n = pick()) {
                    // Forget the subtree's nodes, then delete it.
                    std::vector<VXTreeNode*> kept;
                    for (VXTreeNode* m : nodes) {
                        VXTreeNode* p = m;
                        while (p && p != n) p = p->parent;
                        if (!p) kept.push_back(m);
                    }
                    nodes.swap(kept);
                    VXDeleteTreeNode(window, n, random() % 2 == 0);
                }
                break;
            case 4:
                if (VXTreeNode* n = pick()) VXMoveTreeNode(window, n, pick(), pick());
                break;
            case 5:
                VXSortTreeViewBranch(window, pick(),
                                     [](VXWindowRecordTag*, VXTreeNode* a, VXTreeNode* b) {
                                         return int32_t(a < b ? -1 : a > b ? 1 : 0);
                                     });
                break;
        }
        ASSERT_NO_FATAL_FAILURE(ExpectConsistent()) << "step " << step;
        if (HasFailure()) break;
    }
}

TEST_F(TreeView, DisclosureClicksAndKeys) {
    VXTreeNode* a = Add(nullptr, "A");
    VXTreeNode* a1 = Add(a, "A1");
    Add(a1, "A1x");
    Add(nullptr, "B");
    VXTreeViewRecord* tree = VXGetTreeViewRecord(window);
    // The mouse over row 0 brings the disclosure control there; a click opens only the node.
    VXPrepHitTestTreeView(window, Point{5, 11});
    EXPECT_EQ(tree->disclosureRow, 0);
    Rect r{};
    VXGetControlRect(tree->disclosure, &r);
    EXPECT_EQ(r.left, 11 - 7);
    PlatformControlTestClick(tree->disclosure->platform, 7, 7);
    EXPECT_EQ(Rows(), "A|A1|B");
    PlatformControlTestClick(tree->disclosure->platform, 7, 7);
    EXPECT_EQ(Rows(), "A|B");
    // With Option held the whole branch opens.
    TestSetKeyDown(58, true);
    PlatformControlTestClick(tree->disclosure->platform, 7, 7);
    TestSetKeyDown(58, false);
    EXPECT_EQ(Rows(), "A|A1|A1x|B");
    // A row without children hides the control.
    VXPrepHitTestTreeView(window, Point{int16_t(18 * 3 + 5), 11});
    EXPECT_EQ(tree->disclosureRow, -1);
    // Keys through the application's hook: left closes, right opens the selected node.
    VXSetListViewItemSelected(window, 0, true);
    VXSendCharacterEventToWindow(window, kLeftArrow, 0);
    EXPECT_EQ(Rows(), "A|B");
    VXSendCharacterEventToWindow(window, kRightArrow, 0);
    EXPECT_EQ(Rows(), "A|A1|A1x|B");
}

// A click on a row's triangle opens or closes its branch, as the user sees it drawn (no move of
// the mouse over the row came first); a click on the row's name does not.
TEST_F(TreeView, AClickOnATriangleTogglesItsBranch) {
    VXTreeNode* a = Add(nullptr, "A");
    Add(a, "A1");
    Add(nullptr, "B");
    auto click = [&](int32_t h, int32_t v) {
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, window, h, v));
        PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, window, h, v));
        TestRunDueWork();
    };
    click(11, 9);
    EXPECT_EQ(Rows(), "A|A1|B");
    click(60, 9);
    EXPECT_EQ(Rows(), "A|A1|B");
    click(12, 8);
    EXPECT_EQ(Rows(), "A|B");
}

TEST_F(TreeView, Screenshot) {
    VXTreeNode* sheets = Add(nullptr, "Sheets");
    VXTreeNode* top = Add(sheets, "Top level");
    Add(top, "Power supply");
    Add(top, "Amplifier");
    Add(sheets, "Connectors");
    Add(nullptr, "Libraries");
    VXToggleTreeViewBranch(window, sheets, true);
    VXSetListViewItemSelected(window, 2, true);
    VXInvalRect(window, nullptr);
    VXUpdateWindow(window);
    const std::string png = WriteScreenshot(window, "treeview-screenshot.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace plexa::test
