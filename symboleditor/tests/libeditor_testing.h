// What the library editor's and the catalogue's tests share: the model's and the windows' start-up,
// library files made of items with a box drawing, editors closed (forced) after each test, and
// scripted answers to the editor's questions.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "symboleditor/libcatalog.h"
#include "symboleditor/libeditor.h"
#include "library/tests/library_testing.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/symboldata.h"
#include "model/tests/libitem_testing.h"
#include "model/tests/model_fixture.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_treeview.h"

namespace plexa::test {

// The questions the editor asked and the answers given.
struct LibEditorScript {
    std::vector<std::string> asked;
    bool confirm = true;
    LibSaveAnswer save = LibSaveAnswer::kSave;
    std::vector<OSStatus> reported;
};
inline LibEditorScript& Script() {
    static LibEditorScript script;
    return script;
}

inline void InstallScriptedAnswers() {
    LibEditorHooks hooks = GetLibEditorHooks();
    hooks.confirm = [](const char* message, const char*) {
        Script().asked.push_back(message);
        return Script().confirm;
    };
    hooks.message = [](const char* text) { Script().asked.push_back(text); };
    hooks.askSave = [](LibEditorRecord*, const char* name) {
        Script().asked.push_back(std::string("save ") + name);
        return Script().save;
    };
    hooks.reportError = [](OSStatus status) { Script().reported.push_back(status); };
    SetLibEditorHooks(hooks);
}

// A flattened component with the names and a symbol whose drawing is a height x width box.
inline Handle BoxItem(const std::vector<std::string>& names, int16_t height = 40, int16_t width = 60) {
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    for (const std::string& name : names) EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, name.c_str(), 0));
    LinkListHeader* list = CreateElementList(nullptr);
    LLAppend(list, BuildCommonElement(kElementRect, Point{0, 0}, Point{height, width}, 1, 0, 0, false, false,
                                      0, false, 0, false));
    Handle drawing = ElementsToSymbolData(list, nullptr, nullptr, 0, false, nullptr);
    DestroyElementList(list);
    EXPECT_NE(drawing, nullptr);
    Ptr main = AllocPtrWithData(nullptr, *drawing, SizeOfHandle(drawing));
    MemFree(drawing);
    EXPECT_EQ(AddLibSymbolDef(item, "", main, nullptr, nullptr, nullptr), 0);
    AddSection(item, "", 0, {});
    Handle flat = FlattenLibraryItem(item, false, 1, nullptr);
    DestroyLibraryItem(item);
    EXPECT_NE(flat, nullptr);
    return flat;
}

// A new library file at the path holding box items of the names.
inline void WriteBoxLibrary(const std::string& path, const std::vector<std::string>& names) {
    MakeLibrary(path);
    OpenLibrary library(path, kLibraryOpenLoadMap);
    for (const std::string& name : names) {
        Handle flat = BoxItem({name});
        uint32_t id = 0;
        EXPECT_EQ(WriteLibraryFileItem(&library.record, flat, true, &id), 0);
        MemFree(flat);
    }
}

// The same bytes marked invalid (as a flatten of an item without a symbol marks them).
inline Handle Invalid(Handle flat) {
    (*flat)[kFlatItemValidOffset] = 0;
    return flat;
}

class LibEditorTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        InitImageLists();
        VXInitControls();
        VXInstallInputSink();
        SetLibEditorHooks(LibEditorHooks{});
        Script() = LibEditorScript{};
        InstallScriptedAnswers();
    }
    void TearDown() override {
        DisposeLibraryEditors();
        SetLibEditorHooks(LibEditorHooks{});
        TestResetPlatform();
        ModelTest::TearDown();
    }

    // A library file of items (each with its names) in the scratch folder; the spec.
    FileSpec Library(const std::string& name, const std::vector<std::vector<std::string>>& items) {
        const std::string path = dir_.file(name);
        MakeLibrary(path);
        {
            OpenLibrary library(path, kLibraryOpenLoadMap);
            for (const auto& names : items) {
                Handle flat = BoxItem(names);
                uint32_t id = 0;
                EXPECT_EQ(WriteLibraryFileItem(&library.record, flat, true, &id), 0);
                MemFree(flat);
            }
        }
        return SpecOf(path);
    }

    // The rows' names as shown (an alias row indented by two blanks), "|" between.
    static std::string Rows(LibEditorRecord* editor) {
        std::string rows;
        for (int32_t row = 0; row < VXCountListViewItems(editor->window); ++row) {
            int32_t index = 0;
            LibEditorItemRef* ref = GetItemRefFromViewIndex(editor, row, &index);
            char name[256];
            GetLibEditorItemName(editor, ref, index, name);
            rows += std::string(row ? "|" : "") + (index ? "  " : "") + name;
        }
        return rows;
    }
    // The primary names of the references in list order.
    static std::vector<std::string> Items(LibEditorRecord* editor) {
        std::vector<std::string> names;
        for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref; ref = ref->next) {
            char name[256];
            GetLibEditorItemName(editor, ref, 0, name);
            names.push_back(name);
        }
        return names;
    }
    static LibEditorItemRef* Ref(LibEditorRecord* editor, const std::string& name) {
        for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref; ref = ref->next) {
            char found[256];
            GetLibEditorItemName(editor, ref, 0, found);
            if (name == found) return ref;
        }
        return nullptr;
    }
    // A click on a row's name, as a person gives it.
    static void ClickRow(LibEditorRecord* editor, int32_t row, int32_t clicks = 1, uint32_t modifiers = 0,
                         int32_t x = 52) {
        const int32_t y = row * 19 + 9;
        PlatformInputEvent down = MouseInput(PlatformInputKind::kMouseDown, editor->window, x, y, modifiers);
        down.clickCount = uint16_t(clicks);
        PlatformInputEvent up = MouseInput(PlatformInputKind::kMouseUp, editor->window, x, y, modifiers);
        TestQueueInput(up);
        PlatformDeliverInput(down);
    }
    static int32_t Command(LibEditorRecord* editor, uint16_t command) {
        return DispatchCommand(editor->window, command, false, false, false);
    }
    // The stored item's names, read from the file.
    static std::vector<std::string> StoredNames(LibEditorRecord* editor, uint32_t blockId) {
        Handle flat = nullptr;
        if (LoadLibraryFileItem(&editor->library, blockId, &flat) != 0) return {};
        int32_t count = 0;
        EXPECT_EQ(status::kNoErr, CheckFlattenedLibraryItemNames(flat, &count));
        std::vector<std::string> names;
        for (int32_t i = 0; i < count; ++i) {
            char name[kFlatItemNameBufferSize];
            GetFlattenedLibraryItemName(flat, i, name, sizeof name);
            names.push_back(name);
        }
        MemFree(flat);
        return names;
    }

    TempDir dir_;
};

}  // namespace plexa::test
