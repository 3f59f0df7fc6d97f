// Output names and places: the naming table of sheets, projects and libraries, the output folders
// beside the source, and the replacement of an older output file only once the new one is
// complete.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "converter/output.h"
#include "converter/report.h"
#include "foundation/datafile.h"
#include "foundation/memory.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

std::vector<std::string> gLog;

class Output : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        gLog.clear();
        ConverterReportProcs procs;
        procs.log = [](const char* line) { gLog.push_back(line); };
        previous_ = SetConverterReportProcs(procs);
    }
    void TearDown() override { SetConverterReportProcs(previous_); }

    FileSpec Source(const std::string& name) {
        FileSpec spec;
        ClearFileSpec(&spec);
        EXPECT_EQ(DirectoryFromDirectoryURL(dir_.path(), &spec.directory), 0);
        SetFileSpecName(&spec, name.c_str());
        return spec;
    }
    static std::string Slurp(const std::string& path) {
        std::string text;
        return ReadFile(path, text) ? text : "(none)";
    }

    TempDir dir_;
    ConverterReportProcs previous_;
};

TEST_F(Output, NamingTable) {
    const std::string forty(40, 'a');
    const std::string fortyOne = forty + "b";
    struct Case {
        std::string source;
        bool isProject;
        std::string folder, projectFile, sheetFile;
    };
    const Case cases[] = {
        {"Amplifier.SCM", false, "Amplifier (Plexa)", "Amplifier.PRX", "Amplifier.SHX"},
        {"Amplifier", false, "Amplifier (Plexa)", "Amplifier Project", "Amplifier"},
        {"amplifier.scm", false, "amplifier (Plexa)", "amplifier.PRX", "amplifier.SHX"},
        {"Amp.SHX.SCM", false, "Amp.SHX (Plexa)", "Amp.SHX.PRX", "Amp.SHX"},
        {".SCM", false, ".SCM (Plexa)", ".SCM Project", ".SCM"},
        {fortyOne + ".SCM", false, forty + "_ (Plexa)", fortyOne + ".PRX", fortyOne + ".SHX"},
        {fortyOne, false, forty + "_ (Plexa)", forty + "_ Project", fortyOne},
        {forty, false, forty + " (Plexa)", forty + " Project", forty},
        {"Amplifier.SPR", true, "Amplifier (Plexa)", "Amplifier.PRX", ""},
        {"Amplifier", true, "Amplifier (Plexa)", "Amplifier", ""},
        {fortyOne + ".spr", true, forty + "_ (Plexa)", fortyOne + ".PRX", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(OutputProjectFolderName(c.source.c_str(), c.isProject), c.folder);
        EXPECT_EQ(OutputProjectFileName(c.source.c_str(), c.isProject), c.projectFile);
        if (!c.isProject) {
            EXPECT_EQ(FixSheetOutputName(c.source.c_str()), c.sheetFile);
        }
    }
    // Characters, not bytes, are counted: 41 two-byte letters keep 40.
    std::string wide;
    for (int i = 0; i < 41; ++i) wide += "\xC3\xA9";
    EXPECT_EQ(CutOutputName(wide), wide.substr(0, 80) + "_");
    struct Library {
        const char* source;
        const char* file;
    };
    for (const Library& l : {Library{"Parts.SLB", "Parts.LBX"}, Library{"Parts.slb", "Parts.LBX"},
                             Library{"Parts.LBX.SLB", "Parts.LBX"}, Library{"Parts", "Parts.LBX"},
                             Library{"Parts.lbx", "Parts.LBX"}})
        EXPECT_EQ(OutputLibraryFileName(l.source), l.file) << l.source;
}

TEST_F(Output, ProjectFolderIsMadeOnceAndAFileInTheWayFails) {
    const FileSpec source = Source("Amplifier.SCM");
    FileSpec folder;
    ASSERT_EQ(OutputProjectFolder(&source, false, false, &folder), 0);
    EXPECT_EQ(OutputPath(&folder), dir_.file("Amplifier (Plexa)"));
    struct stat info;
    EXPECT_NE(::stat(dir_.file("Amplifier (Plexa)").c_str(), &info), 0);  // only named
    ASSERT_EQ(OutputProjectFolder(&source, false, true, &folder), 0);
    ASSERT_EQ(::stat(dir_.file("Amplifier (Plexa)").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    ASSERT_TRUE(WriteFile(dir_.file("Amplifier (Plexa)/keep"), "x"));
    ASSERT_EQ(OutputProjectFolder(&source, false, true, &folder), 0);  // reused as it is
    EXPECT_EQ(Slurp(dir_.file("Amplifier (Plexa)/keep")), "x");
    FileSpec file;
    ASSERT_EQ(OutputFileSpec(&folder, "Amplifier.SHX", &file), 0);
    EXPECT_EQ(OutputPath(&file), dir_.file("Amplifier (Plexa)/Amplifier.SHX"));

    const FileSpec project = Source("Mixer.SPR");
    ASSERT_TRUE(WriteFile(dir_.file("Mixer (Plexa)"), "a file"));
    EXPECT_EQ(OutputProjectFolder(&project, true, true, &folder), status::kDuplicateName);
    EXPECT_EQ(Slurp(dir_.file("Mixer (Plexa)")), "a file");
}

TEST_F(Output, LibrariesFolderStepsPastFilesInTheWay) {
    const FileSpec source = Source("Parts.SLB");
    FileSpec folder;
    ASSERT_EQ(OutputLibraryFolder(&source, false, &folder), 0);
    EXPECT_EQ(OutputPath(&folder), dir_.file("Converted Libraries (Plexa)"));
    ASSERT_TRUE(WriteFile(dir_.file("Converted Libraries (Plexa)"), "x"));
    ASSERT_TRUE(WriteFile(dir_.file("Converted Libraries (Plexa).1"), "x"));
    ASSERT_EQ(OutputLibraryFolder(&source, true, &folder), 0);
    EXPECT_EQ(OutputPath(&folder), dir_.file("Converted Libraries (Plexa).2"));
    struct stat info;
    ASSERT_EQ(::stat(dir_.file("Converted Libraries (Plexa).2").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    ASSERT_EQ(OutputLibraryFolder(&source, true, &folder), 0);  // the same folder again
    EXPECT_EQ(OutputPath(&folder), dir_.file("Converted Libraries (Plexa).2"));
}

TEST_F(Output, AnOlderFileIsReplacedOnlyWhenTheNewOneIsComplete) {
    const std::string target = dir_.file("Parts.LBX");
    ASSERT_TRUE(WriteFile(target, "earlier conversion, edited since"));
    FileSpec spec = Source("Parts.LBX");

    // A conversion that fails leaves the older file as it was and no pending file behind.
    OutputFile failed;
    ASSERT_EQ(BeginOutputFile(&spec, &failed), 0);
    ASSERT_TRUE(WriteFile(OutputPath(&failed.pending), "half"));
    EXPECT_EQ(Slurp(target), "earlier conversion, edited since");
    AbandonOutputFile(&failed);
    EXPECT_EQ(Slurp(target), "earlier conversion, edited since");
    EXPECT_EQ(Slurp(OutputPath(&failed.pending)), "(none)");
    EXPECT_TRUE(gLog.empty());

    // A complete one takes the name, and the replacement is logged.
    OutputFile done;
    ASSERT_EQ(BeginOutputFile(&spec, &done), 0);
    ASSERT_TRUE(WriteFile(OutputPath(&done.pending), "new"));
    ASSERT_EQ(CommitOutputFile(&done), 0);
    EXPECT_EQ(Slurp(target), "new");
    EXPECT_EQ(Slurp(OutputPath(&done.pending)), "(none)");
    EXPECT_EQ(gLog, std::vector<std::string>{"replaced the earlier \"" + target + "\""});

    // A first conversion logs nothing.
    gLog.clear();
    FileSpec fresh = Source("Fresh.LBX");
    ASSERT_EQ(BeginOutputFile(&fresh, &done), 0);
    ASSERT_TRUE(WriteFile(OutputPath(&done.pending), "first"));
    ASSERT_EQ(CommitOutputFile(&done), 0);
    EXPECT_EQ(Slurp(dir_.file("Fresh.LBX")), "first");
    EXPECT_TRUE(gLog.empty());

    // A folder of the target's name is never replaced.
    ASSERT_EQ(::mkdir(dir_.file("Folder.LBX").c_str(), 0700), 0);
    FileSpec folder = Source("Folder.LBX");
    EXPECT_EQ(BeginOutputFile(&folder, &done), status::kDuplicateName);
    // Nor one that appears while the file is written.
    ASSERT_EQ(BeginOutputFile(&fresh, &done), 0);
    ASSERT_TRUE(WriteFile(OutputPath(&done.pending), "second"));
    ASSERT_EQ(::remove(dir_.file("Fresh.LBX").c_str()), 0);
    ASSERT_EQ(::mkdir(dir_.file("Fresh.LBX").c_str(), 0700), 0);
    EXPECT_EQ(CommitOutputFile(&done), status::kDuplicateName);
    EXPECT_EQ(Slurp(OutputPath(&done.pending)), "(none)");
}

// Output files begun side by side (say, two libraries converted into one folder) each have a
// pending file of their own, made at once (O_EXCL): no writer writes into another's.
TEST_F(Output, OutputFilesBegunTogetherHaveAPendingFileEach) {
    FileSpec a = Source("A.LBX"), b = Source("B.LBX");
    OutputFile first, second;
    ASSERT_EQ(BeginOutputFile(&a, &first), 0);
    ASSERT_EQ(BeginOutputFile(&b, &second), 0);
    EXPECT_NE(OutputPath(&first.pending), OutputPath(&second.pending));
    EXPECT_EQ(Slurp(OutputPath(&first.pending)), "");
    EXPECT_EQ(Slurp(OutputPath(&second.pending)), "");
    AbandonOutputFile(&first);
    AbandonOutputFile(&second);
    EXPECT_TRUE(FolderNames(dir_.path()).empty());
}

}  // namespace
}  // namespace plexa::test
