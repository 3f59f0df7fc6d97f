// Saving sheets: the target survives a failure at every step, a killed save leaves the old or
// the new file, the save's choices and the names it proposes.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "files/sheetsave.h"
#include "files/sheetstore.h"
#include "files/tests/sheetcontents_testing.h"
#include "foundation/datafile.h"
#include "foundation/ll.h"
#include "foundation/tempfiles.h"
#include "tests/support/unprivileged.h"

namespace plexa::test {
namespace {

constexpr OSStatus kInjected = -34;
SheetSaveStep gFailAt;
OSStatus FailAtStep(SheetSaveStep step) { return step == gFailAt ? kInjected : status::kNoErr; }

// Answers the save panel with a fixed spec.
FileSpec gChosen;
int gAsked = 0;
bool AnswerPanel(SheetRecord*, int32_t kind, FileSpec* spec) {
    ++gAsked;
    EXPECT_EQ(kind, kSavePanelSheet);
    *spec = gChosen;
    return true;
}
bool CancelPanel(SheetRecord*, int32_t, FileSpec*) { return false; }
SheetRecord* gOther = nullptr;
SheetRecord* OtherSheet(const FileSpec* spec, SheetRecord* except) {
    return gOther && gOther != except && EqualFileSpecs(&gOther->fileSpec, spec) ? gOther : nullptr;
}
std::string gAlert;
void Alert(const char* message) { gAlert = message; }
int gReleased = 0, gReopened = 0;
bool ReleaseLibrary(const FileSpec*) { return ++gReleased > 0; }
void ReopenLibrary(SheetRecord*, const FileSpec*) { ++gReopened; }

class SheetSaveTest : public SheetContentsTest {
protected:
    void SetUp() override {
        SheetContentsTest::SetUp();
        gAsked = gReleased = gReopened = 0;
        gAlert.clear();
        gOther = nullptr;
        SheetSaveHooks hooks;
        hooks.askFile = AnswerPanel;
        hooks.loadedSheetWithFile = OtherSheet;
        hooks.alert = Alert;
        hooks.releaseCachedLibrary = ReleaseLibrary;
        hooks.reopenCachedLibrary = ReopenLibrary;
        SetSheetSaveHooks(hooks);
    }
    void TearDown() override {
        SetSheetSaveFaultHook(nullptr);
        SetSheetSaveHooks(SheetSaveHooks());
        SheetContentsTest::TearDown();
    }
};

TEST_F(SheetSaveTest, AFailureAtAnyStepLeavesTheTargetAsItWasAndNoTemporaryFile) {
    BuildRichSheet();
    ASSERT_EQ(WriteSheetFile(drawing, &spec), 0);
    chmod(path.c_str(), 0640);
    const std::string before = Bytes(path);
    const std::vector<std::string> names = FolderNames(dir.path());
    drawing->fileSpec = spec;
    SetSheetSaveFaultHook(FailAtStep);
    for (SheetSaveStep step : {SheetSaveStep::kOpenTarget, SheetSaveStep::kWrite, SheetSaveStep::kFlush,
                               SheetSaveStep::kRename}) {
        SCOPED_TRACE(int(step));
        gFailAt = step;
        drawing->modifiedFlags = kSheetModifiedContent;
        EXPECT_EQ(RealSaveSchematicSheet(drawing, false, false), kInjected);
        EXPECT_TRUE(Bytes(path) == before);
        EXPECT_EQ(FolderNames(dir.path()), names);
        EXPECT_EQ(drawing->modifiedFlags, kSheetModifiedContent);
        EXPECT_TRUE(EqualFileSpecs(&drawing->fileSpec, &spec));
    }
    // The cached library released for a failed save is taken up again.
    EXPECT_EQ(gReopened, gReleased);
    EXPECT_GT(gReopened, 0);
    SetSheetSaveFaultHook(nullptr);
    ASSERT_EQ(RealSaveSchematicSheet(drawing, false, false), 0);
    EXPECT_EQ(drawing->modifiedFlags, 0);
    EXPECT_EQ(FolderNames(dir.path()), names);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "the new file keeps the old one's permissions";
    SheetRecord* back = Load(path);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(int32_t(back->symbolList->count), int32_t(drawing->symbolList->count));
}

// A disk that fills up at any byte of a save, for good or for one write (another program then
// frees room): a save that lost bytes reports it, the old file stays byte for byte, no temporary
// file is left beside it and the sheet stays modified; a save that reports success wrote the whole
// sheet (a write that failed only for a temporary file's bytes that were no longer needed).
TEST_F(SheetSaveTest, AFullDiskAtAnyByteLeavesTheTargetAsItWas) {
    ASSERT_EQ(WriteSheetFile(drawing, &spec), 0);
    const std::string before = Bytes(path);
    BuildRichSheet();
    drawing->fileSpec = spec;
    const std::string whole = dir.path() + "/whole.SHX";
    int64_t total = 0;
    {
        FullDisk measure(-1);
        const FileSpec wholeSpec = SheetSpecAt(whole);
        ASSERT_EQ(WriteSheetFileSafely(drawing, &wholeSpec), 0);
        total = GetFileBytesWritten();
    }
    const std::vector<std::string> names = FolderNames(dir.path());
    ASSERT_GT(total, 1000);
    int failed = 0;
    for (int32_t failures : {-1, 1}) {
        for (int64_t room : FullDiskPoints(total)) {
            SCOPED_TRACE(testing::Message() << "room " << room << " of " << total << ", failures " << failures);
            drawing->modifiedFlags = kSheetModifiedContent;
            OSStatus st;
            {
                FullDisk disk(room, failures);
                st = RealSaveSchematicSheet(drawing, false, false);
            }
            EXPECT_EQ(FolderNames(dir.path()), names);
            if (failures < 0) {
                EXPECT_NE(st, 0);
            }
            if (st == 0) {
                EXPECT_TRUE(BytesWithoutCounter(path) == BytesWithoutCounter(whole));
                ASSERT_TRUE(WriteFile(path, before));
                continue;
            }
            ++failed;
            EXPECT_TRUE(Bytes(path) == before);
            EXPECT_EQ(drawing->modifiedFlags, kSheetModifiedContent);
        }
    }
    EXPECT_GT(failed, int(FullDiskPoints(total).size()));
}

// The temporary file is made (O_EXCL, under a name of its own) before a byte is written, so that
// no other save choosing a name meanwhile can take the same one.
std::vector<std::string> gNamesAtWrite;
std::string gSaveFolder;
OSStatus NoteNamesAtWrite(SheetSaveStep step) {
    if (step == SheetSaveStep::kWrite) gNamesAtWrite = FolderNames(gSaveFolder);
    return 0;
}

TEST_F(SheetSaveTest, TheTemporaryFileIsMadeBeforeItIsWritten) {
    ASSERT_EQ(WriteSheetFile(drawing, &spec), 0);
    drawing->fileSpec = spec;
    gSaveFolder = dir.path();
    gNamesAtWrite.clear();
    SetSheetSaveFaultHook(NoteNamesAtWrite);
    ASSERT_EQ(WriteSheetFileSafely(drawing, &spec), 0);
    ASSERT_EQ(gNamesAtWrite.size(), 2u);
    EXPECT_EQ(gNamesAtWrite[1], "sheet.SHX");
    EXPECT_EQ(gNamesAtWrite[0].rfind(std::string(GetTempFilesBundleIdentifier()) + "." + kSheetSaveTempPrefix, 0), 0u)
        << gNamesAtWrite[0];
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"sheet.SHX"});
}

