// The parts dialog with its browser and finder tabs, and the finder's pane.
#include "sheeteditor/partsdialog.h"

#include <cstring>
#include <string>
#include <utility>

#include "foundation/dirspec.h"
#include "foundation/filespec.h"
#include "foundation/folders.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "library/itemcache.h"
#include "library/libdigest.h"
#include "library/libhistory.h"
#include "library/libpaths.h"
#include "sheeteditor/libbrowser.h"
#include "sheeteditor/sheeteditorstate.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_views.h"
#include "toolkit/vx_window.h"

namespace plexa {

int32_t& gLastBrowserPanel = gSheetEditorState.lastBrowserPanel;
int32_t& attrOptionPrefs = gSheetEditorState.attrOptionPrefs;

namespace {

constexpr uint16_t kKeyTab = 9, kKeyReturn = 13, kKeyEnter = 3;
constexpr int16_t kRowHeight = 16, kCaptionHeight = 17;

struct PartsDialogState {
    VXWindowRecordTag* dialog = nullptr;
    VXWindowRecordTag* layered = nullptr;
    LibBrowserRecord* browser = nullptr;
    LibFinderRecord finder;
    bool finderMade = false;
    bool multiple = false;
    bool withAttributeOption = false;
    int32_t panel = kBrowserPanel;
    // Read as the dialog ends with OK: the chosen item indexes, the first the cached one.
    std::vector<int32_t> chosenItems;
    int32_t attributeOption = 1;
};

PartsDialogState* gState = nullptr;

void Inval(VXWindowRecordTag* window) {
    if (!window) return;
    Rect r;
    VXGetClientRect(window, &r);
    VXInvalRect(window, &r);
}

LibFinderRecord* FinderOf(VXWindowRecordTag* window) {
    return window ? static_cast<LibFinderRecord*>(window->refCon) : nullptr;
}

void InvalFoundLibFilePathName(LibFinderRecord* record) {
    Rect r;
    VXGetItemPosition(record->host, kFinderPathItem, &r);
    VXInvalRect(record->host, &r);
}

// ---- The path caption ----

void DrawLibFilePathProc(VXWindowRecordTag* window, int16_t item) {
    Rect well;
    VXGetItemPosition(window, item, &well);
    VXSetWindow(window);
    QZSetColor(nullptr, 0x00F0F0F0, false);
    VXRectDispatch(&well, 1);
    QZSetColor(nullptr, 0x00909090, false);
    VXFrameRect(&well);
    FileSpec spec{};
    bool have = false;
    if (item == kFinderPathItem) {
        FoundItemEntry entry;
        bool isSheet = false;
        have = gState && gState->finderMade && gState->finder.selectedEntry >= 0 &&
               GetFoundItem(&gState->finder.found, gState->finder.selectedEntry, &entry, nullptr) &&
               GetIndexedLibFileSpec(kLibFilesAll, entry.fileIndex, &spec, &isSheet);
    } else if (LibraryFileRecord* file = GetCachedLibraryFile()) {
        spec = file->file.spec;
        have = true;
    }
    if (!have) return;
    char text[1024];
    GetLibraryPathString(&spec, text, sizeof text);
    VXTruncString(text, sizeof text, well.right - well.left - 8, kTruncMiddle);
    QZSetColor(nullptr, kVXDefaultForeColor, false);
    VXMoveTo(well.left + 4, well.bottom - 5);
    VXDrawTextWithEncoding(text, int32_t(std::strlen(text)), 0x08000100);
}

// ---- The finder's views ----

int32_t FinderListHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    LibFinderRecord* finder = FinderOf(window);
    if (!finder) return 0;
    if (message == kVXListDrawItem) {
        char name[kStringSpecBufferSize] = "";
        FoundItemEntry entry;
        GetFoundItem(&finder->found, record->index, &entry, name);
        DrawHiliteBrowserListItem(window, record, name);
        return 1;
    }
    if (message == kVXListKey && record->event && record->event->u.character.character == kKeyTab) {
        VXSetFocusItem(finder->host, kFinderFieldItem);
        return kVXListKeyHandled;
    }
    return 0;
}

int32_t FinderItemListHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    LibFinderRecord* finder = FinderOf(window);
    if (!finder) return 0;
    if (event->kind == kVXDestroyEvent) {
        if (finder->foundList == window) finder->foundList = nullptr;
        return 0;
    }
    if (event->kind != kVXControlEvent || event->u.control.controlType != kVXListBox) return 0;
    SelectFoundItem(finder, VXGetListViewSelection(window, 0));
    if (event->u.control.values.listBox.second && finder->selectedEntry >= 0)
        if (VXWindowRecordTag* top = VXGetTopParent(window)) VXEndDialog(top, 1);
    return 1;
}

