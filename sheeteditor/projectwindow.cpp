// The project window (see projectwindow.h).
#include "sheeteditor/projectwindow.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <strings.h>

#include "files/hierarchy.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/openkinds.h"
#include "files/sheetspec.h"
#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "library/libpaths.h"
#include "model/sheet.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "sheeteditor/projectsettings.h"
#include "sheeteditor/sheetclose.h"
#include "sheeteditor/fileselect.h"
#include "sheeteditor/sheetopen.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tooltips.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_treeview.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr int32_t kRowStyle = 4;
constexpr int16_t kIconX = 26, kTextX = 46;
constexpr int16_t kInitialHeight = 227;
// How far each new project window stands below and left of the one before it.
constexpr int16_t kStaggerStep = 24;
constexpr uint32_t kActivationReasons = 8;
constexpr uint32_t kWindowFlags = kVXFlagResizable | kVXFlagClosable | kVXFlagVerticalScroller;
constexpr uint32_t kRowLine = 0x0BFFFFFF;
constexpr int32_t kMissingIcon = 2000, kCircularIcon = 2001, kSheetIcon = 1001;
constexpr uint16_t kCmdOpenSelection = 211, kCmdOpenRow = 1301, kCmdClear = 305, kCmdRemoveRow = 1303,
                   kCmdSelectAll = 306, kCmdRenameRow = 1302, kCmdShowParent = 1304, kCmdFilePath = 1311,
                   kCmdProjectSettings = 319;
constexpr uint16_t kTreeMenu = 1300, kPathMenu = 1310;
constexpr int32_t kPathLimit = 400;
constexpr int32_t kPopupArrowCursor = 0x7FFFFF00;
// The window's record: the project, the project's close question, and the nodes the rows were made
// from in tree order (a rebuild of the hierarchy replaces the nodes: the rows are then made again).
constexpr uint32_t kProjectWindowCode = 0x70726A77;  // 'prjw'

int16_t gProjVwWidth = 0;
int16_t gBaseLineOffset = 0;

struct ProjectWindowRecord : WindowClassInfoTag {
    ProjectRecord* project = nullptr;
    VXWindowRecordTag* header = nullptr;  // the pane of the tool buttons above the tree
    int32_t popupRow = -1;  // the row whose popup shows once its click is over
    std::vector<const SheetNode*> shown;
    std::unordered_set<const SheetNode*> known;
};

ProjectWindowRecord* RecordOf(VXWindowRecordTag* window) {
    VXWindowRecordTag* top = window ? VXGetTopParent(window) : nullptr;
    if (!top || top->typeID != kProjectWindowKind) return nullptr;
    return static_cast<ProjectWindowRecord*>(VXGetWindowClassInfo(top, kProjectWindowCode));
}

std::vector<const SheetNode*> TreeOrder(const ProjectRecord* project) {
    std::vector<const SheetNode*> nodes;
    if (!project->hierarchy) return nodes;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n))
        nodes.push_back(n);
    return nodes;
}

// The node of a row, none when the row's node is gone.
SheetNode* RowNode(VXWindowRecordTag* window, int32_t row) {
    ProjectWindowRecord* record = RecordOf(window);
    VXTreeNode* node = record ? VXGetIndexedTreeViewNode(record->project->window, row) : nullptr;
    if (!node || !record->known.count(static_cast<const SheetNode*>(node->userData))) return nullptr;
    return static_cast<SheetNode*>(node->userData);
}

// The nodes of the selected rows, top to bottom.
std::vector<SheetNode*> SelectedNodes(VXWindowRecordTag* window) {
    std::vector<SheetNode*> nodes;
    for (int32_t row = VXGetListViewSelection(window, 0); row >= 0; row = VXGetListViewSelection(window, row + 1))
        if (SheetNode* node = RowNode(window, row)) nodes.push_back(node);
    return nodes;
}

}  // namespace

void StoreRowStates(ProjectRecord* project) {
    VXWindowRecordTag* window = project->window;
    ProjectWindowRecord* record = RecordOf(window);
    if (!record || record->shown != TreeOrder(project)) return;
    for (const SheetNode* n : record->shown) const_cast<SheetNode*>(n)->selected = 0;
    const int32_t rows = VXCountListViewItems(window);
    for (int32_t row = 0; row < rows; ++row) {
        VXTreeNode* view = VXGetIndexedTreeViewNode(window, row);
        auto* node = view ? static_cast<SheetNode*>(view->userData) : nullptr;
        if (!node) continue;
        node->selected = VXGetListViewItemSelected(window, row) ? 1 : 0;
        if (view->children) node->expanded = view->children->expanded;
    }
}