TEST_F(SheetSaveTest, AWriteThatTheWriterRefusesLeavesNothingBehind) {
    ASSERT_EQ(WriteSheetFile(drawing, &spec), 0);
    const std::string before = Bytes(path);
    drawing->fileSpec = spec;
    // A target that cannot be written fails before anything is made (for root too, without its
    // power over permissions).
    chmod(path.c_str(), 0440);
    {
        WithoutPermissionOverride locked;
        EXPECT_NE(WriteSheetFileSafely(drawing, &spec), 0);
    }
    EXPECT_TRUE(Bytes(path) == before);
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"sheet.SHX"});
    chmod(path.c_str(), 0640);
    // A folder in the target's place is refused.
    const FileSpec folder = SheetSpecAt(dir.path());
    FileSpec inside = folder;
    EXPECT_NE(WriteSheetFileSafely(drawing, &inside), 0);
}

// A process killed at random points of a save loop leaves a file that loads as one of the two
// versions it was saving.
TEST_F(SheetSaveTest, AKilledSaveLeavesTheOldOrTheNewFile) {
    BuildRichSheet();
    SheetRecord* small = CreateDrawing();
    ASSERT_NE(small, nullptr);
    small->fileSpec = spec;
    drawing->fileSpec = spec;
    ASSERT_EQ(WriteSheetFileSafely(small, &spec), 0);
    const int32_t smallCount = int32_t(small->symbolList->count), richCount = int32_t(drawing->symbolList->count);
    ASSERT_NE(smallCount, richCount);
    std::mt19937 random(TestSeed());
    const int rounds = int(std::max<uint64_t>(4, StressCount(40) / 4));
    for (int round = 0; round < rounds; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                if (WriteSheetFileSafely(i % 2 ? small : drawing, &spec) != 0) _exit(3);
        }
        usleep(useconds_t(random() % 40000));
        kill(child, SIGKILL);
        int wstatus = 0;
        waitpid(child, &wstatus, 0);
        ASSERT_TRUE(WIFSIGNALED(wstatus)) << "the save loop stopped by itself";
        SheetRecord* back = nullptr;
        ASSERT_EQ(LoadSheetFile(&spec, &back), 0) << "round " << round;
        const int32_t count = int32_t(back->symbolList->count);
        DestroySheet(back);
        EXPECT_TRUE(count == smallCount || count == richCount) << count;
    }
    DestroySheet(small);
}