int32_t FinderSymbolViewHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    LibFinderRecord* finder = FinderOf(window);
    if (!finder) return 0;
    if (event->kind == kVXUpdateEvent) {
        if (finder->selectedEntry >= 0) {
            DrawCachedSymbolView(window);
        } else {
            VXSetWindow(window);
            Rect r;
            VXGetClientRect(window, &r);
            QZSetColor(nullptr, 0x00FFFFFF, false);
            VXRectDispatch(&r, 1);
        }
        return 1;
    }
    if (event->kind == kVXDestroyEvent) {
        if (finder->symbolView == window) finder->symbolView = nullptr;
        if (finder->caption == window) finder->caption = nullptr;
    }
    return 0;
}

int32_t FinderCaptionHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    LibFinderRecord* finder = FinderOf(window);
    if (!finder) return 0;
    if (event->kind == kVXUpdateEvent) {
        VXSetWindow(window);
        Rect band;
        VXGetClientRect(window, &band);
        DrawListCaption(band, kItemsFoundCaption, false);
        return 1;
    }
    if (event->kind == kVXMouseDownEvent && finder->foundList) {
        VXSetFocusWindow(finder->foundList, true);
        return 1;
    }
    return FinderSymbolViewHandler(window, event);
}

// The finder's parts popup and alternate box from the cache.
void UpdateFinderParts(LibFinderRecord* finder) {
    VXWindowRecordTag* host = finder->host;
    CachedLibData data;
    GetCachedLibData(&data);
    LibSelection selection;
    GetCachedLibSelection(&selection);
    const int32_t count = finder->selectedEntry >= 0 ? FillCachedPartsPopup(host, kFinderPartsItem) : 0;
    if (finder->selectedEntry < 0) VXRemoveListItem(host, kFinderPartsItem, 0, -1);
    VXSetItemVisible(host, kFinderPartsItem, count >= 2);
    VXSetItemChecked(host, kFinderAltItem, selection.alternate ? 1 : 0);
    VXSetItemVisible(host, kFinderAltItem, finder->selectedEntry >= 0 && data.item && data.hasAlternate);
}

// ---- The dialog ----

void ShowPanel(PartsDialogState* state, int32_t panel);

int32_t FindFieldButtonKeyHook(VXWindowRecordTag* window, int16_t, int32_t key) {
    if (key != kKeyReturn && key != kKeyEnter) return 0;
    if (VXGetItemEnabled(window, kFinderButtonItem)) VXSimulateButtonClick(window, kFinderButtonItem);
    return 1;
}

int32_t LayerHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    PartsDialogState* state = gState;
    if (!state || event->kind != kVXControlEvent) return 0;
    const uint16_t item = event->u.control.item;
    switch (item) {
        case kBrowserPartsItem: SelectBrowserPart(state->browser, event->u.control.values.pair.second); return 1;
        case kBrowserAltItem:
            SelectBrowserAlt(state->browser, VXGetItemChecked(window, kBrowserAltItem) != 0);
            return 1;
        case kFinderFieldItem: {
            char text[256];
            VXGetItemText(window, kFinderFieldItem, text);
            VXSetItemEnabled(window, kFinderButtonItem, text[0] != 0);
            return 1;
        }
        case kFinderButtonItem: {
            char text[256];
            VXGetItemText(window, kFinderFieldItem, text);
            if (state->finderMade) CollectMatchingItemsList(&state->finder, text);
            return 1;
        }
        case kFinderPartsItem:
            SetCachedLibItemPart(event->u.control.values.pair.second);
            Inval(state->finder.symbolView);
            return 1;
        case kFinderAltItem:
            SetCachedLibItemAlt(VXGetItemChecked(window, kFinderAltItem) != 0);
            Inval(state->finder.symbolView);
            return 1;
        default: return 0;
    }
}