namespace {

// The rows again when the hierarchy was rebuilt since they were made.
void CatchUp(ProjectRecord* project) {
    ProjectWindowRecord* record = RecordOf(project->window);
    if (record && record->shown != TreeOrder(project)) SyncProjectTree(project);
}

std::string RowName(ProjectRecord* project, const SheetNode* node) {
    char name[kFileSpecNameCapacity] = "";
    GetSheetNodeName(project, node, name, sizeof name);
    const size_t length = std::strlen(name);
    if (length >= 4 && strcasecmp(name + length - 4, ".SHX") == 0) name[length - 4] = 0;
    return name;
}

int32_t TextWidth(const std::string& text) {
    return int32_t(VXMeasureTextBytes(text.data(), int32_t(text.size()), kEncodingUTF8, false));
}

bool SheetFileFound(ProjectRecord* project, SheetNode* node) {
    FileSpec file;
    return node->sheetSpec && ResolveSheetSpecFile(project, node->sheetSpec, &file, nullptr);
}

void DrawRow(VXWindowRecordTag* window, VXListViewHookRecord* record) {
    StdDrawHiliteEditListViewItem(window, record);
    ProjectWindowRecord* owner = RecordOf(window);
    if (!owner || !record->item) return;
    VXTreeNode* view = *static_cast<VXTreeNode**>(record->item);
    auto* node = static_cast<SheetNode*>(view->userData);
    if (!owner->known.count(node)) return;
    ProjectRecord* project = owner->project;
    const Rect& row = record->rect;
    const int16_t indent = int16_t(view->depth * kProjectIndent);
    const int16_t iconTop = int16_t(row.top + (row.bottom - row.top - 16) / 2);
    const Rect icon = {iconTop, int16_t(row.left + indent + kIconX), int16_t(iconTop + 16),
                       int16_t(row.left + indent + kIconX + 16)};
    const int32_t iconId = !SheetFileFound(project, node)          ? kMissingIcon
                           : (node->flags & kSheetNodeCircular) ? kCircularIcon
                                                                 : kSheetIcon;
    VXDrawIcon(iconId, &icon, 0);
    const std::string name = RowName(project, node);
    VXMoveTo(int16_t(row.left + indent + kTextX), int16_t(row.bottom - gBaseLineOffset));
    VXDrawTextWithEncoding(name.data(), int32_t(name.size()), kEncodingUTF8);
    const VXColor before = VXGetForeColor();
    QZSetColor(nullptr, kRowLine, false);
    VXMoveTo(row.left, int16_t(row.bottom - 1));
    VXLineTo(row.right, int16_t(row.bottom - 1));
    QZSetColor(nullptr, before, false);
}

// A click outside a row's icon and name clears the selection; a double click opens the selection.
int32_t RowClick(VXWindowRecordTag* window, VXListViewHookRecord* record) {
    ProjectWindowRecord* owner = RecordOf(window);
    if (!owner || record->index < 0 || !record->event) return 0;
    const int16_t kind = int16_t(record->event->kind);
    if (kind != kVXMouseDownEvent && kind != kVXDoubleClickEvent) return 0;
    SheetNode* node = RowNode(window, record->index);
    if (!node) return 0;
    Rect row{};
    VXGetListViewItemRect(window, record->index, &row);
    VXSetTextStyle(VXGetListViewRecord(window)->textStyle);
    const int16_t indent = int16_t(node->depth * kProjectIndent);
    const int32_t left = row.left + indent + kIconX - 3;
    const int32_t right = row.left + indent + kTextX + 2 + TextWidth(RowName(owner->project, node)) + 3;
    const Point at = {record->event->u.mouse.v, record->event->u.mouse.h};
    if (at.h >= left && at.h < right && at.v >= row.top - 1 && at.v < row.bottom + 1) {
        if (kind == kVXDoubleClickEvent) return kVXListClickSelectToo | kVXListClickAction;
        // The right button, or a click with Control alone, selects the row and then shows its popup.
        const uint32_t mods = record->event->u.mouse.modifiers & (kVXModShift | kVXModControl | kVXModCommand | kVXModOption);
        if (record->event->u.mouse.button == 1 || mods == kVXModControl) {
            VXSetListViewItemSelected(window, -1, false);
            VXSetListViewItemSelected(window, record->index, true);
            owner->popupRow = record->index;
            VXPostDeferredAction([](void* refcon) {
                auto* project = static_cast<ProjectRecord*>(refcon);
                ProjectWindowRecord* r = project->window ? RecordOf(project->window) : nullptr;
                if (r && r->popupRow >= 0) TrackTreeNodePopup(project, std::exchange(r->popupRow, -1));
            }, owner->project, 0);
            return kVXListClickHandled;
        }
        // A top-level row may be dragged to another place among the top-level rows.
        const bool plain = !record->event->u.mouse.shift && !(record->event->u.mouse.modifiers & kVXModCommand);
        return plain && !node->parent ? kVXListClickDragRow : 0;
    }
    VXSetListViewItemSelected(window, -1, false);
    return kVXListClickHandled;
}

// The row of the last node of the top-level node's branch (its own row when it is closed).
int32_t LastRowOfBranch(VXWindowRecordTag* window, int32_t row) {
    const int32_t rows = VXCountListViewItems(window);
    while (row + 1 < rows) {
        SheetNode* next = RowNode(window, row + 1);
        if (!next || !next->parent) break;
        ++row;
    }
    return row;
}

// A drop goes before or after a top-level row, never onto the dragged row itself.
int32_t DropIndicator(VXWindowRecordTag* window, VXListViewHookRecord* record) {
    const auto dragged = int32_t(record->param.value);
    SheetNode* moving = RowNode(window, dragged);
    SheetNode* target = GetTopLevelAncestor(RowNode(window, record->index));
    if (!moving || !target || target == moving) return 0;
    int32_t at = record->index;
    while (at > 0 && RowNode(window, at) != target) --at;
    record->index = record->index < dragged ? at : LastRowOfBranch(window, at);
    return 1;
}

// Moves the dragged top-level sheet before (dragged up) or after (dragged down) the top-level
// sheet dropped on, and writes the new order into the project file.
int32_t ReorderDrop(VXWindowRecordTag* window, VXListViewHookRecord* record) {
    ProjectWindowRecord* owner = RecordOf(window);
    if (!owner || !owner->project) return 0;
    ProjectRecord* project = owner->project;
    const auto dropped = int32_t(record->param.value);
    SheetNode* moving = RowNode(window, record->index);
    SheetNode* target = GetTopLevelAncestor(RowNode(window, dropped));
    if (!moving || moving->parent || !target || target == moving) return 0;
    LinkListHeader* refs = project->topLevelSheets;
    const auto find = [&](const SheetSpec* spec) {
        for (auto* r = static_cast<SubSheetReference*>(LLFirst(refs)); r; r = r->next)
            if (r->child == spec) return r;
        return static_cast<SubSheetReference*>(nullptr);
    };
    SubSheetReference* ref = find(moving->sheetSpec);
    SubSheetReference* anchor = find(target->sheetSpec);
    if (!ref || !anchor || ref == anchor) return 0;
    StoreRowStates(project);
    LLRemoveOrFree(refs, ref, nullptr, false);
    if (dropped < record->index) {
        SubSheetReference* previous = nullptr;
        for (auto* r = static_cast<SubSheetReference*>(LLFirst(refs)); r && r != anchor; r = r->next) previous = r;
        LLInsert(refs, previous, ref);
    } else {
        LLInsert(refs, anchor, ref);
    }
    if (const OSStatus st = WriteProjectTopSheetRefs(project, true)) VXErrorReport(st);
    UpdateProjectHierarchy(project, kHierarchyRebuild);
    UpdateProjectSheetText(project, false);
    SyncProjectTree(project);
    return 2;
}

int32_t ProjectTreeViewHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    switch (message) {
    case kVXListDrawItem: DrawRow(window, record); return 0;
    case kVXListMouseDown: return RowClick(window, record);
    case kVXListDropIndicator: return DropIndicator(window, record);
    case kVXListReorderDrop: return ReorderDrop(window, record);
    default: return 0;
    }
}