TEST_F(SheetSaveTest, AnUntitledSheetAsksForANameAndGetsASheetLocalAnnotationEntry) {
    ASSERT_EQ(InitSheetLocalAnnotation(), 0);
    gChosen = spec;
    drawing->modifiedFlags = kSheetModifiedContent;
    ASSERT_EQ(RealSaveSchematicSheet(drawing, false, false), 0);
    EXPECT_EQ(gAsked, 1);
    EXPECT_TRUE(EqualFileSpecs(&drawing->fileSpec, &spec));
    EXPECT_EQ(drawing->modifiedFlags, 0);
    if (drawing->annotationMap) {
        ASSERT_NE(drawing->sheetLocalAnnotation, nullptr);
        EXPECT_EQ(FindSheetLocalAnnotation(&spec), drawing->sheetLocalAnnotation);
    }
    // Saving again asks nothing.
    ASSERT_EQ(RealSaveSchematicSheet(drawing, false, false), 0);
    EXPECT_EQ(gAsked, 1);
    // A cancelled panel writes nothing.
    SheetSaveHooks hooks = GetSheetSaveHooks();
    hooks.askFile = CancelPanel;
    SetSheetSaveHooks(hooks);
    EXPECT_EQ(RealSaveSchematicSheet(drawing, true, false), kSaveCancelled);
}

TEST_F(SheetSaveTest, ASavedCopyLeavesTheSheetAsItWas) {
    drawing->fileSpec = spec;
    drawing->modifiedFlags = kSheetModifiedContent;
    gChosen = SheetSpecAt(dir.path() + "/copy.SHX");
    ASSERT_EQ(RealSaveSchematicSheet(drawing, false, true), 0);
    EXPECT_TRUE(EqualFileSpecs(&drawing->fileSpec, &spec));
    EXPECT_EQ(drawing->modifiedFlags, kSheetModifiedContent);
    EXPECT_NE(Load(dir.path() + "/copy.SHX"), nullptr);
    EXPECT_FALSE(VXFileExists(&spec, nullptr));
}

// A file that another loaded sheet holds is never replaced under it: its unsaved changes stay.
TEST_F(SheetSaveTest, SavingOverAnotherLoadedSheetsFileIsRefused) {
    SheetRecord* other = CreateDrawing();
    ASSERT_NE(other, nullptr);
    other->fileSpec = spec;
    gOther = other;
    gChosen = spec;
    EXPECT_EQ(RealSaveSchematicSheet(drawing, true, false), kSaveCancelled);
    EXPECT_EQ(gAlert, kSheetInUseMessage);
    EXPECT_FALSE(VXFileExists(&spec, nullptr));
    DestroySheet(other);
}

TEST_F(SheetSaveTest, TheStoreSavesThroughTheSaverByDefault) {
    drawing->fileSpec = spec;
    SetSheetStoreHooks(SheetStoreHooks());
    ASSERT_EQ(StoreSaveSheet(drawing), 0);
    EXPECT_NE(Load(path), nullptr);
}

TEST(SheetSaveNames, TheProposedNameIsCutAndGetsTheKindsExtension) {
    struct Case {
        const char* name;
        int32_t kind;
        const char* proposed;
    } cases[] = {
        {"", kSavePanelSheet, "Untitled.SHX"},
        {"Main.SHX", kSavePanelSheet, "Main.SHX"},
        {"Main.shx", kSavePanelAscii, "Main.ASC"},
        {"Main.DXF", kSavePanelPicture, "Main.PICT"},
        {"0123456789012345678901234567890123456789", kSavePanelSheet, "012345678901234567890123456.SHX"},
        {"0123456789012345678901234567890123456789", kSavePanelPicture, "01234567890123456789012345.PICT"},
        {"Ünïcödé-Ünïcödé-Ünïcödé-Ünïcödé", kSavePanelDxf, "Ünïcödé-Ünïcödé-Ünïcödé-Ünï.DXF"},
    };
    for (const Case& c : cases) {
        FileSpec spec;
        ClearFileSpec(&spec);
        SetFileSpecName(&spec, c.name);
        char out[64];
        ProposedSaveName(&spec, c.kind, out, sizeof out);
        EXPECT_STREQ(out, c.proposed) << c.name;
    }
}

}  // namespace
}  // namespace plexa::test