// The rectangle of a placeholder, which is hidden.
Rect Placeholder(VXWindowRecordTag* window, int16_t item) {
    Rect r{};
    VXGetItemPosition(window, item, &r);
    VXSetItemVisible(window, item, false);
    return r;
}

void ShowPanel(PartsDialogState* state, int32_t panel) {
    VXWindowRecordTag* layered = state->layered;
    if (!layered) return;
    if (VXIsViewLayerEmpty(layered, panel))
        VXLoadControlsForViewLayer(layered, panel, uint16_t(kPartsLayerTemplateBase + panel), 0, 0, 0);
    VXSetCurrentViewLayer(layered, panel);
    VXSetItemChecked(state->dialog, kPartsTabsItem, 0);
    VXSetSelectedTab(state->dialog, kPartsTabsItem, panel);
    state->panel = panel;
    if (panel == kBrowserPanel) {
        if (!state->browser) {
            const Rect files = Placeholder(layered, kBrowserFileItem);
            const Rect items = Placeholder(layered, kBrowserListItem);
            const Rect symbol = Placeholder(layered, kBrowserSymbolItem);
            state->browser = CreateLibBrowser(layered, &files, &items, &symbol, kBrowserPartsItem, kBrowserAltItem,
                                              kBrowserPathItem, state->multiple, true);
            VXSetUserItemProcWithInset(layered, kBrowserPathItem, DrawLibFilePathProc, 0);
            VXSetItemEnabled(layered, kBrowserFoldersItem, GetLibDirChoice() != LibDirChoice::kNone);
        }
        if (state->browser) {
            state->browser->shownSelection = 0;
            SynchBrowserWithCache(state->browser);
            VXSetItemEnabled(state->dialog, 1, VXCountListViewSelections(state->browser->itemList) > 0);
            if (state->browser->itemList) VXSetFocusWindow(state->browser->itemList, true);
        }
    } else {
        if (!state->finderMade) {
            const Rect list = Placeholder(layered, kFinderListItem);
            const Rect symbol = Placeholder(layered, kFinderSymbolItem);
            state->finderMade = CreateLibFinder(layered, &list, &symbol, &state->finder);
            VXSetUserItemProcWithInset(layered, kFinderPathItem, DrawLibFilePathProc, 0);
            VXSetItemEnabled(layered, kFinderButtonItem, false);
            VXSetEditTextButtonKeyHook(layered, kFinderFieldItem, FindFieldButtonKeyHook);
            VXSetItemVisible(layered, kFinderPartsItem, false);
            VXSetItemVisible(layered, kFinderAltItem, false);
        }
        VXSetItemEnabled(state->dialog, 1, false);
        if (state->finderMade) ClearFoundSelection(&state->finder);
        VXSetFocusItem(layered, kFinderFieldItem);
    }
}

// On OK: the finder's selected hit, or the browser's selected items (the first becomes the cached
// item); none when nothing is selected, so that OK does not count.
void ReadChoices(PartsDialogState* state, VXWindowRecordTag* dialog) {
    state->chosenItems.clear();
    if (state->panel == kFinderPanel) {
        FoundItemEntry entry;
        LibSelection selection;
        GetCachedLibSelection(&selection);
        if (state->finderMade && state->finder.selectedEntry >= 0 &&
            GetFoundItem(&state->finder.found, state->finder.selectedEntry, &entry, nullptr) && selection.itemIndex >= 0)
            state->chosenItems.push_back(selection.itemIndex);
    } else if (state->browser && state->browser->itemList) {
        VXWindowRecordTag* list = state->browser->itemList;
        for (int32_t row = VXGetListViewSelection(list, 0); row >= 0; row = VXGetListViewSelection(list, row + 1))
            state->chosenItems.push_back(row);
    }
    if (state->withAttributeOption) {
        for (int16_t i = 0; i < 4; ++i)
            if (VXGetItemChecked(dialog, int16_t(kPartsFirstAttributeItem + i))) state->attributeOption = i;
    }
}