void SelectAllRows(VXWindowRecordTag* window) {
    const int32_t rows = VXCountListViewItems(window);
    for (int32_t row = 0; row < rows; ++row) VXSetListViewItemSelected(window, row, true);
}

// ---- The header pane: four tool buttons ----

constexpr int16_t kHeaderHeight = 37;
constexpr int16_t kHeaderToolSize = 29, kHeaderToolStep = 33, kHeaderToolLeft = 4;
constexpr int16_t kToolProjectSettings = 2037, kToolAddSheet = 2002, kToolUpdateHierarchy = 2004,
                  kToolCheckProject = 2053;
constexpr int16_t gProjectToolMap[] = {kToolProjectSettings, kToolAddSheet, kToolUpdateHierarchy, kToolCheckProject};
constexpr uint32_t kHeaderToolFlags = 0x40000;  // an icon button showing the icon of its id
constexpr uint32_t kHeaderBackColor = 0x0C000000;  // theme brush 12
constexpr uint32_t kUpdateFromHeader = 5;

void CreateHeaderTools(VXWindowRecordTag* pane) {
    VXWindowRecordTag* previous = VXSetWindow(pane);
    QZSetColor(pane->graf.port, kHeaderBackColor, true);
    int16_t left = kHeaderToolLeft;
    for (int16_t tool : gProjectToolMap) {
        const Rect r = {int16_t(kHeaderHeight - 4 - kHeaderToolSize), left, int16_t(kHeaderHeight - 4),
                        int16_t(left + kHeaderToolSize)};
        VXCreateControl(pane, kVXIconButton, &r, "", tool, kHeaderToolFlags | uint16_t(tool));
        char tip[256] = "";
        if (*RetrieveToolTipMessage(tool, tip)) VXAddToolTip(pane, -1, kVXControlToolTip, nullptr, tool, tip);
        left = int16_t(left + kHeaderToolStep);
    }
    if (previous && previous != pane) VXSetWindow(previous);
}

int32_t ProjectHeaderEventHandler(VXWindowRecordTag* pane, VXEventRecord* event) {
    if (event->kind == kVXCreateEvent) {
        CreateHeaderTools(pane);
        return 0;
    }
    ProjectWindowRecord* record = RecordOf(pane);
    ProjectRecord* project = record ? record->project : nullptr;
    if (!project) return 0;
    switch (event->kind) {
    case kVXActivateEvent: {
        const bool active = event->u.activate.activated != 0;
        VXSetWindowControlsActive(pane, active);
        Rect all{};
        VXGetClientRect(pane, &all);
        VXInvalRect(pane, &all);
        return 1;
    }
    case kVXControlEvent:
        switch (event->u.control.item) {
        // The rows follow a hierarchy made again at once, not on the next activation.
        case kToolAddSheet:
            AddNewTopLevelSheet(project);
            CatchUp(project);
            return 1;
        case kToolUpdateHierarchy:
            UpdateProjectHierarchy(project, kUpdateFromHeader);
            CatchUp(project);
            return 1;
        case kToolProjectSettings: DispatchCommand(project->window, kCmdProjectSettings, false, false, false); return 1;
        case kToolCheckProject: (void)CheckProjectHierarchy(project, true, false); return 1;  // reports into its log
        default: return 0;
        }
    default: return 0;
    }
}

void CloseProjectWindow(ProjectRecord* project) {
    StoreRowStates(project);
    const OSStatus st = CloseProject(project, kCloseProjectAsk, AskSaveProjectOnClose);
    if (st == status::kUserCancelled) VXAbortCloseAll();
    else if (st) VXErrorReport(st);
}

int32_t DoProjectCommand(ProjectRecord* project, VXEventRecord* event) {
    VXWindowRecordTag* window = project->window;
    switch (event->u.command.command) {
    case kCmdOpenSelection:
    case kCmdOpenRow: OpenSelectedSheets(project); return 1;
    case kCmdClear:
    case kCmdRemoveRow:
        StoreRowStates(project);
        RemoveSelectedProjectSheets(project, event->u.command.shift != 0);
        SyncProjectTree(project);
        return 1;
    case kCmdSelectAll: SelectAllRows(window); return 1;
    case kCmdProjectSettings:
        if (EditProjectSettings(project, false))
            if (const OSStatus st = WriteProjectSettings(project, true)) VXErrorReport(st);
        return 1;
    case kCmdShowParent: {
        const std::vector<SheetNode*> chosen = SelectedNodes(window);
        if (chosen.empty() || !chosen.front()->parent || !RevealSubSheetsParentSymbol(project, chosen.front())) VXBeep();
        return 1;
    }
    case kCmdFilePath: return 1;  // the path menu only shows where the file lies
    case kCmdRenameRow: (void)RenameSelectedTopLevelSheet(project); return 1;  // a refused name changes nothing
    default: return 0;
    }
}

void DestroyWindowOf(ProjectRecord* project) {
    VXWindowRecordTag* window = project->window;
    if (!window) return;
    project->window = nullptr;
    if (ProjectWindowRecord* record = RecordOf(window)) record->project = nullptr;
    VXDestroyWindow(window);
}