int32_t PartsDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    PartsDialogState* state = gState;
    if (!state) return 0;
    if (event->kind == kVXCreateEvent) {
        state->dialog = window;
        state->layered = VXCreateLayeredView(window, nullptr, 0, kPartsTabsItem, LayerHandler, nullptr);
        ShowPanel(state, state->panel);
    } else if (event->kind == kVXEndModalEvent && event->u.endModal.item == 1) {
        ReadChoices(state, window);
    } else if (event->kind == kVXDestroyEvent) {
        DestroyLibBrowser(state->browser);
        state->browser = nullptr;
        if (state->finderMade) DestroyLibFinder(&state->finder);
        state->finderMade = false;
        state->layered = nullptr;
    } else if (event->kind == kVXControlEvent && event->u.control.item == kPartsTabsItem) {
        const int32_t panel = event->u.control.values.pair.second == 1 ? kFinderPanel : kBrowserPanel;
        if (panel != state->panel) ShowPanel(state, panel);
        return 1;
    }
    return 0;
}

}  // namespace

// ---- The finder ----

bool CreateLibFinder(VXWindowRecordTag* host, const Rect* foundRect, const Rect* symbolRect, LibFinderRecord* record) {
    *record = LibFinderRecord{};
    record->host = host;
    if (CreateFoundItems(&record->found) != 0) return false;
    const Rect band = {foundRect->top, foundRect->left, int16_t(foundRect->top + kCaptionHeight), foundRect->right};
    const Rect rows = {band.bottom, foundRect->left, foundRect->bottom, foundRect->right};
    record->caption = VXCreateChildWindow(0, 0, 0, host, &band, record, FinderCaptionHandler);
    record->foundList = VXCreateChildWindow(0, kVXFlagVerticalScroller, 0, host, &rows, record, FinderItemListHandler);
    record->symbolView = VXCreateChildWindow(0, kVXFlagChildBezel, 0, host, symbolRect, record, FinderSymbolViewHandler);
    if (!record->caption || !record->foundList || !record->symbolView) {
        DestroyLibFinder(record);
        return false;
    }
    VXInstallListView(record->foundList, nullptr, kRowHeight, sizeof(int32_t), 0, FinderListHook);
    for (VXWindowRecordTag* view : {record->caption, record->foundList, record->symbolView}) VXShowWindow(view);
    return true;
}

void DestroyLibFinder(LibFinderRecord* record) {
    for (VXWindowRecordTag** view : {&record->caption, &record->foundList, &record->symbolView})
        if (VXWindowRecordTag* window = *view) {
            window->refCon = nullptr;
            *view = nullptr;
            VXDestroyWindow(window);
        }
    DestroyFoundItems(&record->found);
}

void ClearFoundItemRows(LibFinderRecord* record) {
    if (record->foundList) VXDeleteListViewItemData(record->foundList, 0, -1);
    ClearFoundItems(&record->found);
    ClearFoundSelection(record);
}

void ClearFoundSelection(LibFinderRecord* record) {
    if (record->foundList) VXSetListViewItemSelected(record->foundList, -1, false);
    VXRemoveListItem(record->host, kFinderPartsItem, 0, -1);
    VXSetItemVisible(record->host, kFinderPartsItem, false);
    VXSetItemChecked(record->host, kFinderAltItem, 0);
    VXSetItemVisible(record->host, kFinderAltItem, false);
    record->shownSelection = 0;
    record->selectedEntry = -1;
    Inval(record->symbolView);
    InvalFoundLibFilePathName(record);
}

void SelectFoundItem(LibFinderRecord* record, int32_t row) {
    if (row >= 0 && !SelectFoundItemInCache(&record->found, row)) row = -1;
    record->selectedEntry = row;
    LibSelection selection;
    GetCachedLibSelection(&selection);
    record->shownSelection = row >= 0 ? selection.changeCount : 0;
    if (VXWindowRecordTag* top = VXGetTopParent(record->host)) VXSetItemEnabled(top, 1, row >= 0);
    Inval(record->symbolView);
    UpdateFinderParts(record);
    InvalFoundLibFilePathName(record);
}