bool WindowBounds(ProjectRecord* project, Rect* bounds) {
    if (!project->window) return false;
    StoreRowStates(project);
    VXGetWindowPosition(project->window, bounds);
    return true;
}

void TreeDrawing(ProjectRecord* project, bool on) {
    if (!project->window) return;
    if (on) SyncProjectTree(project);
    VXSetListViewDrawingEnabled(project->window, on);
}

}  // namespace

int16_t ProjectWindowIdealHeight(int32_t rows) {
    return rows < 4 ? int16_t(115) : int16_t(std::min<int32_t>(rows * kProjectRowHeight + 39, 0x7FFF));
}

ProjectRecord* ProjectOfWindow(VXWindowRecordTag* window) {
    ProjectWindowRecord* record = RecordOf(window);
    return record ? record->project : nullptr;
}

SheetNode* GetTopLevelAncestor(SheetNode* node) {
    while (node && node->parent) node = node->parent;
    return node;
}

void StaggerProjectWindow(VXWindowRecordTag* window) {
    if (!window || !VXIsWindowVisible(window, false)) return;
    std::vector<Point> taken;
    for (VXWindowRecordTag* w : VXTopLevelWindows()) {
        if (w == window || w->typeID != kProjectWindowKind || !VXIsWindowVisible(w, false)) continue;
        Rect r{};
        VXGetWindowPosition(w, &r);
        taken.push_back(Point{r.top, r.left});
    }
    Rect largest{};
    VXCalcMaxWindowRect(kVXWindowDocument, 0, kWindowFlags, nullptr, &largest);
    Rect place{};
    VXGetWindowPosition(window, &place);
    const Rect first = place;
    auto isTaken = [&](const Rect& r) {
        return std::any_of(taken.begin(), taken.end(), [&](Point p) {
            return std::abs(p.v - r.top) < kStaggerStep / 2 && std::abs(p.h - r.left) < kStaggerStep / 2;
        });
    };
    // One step at a time, as many as there are windows; back at the top past the bottom.
    for (size_t step = 0; step <= taken.size() && isTaken(place); ++step) {
        VXOffsetRect(&place, int16_t(-kStaggerStep), kStaggerStep);
        if (place.bottom > largest.bottom || place.left < largest.left)
            VXOffsetRect(&place, int16_t(first.left - place.left), int16_t(largest.top - place.top));
    }
    if (!VXEqualRect(&place, &first)) VXSetWindowPosition(window, &place);
}

VXWindowRecordTag* CreateProjectWindow(ProjectRecord* project) {
    if (!project) return nullptr;
    if (project->window) return project->window;
    txStyle* style = GetTempDefaultStyle(kRowStyle);
    VXSetTextStyle(style);
    gProjVwWidth = int16_t(TextWidth("123456789012345678901234567890") + 50);
    StyleMetrics metrics{};
    GetStyleMetrics(style, &metrics);
    gBaseLineOffset = int16_t(std::max(0, (kProjectRowHeight - metrics.ascent - metrics.descent) / 2 +
                                              metrics.descent));
    // At the right edge of the largest window rectangle.
    Rect largest{};
    VXCalcMaxWindowRect(kVXWindowDocument, 0, kWindowFlags, nullptr, &largest);
    const Rect content = {largest.top, int16_t(largest.right - gProjVwWidth), int16_t(largest.top + kInitialHeight),
                          largest.right};
    char name[kFileSpecNameCapacity];
    GetFileSpecName(&project->file.spec, name, sizeof name);
    std::string title = name;
    if (title.size() > 4 && strcasecmp(title.c_str() + title.size() - 4, kProjectExtension) == 0)
        title.resize(title.size() - 4);
    VXWindowRecordTag* window = VXCreateWindow(kVXWindowDocument, 0, kWindowFlags, kProjectWindowKind, 0, 0,
                                               &content, title.c_str(), 0, project, ProjectWindowEventHandler);
    if (!window) return nullptr;
    auto* record = new ProjectWindowRecord;
    record->project = project;
    VXSetWindowClassInfo(window, record, kProjectWindowCode);
    // The header first: the tree takes the rest of the window.
    record->header = VXCreateDividedChildWindow(nullptr, 0, 0, window, kHeaderHeight, 0, project, ProjectHeaderEventHandler);
    if (!record->header) {
        VXDestroyWindow(window);
        return nullptr;
    }
    VXInstallTreeView(window, style, kProjectRowHeight, kVXListMultiSelect | kVXListExtendSelect, 0,
                      ProjectTreeViewHook);
    VXAllowDroppedFiles(window, true);
    const Rect limits = {95, gProjVwWidth, 5000, 800};
    VXSetMinMaxRect(window, &limits);
    std::string path;
    if (CreateURLFromFileSpec(&project->file.spec, false, &path) == 0)
        VXSetWindowFileProxy(window, path.c_str(), kProjectFileType);
    window->idealWidth = gProjVwWidth;
    window->idealHeight = ProjectWindowIdealHeight(0);
    project->window = window;
    return window;
}

void SyncProjectTree(ProjectRecord* project) {
    VXWindowRecordTag* window = project ? project->window : nullptr;
    ProjectWindowRecord* record = RecordOf(window);
    if (!record) return;
    VXSetListViewDrawingEnabled(window, false);
    VXEmptyTreeView(window);
    record->shown = TreeOrder(project);
    record->known = std::unordered_set<const SheetNode*>(record->shown.begin(), record->shown.end());
    // Parents come before their children in tree order.
    std::unordered_map<const SheetNode*, VXTreeNode*> views;
    for (const SheetNode* n : record->shown) {
        VXTreeNode* parent = n->parent ? views[n->parent] : nullptr;
        if (n->parent && !parent) continue;
        if (VXTreeNode* view = VXInsertNewTreeNode(window, parent, -1, const_cast<SheetNode*>(n))) views[n] = view;
    }
    // Branches open as the nodes remember them, then the selection (rows exist only when shown).
    for (const SheetNode* n : record->shown)
        if (n->expanded && n->firstChild && views[n]) VXExposeTreeViewBranch(window, views[n]);
    for (const SheetNode* n : record->shown) {
        if (!n->selected || !views[n]) continue;
        const int32_t row = VXGetTreeNodeListViewIndex(views[n]);
        if (row >= 0) VXSetListViewItemSelected(window, row, true);
    }
    window->idealHeight = ProjectWindowIdealHeight(VXCountListViewItems(window));
    VXSetListViewDrawingEnabled(window, true);
    Rect all{};
    VXGetClientRect(window, &all);
    VXInvalRect(window, &all);
}

int32_t CountProjectRows(ProjectRecord* project) {
    if (!project || !project->window) return 0;
    CatchUp(project);
    return VXCountListViewItems(project->window);
}

int32_t CountSelectedProjectRows(ProjectRecord* project) {
    if (!project || !project->window) return 0;
    CatchUp(project);
    return VXCountListViewSelections(project->window);
}

bool IsTopLevelSheetSelected(VXWindowRecordTag* window, bool* unresolved) {
    if (unresolved) *unresolved = false;
    ProjectWindowRecord* record = RecordOf(window);
    if (!record || !record->project) return false;
    CatchUp(record->project);
    bool any = false;
    for (SheetNode* node : SelectedNodes(record->project->window)) {
        if (node->parent) continue;
        any = true;
        if (unresolved && !SheetFileFound(record->project, node)) *unresolved = true;
    }
    return any;
}

namespace {

constexpr uint16_t kRenameTemplate = 1003;
constexpr int16_t kRenameNameItem = 3, kRenameSelectItem = 4;
constexpr size_t kRenameLimit = 31;

struct RenameState {
    std::string name;
    bool confirmed = false;
};

void ShowRenameName(VXWindowRecordTag* dialog, const std::string& name) {
    VXSetItemText(dialog, kRenameNameItem, name.substr(0, kRenameLimit).c_str());
    VXSelectItemText(dialog, kRenameNameItem, 0, 32767);
    VXSetItemEnabled(dialog, 1, !name.empty());
}

int32_t RenameDialogHandler(VXWindowRecordTag* dialog, VXEventRecord* event) {
    auto* state = static_cast<RenameState*>(dialog->refCon);
    if (!state) return 0;
    char text[256] = "";
    switch (event->kind) {
    case kVXCreateEvent: ShowRenameName(dialog, state->name); return 0;
    case kVXControlEvent:
        if (event->u.control.item == kRenameSelectItem) {
            FileSpec file;
            if (ChooseSheetFiles("Select Sheet File", "Select", &file, 1) == 1) {
                if (FileMatchesOpenKinds(&file, kOpenKindSheets)) {
                    char name[kFileSpecNameCapacity];
                    GetFileSpecName(&file, name, sizeof name);
                    ShowRenameName(dialog, name);
                } else {
                    VXBeep();
                }
            }
            return 1;
        }
        if (event->u.control.item == kRenameNameItem) {
            VXGetItemText(dialog, kRenameNameItem, text);
            if (std::strlen(text) > kRenameLimit) {
                text[kRenameLimit] = 0;
                VXSetItemText(dialog, kRenameNameItem, text);
            }
            VXSetItemEnabled(dialog, 1, text[0] != 0);
        }
        return 0;
    case kVXEndModalEvent:
        state->confirmed = event->u.endModal.item == 1;
        VXGetItemText(dialog, kRenameNameItem, text);
        state->name = std::string(text).substr(0, kRenameLimit);
        return 0;
    default: return 0;
    }
}

}  // namespace