void CollectMatchingItemsList(LibFinderRecord* record, const char* text) {
    ClearFoundItemRows(record);
    if (record->foundList) VXSetListViewDrawingEnabled(record->foundList, false);
    bool more = false;
    const int32_t hits = CollectMatchingItems(&record->found, text, &more);
    for (int32_t i = 0; i < hits; ++i) VXInsertListViewItemData(record->foundList, -1, &i, 1);
    if (record->foundList) {
        VXSetListViewDrawingEnabled(record->foundList, true);
        Inval(record->foundList);
    }
    if (hits > 0) {
        VXSetListViewItemSelected(record->foundList, 0, true);
        VXSetFocusWindow(record->foundList, true);
        SelectFoundItem(record, 0);
    } else {
        if (VXWindowRecordTag* top = VXGetTopParent(record->host)) VXSetItemEnabled(top, 1, false);
        InvalFoundLibFilePathName(record);
        VXSetFocusItem(record->host, kFinderFieldItem);
        VXBeep();
    }
}

void GetLibraryPathString(const FileSpec* spec, char* out, int32_t size) {
    std::string path;
    if (CreateURLFromFileSpec(spec, false, &path) != 0) path.clear();
    DirectoryRef documents;
    std::string folder;
    if (VXGetUserDomainDirectory(kVXFolderDocuments, nullptr, false, &documents) &&
        CreateDirectoryURLFromDirectory(&documents, &folder) == 0 && !folder.empty()) {
        if (folder.back() != '/') folder += '/';
        if (path.compare(0, folder.size(), folder) == 0) path = "{Documents}/" + path.substr(folder.size());
    }
    StrNCpy(out, size_t(size), path.c_str(), int16_t(std::min<size_t>(path.size(), size_t(size - 1))));
}

// ---- The dialog ----

LibBrowserRecord* GetPartsDialogBrowser() { return gState ? gState->browser : nullptr; }
LibFinderRecord* GetPartsDialogFinder() { return gState && gState->finderMade ? &gState->finder : nullptr; }

bool BrowsePartsDialog(const char* title, bool withAttributeOption, int32_t panel, int32_t* outAttributeOption,
                       std::vector<int32_t>* outItemSet) {
    RecordLibHistoryItem();
    PartsDialogState state;
    state.panel = panel == kBrowserPanel || panel == kFinderPanel ? panel : gLastBrowserPanel;
    state.multiple = outItemSet != nullptr;
    if (outItemSet) outItemSet->clear();
    if (const OSStatus st = OpenLibDigestFile()) {
        std::string text;
        AppendFormat(&text, kNoDigestFileMessage, int(st));
        VXDisplayMessage(text.c_str());
    }
    PartsDialogState* saved = std::exchange(gState, &state);
    const uint16_t templateID = withAttributeOption ? kPartsDialogAttributesTemplate : kPartsDialogTemplate;
    state.withAttributeOption = withAttributeOption;
    VXWindowRecordTag* dialog = VXLoadDialogWindow(templateID, 3, 0, kVXPlaceCentre, 0, PartsDialogHandler, nullptr);
    int16_t result = 2;
    if (dialog) {
        if (title) VXSetWindowTitle(dialog, title);
        if (withAttributeOption) VXSelectRadioButton(dialog, int16_t(kPartsFirstAttributeItem + attrOptionPrefs));
        VXShowWindow(dialog);
        result = VXRunModalWindow(dialog);
    }
    gLastBrowserPanel = state.panel;
    bool chosen = result == 1 && state.chosenItems.size() > 0;
    if (chosen) {
        VXErrorReport(SetCachedLibraryItem(state.chosenItems.front()));
        if (outItemSet) *outItemSet = state.chosenItems;
        if (withAttributeOption) attrOptionPrefs = state.attributeOption;
    }
    gState = saved;
    ReleaseLibFinderMaps();
    CloseLibDigestFile();
    if (!chosen) {
        RecallLibHistoryItem(0);
        if (outItemSet) outItemSet->clear();
    }
    InvalidateActiveBrowser();
    if (chosen && outAttributeOption) *outAttributeOption = attrOptionPrefs;
    return chosen;
}

}  // namespace plexa