bool RenameSelectedTopLevelSheet(ProjectRecord* project) {
    if (!project || !project->window) return false;
    CatchUp(project);
    const std::vector<SheetNode*> chosen = SelectedNodes(project->window);
    if (chosen.empty() || chosen.front()->parent) return false;
    SheetNode* node = chosen.front();
    RenameState state{RowName(project, node), false};
    VXModalDialog(kRenameTemplate, kVXPlaceCentre, RenameDialogHandler, &state);
    if (!state.confirmed || state.name.empty()) return false;
    StoreRowStates(project);
    const bool renamed = ChangeTopLevelSheetName(project, node, state.name.c_str());
    SyncProjectTree(project);
    return renamed;
}

VXMenuRecord* BuildFilePathMenu(const FileSpec* file) {
    VXMenuRecord* menu = VXNewMenu(kPathMenu, "path");
    if (!menu) return nullptr;
    char name[kFileSpecNameCapacity];
    GetFileSpecName(file, name, sizeof name);
    int32_t item = 0;
    VXInsertMenuItem(menu, true, ++item, kCmdFilePath, name);
    std::string path;
    if (CreateURLFromFileSpec(file, false, &path) != 0 || path.empty() || path.size() > size_t(kPathLimit)) return menu;
    VXInsertMenuItem(menu, true, ++item, 0, "-");
    // The enclosing folders, innermost first.
    size_t end = path.rfind('/');
    while (end != std::string::npos && end > 0) {
        const size_t start = path.rfind('/', end - 1);
        const std::string folder = path.substr(start == std::string::npos ? 0 : start + 1,
                                               end - (start == std::string::npos ? 0 : start + 1));
        if (!folder.empty()) VXInsertMenuItem(menu, true, ++item, kCmdFilePath, folder.c_str());
        if (start == std::string::npos) break;
        end = start;
    }
    return menu;
}

void TrackTreeNodePopup(ProjectRecord* project, int32_t row) {
    VXWindowRecordTag* window = project ? project->window : nullptr;
    SheetNode* node = window ? RowNode(window, row) : nullptr;
    if (!node) return;
    VXMenuRecord* menu = VXNewMenu(kTreeMenu, "tree");
    if (!menu) return;
    int32_t item = 0;
    FileSpec file;
    if (node->sheetSpec && ResolveSheetSpecFile(project, node->sheetSpec, &file, nullptr)) {
        VXInsertMenuItem(menu, true, ++item, 1, "File and Path");
        VXSetMenuItemChildMenu(menu, true, item, BuildFilePathMenu(&file));
        VXInsertMenuItem(menu, true, ++item, kCmdOpenRow, "Open");
        if (node->flags & kSheetNodeCircular) VXSetMenuItemEnabled(menu, true, item, false);
    } else if (!node->parent) {
        VXInsertMenuItem(menu, true, ++item, kCmdRenameRow, "Rename...");
    }
    if (node->parent) {
        if (item > 0) VXInsertMenuItem(menu, true, ++item, 0, "-");
        VXInsertMenuItem(menu, true, ++item, kCmdShowParent, "Show Parent");
    } else {
        VXInsertMenuItem(menu, true, ++item, 0, "-");
        VXInsertMenuItem(menu, true, ++item, kCmdRemoveRow, "Remove");
    }
    VXSetMenuSize(menu, 1);
    Rect r{};
    VXGetListViewItemRect(window, row, &r);
    const int16_t indent = int16_t(node->depth * kProjectIndent);
    VXPushCursor(kPopupArrowCursor);
    (void)VXPopupMenuClick(window, Point{r.top, int16_t(r.left + indent + kIconX)}, 0, true, menu, true, 0);  // the choice arrives as a command
    VXPopCursor();
    VXDestroyMenuEx(menu, true);
}

void AddDroppedFileToProject(ProjectRecord* project, const char* path, int32_t index, int32_t count) {
    static bool added = false;
    if (!project || !path) return;
    VXWindowRecordTag* window = project->window;
    if (index == 0) {
        added = false;
        if (count > 1 && window) VXSetListViewDrawingEnabled(window, false);
    }
    FileSpec file;
    if (FileSpecFromPathName(nullptr, path, &file) == 0 && FileMatchesOpenKinds(&file, kOpenKindSheets) &&
        AddTopLevelSheetToProject(project, &file))
        added = true;
    if (index + 1 < count) return;
    if (added) {
        // The project is written once, after the last file.
        if (const OSStatus st = WriteProjectTopSheetRefs(project, true)) VXErrorReport(st);
        UpdateProjectHierarchy(project, kHierarchyRebuild);
    }
    if (window) {
        SyncProjectTree(project);
        VXSetListViewDrawingEnabled(window, true);
    }
}

void OpenSelectedSheets(ProjectRecord* project) {
    if (!project || !project->window) return;
    CatchUp(project);
    StoreRowStates(project);
    const std::vector<SheetNode*> chosen = SelectedNodes(project->window);
    bool failed = false;
    // Opening a sheet may rebuild the hierarchy: the nodes are looked up again after each.
    for (size_t i = 0; i < chosen.size(); ++i) {
        if (!RecordOf(project->window) || !RecordOf(project->window)->known.count(chosen[i])) break;
        if (!OpenSheetContext(project, chosen[i], true)) failed = true;
        if (TreeOrder(project) != RecordOf(project->window)->shown) break;
    }
    if (failed) VXBeep();
}

int32_t ProjectWindowEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    ProjectWindowRecord* record = RecordOf(window);
    ProjectRecord* project = record ? record->project : nullptr;
    if (!project) return 0;
    switch (event->kind) {
    case kVXCreateEvent: return 0;
    case kVXCloseEvent:
        CloseProjectWindow(project);
        return 1;
    case kVXDestroyEvent:
        record->header = nullptr;
        project->window = nullptr;
        record->project = nullptr;
        return 0;
    case kVXActivateEvent:
        if (record->header) DispatchEvent(record->header, event);
        VXSetWindow(window);
        if (event->u.activate.activated) {
            // Rebuilt only when the tree was marked out of date; the project's library list
            // becomes the current one.
            UpdateProjectHierarchy(project, kActivationReasons);
            CatchUp(project);
            SetLibFilesProject(project, false);
        } else if (!VXIsModalWindowActive()) {
            VXSetListViewItemSelected(window, -1, false);
            StoreRowStates(project);
        }
        return 0;
    case kVXCharEvent:
        if (VXIsDeletionChar(event->u.character.character) && VXCountListViewSelections(window) > 0) {
            DispatchCommand(window, kCmdClear, true, event->u.character.shift != 0, event->u.character.option != 0);
            return 1;
        }
        return 0;
    case kVXControlEvent:
        if (event->u.control.controlType == 7 && event->u.control.values.listBox.second) {
            OpenSelectedSheets(project);
            return 1;
        }
        return 0;
    case kVXCommandEvent: CatchUp(project); return DoProjectCommand(project, event);
    case kVXDroppedFileEvent:
        AddDroppedFileToProject(project, static_cast<const char*>(event->u.droppedFile.fileSpec),
                                event->u.droppedFile.index, event->u.droppedFile.count);
        return 1;
    default: return 0;
    }
}

int32_t AskSaveProjectOnClose(ProjectRecord* project) {
    char title[200] = "";
    if (project->window) VXGetWindowTitle(project->window, title);
    bool save = false;
    if (!AskSaveDialog(title, kSaveQuestionProject, &save)) return status::kUserCancelled;
    return save ? 1 : 0;
}

void AddProjectWindowHooks(ProjectServices& services, ProjectOpenHooks& open, HierarchyHooks& hierarchy) {
    services.createWindow = CreateProjectWindow;
    services.destroyWindow = DestroyWindowOf;
    services.windowBounds = WindowBounds;
    services.markTreeInstances = [](ProjectRecord* project) {
        // Without the tree the instances keep what they hold.
        if (!RecordOf(project->window)) return;
        StoreRowStates(project);
        MarkTreeInstances(project, kTreeStateExpanded);
    };
    open.treeDrawing = TreeDrawing;
    // Opening gives back the branches the file keeps open.
    open.restoreTreeStates = [](ProjectRecord* project) { RestoreMarkedInstaceStates(project, kTreeStateExpanded); };
    hierarchy.redrawTree = SyncProjectTree;
}

}  // namespace plexa
