// File leaders in both byte orders, the detection of version-3.6 documents over hand-written
// files, and what the driver does with each: convert (sheets and projects here report what they
// sheets and projects are converted in v36sheetconvert_test.cpp, libraries in v36library_test.cpp), pass over without a word, or
// report a failure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter/detect.h"
#include "converter/driver.h"
#include "converter/leader.h"
#include "converter/report.h"
#include "converter/tests/converter_fixtures.h"
#include "converter/tests/v36_sheet_builder.h"
#include "converter/v36project.h"
#include "foundation/datafile.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "model/tests/model_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

// A stream over a copy of the bytes, closed with the object.
class BytesStream {
public:
    explicit BytesStream(const std::string& bytes) {
        handle_ = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
        EXPECT_EQ(status::kNoErr, CreateStream(kStreamHandle, StreamTarget::OfHandle(handle_), &stream_));
    }
    ~BytesStream() {
        DisposeStream(stream_);
        MemFree(handle_);
    }
    StreamRecord* get() const { return stream_; }

private:
    Handle handle_ = nullptr;
    StreamRecord* stream_ = nullptr;
};

std::string Code(FourCharCode code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) text += char((code >> shift) & 0xFF);
    return code ? text : "";
}

// What the converter reported while a test ran.
std::vector<std::string> gLog;
std::vector<OSStatus> gErrors;

class Detection : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitSignals();
        gLog.clear();
        gErrors.clear();
        ConverterReportProcs procs;
        procs.log = [](const char* line) { gLog.push_back(line); };
        procs.error = [](OSStatus code) { gErrors.push_back(code); };
        previous_ = SetConverterReportProcs(procs);
    }
    void TearDown() override { SetConverterReportProcs(previous_); }

    FileSpec Write(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(WriteFile(dir_.file(name), bytes));
        FileSpec spec;
        EXPECT_EQ(FileSpecFromURL(dir_.file(name), &spec, true, nullptr), 0);
        return spec;
    }

    TempDir dir_;
    ConverterReportProcs previous_;
};

TEST_F(Detection, LeadersInBothOrders) {
    struct Case {
        const char* what;
        std::string bytes;
        OSStatus status;
        const char* type;
        uint16_t version;
        const char* platform;
        bool bigEndian;
        int32_t behind;
    };
    const Case cases[] = {
        {"little-endian", LittleEndianSheetLeader(), 0, "QSCM", 912, "IW32", false, 16},
        {"big-endian with platform", BigEndianSheetLeader(), 0, "QSCM", 911, "PMac", true, 20},
        {"longer than kept", LongSheetLeader(), 0, "QSCM", 912, "IMac", false, 40},
        {"current sheet", CurrentSheetLeader(), 0, "SCH4", 258, "IW32", false, 16},
        {"length beyond the end", OverlongLeader(), status::kEndOfFile, "", 0, "", false, 0},
        {"text", TextFile(), kNoFileLeader, "", 0, "", false, 0},
        {"short", LittleEndianSheetLeader().substr(0, 15), kNoFileLeader, "", 0, "", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BytesStream stream(c.bytes);
        FileLeaderInfo info;
        ASSERT_EQ(ReadFileLeader(stream.get(), &info), c.status);
        EXPECT_EQ(Code(info.type), c.type);
        EXPECT_EQ(info.version, c.version);
        EXPECT_EQ(Code(info.platform), c.platform);
        EXPECT_EQ(info.bigEndian, c.bigEndian);
        if (c.status == 0) {
            EXPECT_EQ(GetStreamPosition(stream.get()), c.behind);
        }
    }
    // The surplus of a long leader is skipped, not read: the content follows it.
    BytesStream stream(LongSheetLeader());
    FourCharCode type = 0;
    ASSERT_EQ(VXGetFileLeaderInfo(stream.get(), &type, nullptr, nullptr), 0);
    uint8_t first = 0;
    int32_t count = 1;
    ASSERT_EQ(StreamRead(stream.get(), &first, &count), 0);
    EXPECT_EQ(first, 0xC7);
    EXPECT_EQ(GetPlatformByteOrder(FourCC("PMac")), 1);
    EXPECT_EQ(GetPlatformByteOrder(FourCC("M68K")), 1);
    EXPECT_EQ(GetPlatformByteOrder(FourCC("IMac")), 0);
    EXPECT_EQ(GetPlatformByteOrder(FourCC("IW32")), 0);
}

TEST_F(Detection, EveryCutAndChangeOfALeaderEndsWithAStatus) {
    for (const std::string& leader : {BigEndianSheetLeader(), LongSheetLeader()}) {
        const size_t length = uint8_t(leader[12]) | uint8_t(leader[15]);  // 20 or 40
        for (size_t size = 0; size < length; ++size) {
            BytesStream stream(leader.substr(0, size));
            FileLeaderInfo info;
            const OSStatus st = ReadFileLeader(stream.get(), &info);
            EXPECT_TRUE(st == kNoFileLeader || st == status::kEndOfFile) << size << " " << st;
        }
        for (size_t at = 0; at < 20; ++at) {
            std::string changed = leader;
            changed[at] = char(changed[at] ^ 0x5A);
            BytesStream stream(changed);
            FileLeaderInfo info;
            const OSStatus st = ReadFileLeader(stream.get(), &info);
            if (st == 0) {
                EXPECT_LE(info.length, changed.size());
            }
        }
    }
}

TEST_F(Detection, DetectionTableAndWhatTheDriverDoes) {
    struct Case {
        const char* name;
        std::string bytes;
        OSStatus detection;
        const char* type;
        // "error": the conversion fails (the file holds a leader only, or is damaged) and is
        // reported; "log": skipped with a line that says why; "": nothing at all; "library": converted (the library tests follow
        // that), not run here
        const char* report;
    };
    const Case cases[] = {
        {"Amplifier.SCM", LittleEndianSheetLeader(), 0, "QSCM", "error"},
        {"Filter", BigEndianSheetLeader(), 0, "QSCM", "error"},
        {"Current.SCM", CurrentSheetLeader(), 0, "", ""},
        {"Notes.TXT", TextFile(), status::kUnknownFileKind, "", ""},
        {"Old.SLB", BigEndianLibrary(863, 1), status::kUnknownFileKind, "", ""},
        {"Parts.SLB", BigEndianLibrary(864, 2), 0, "QLIB", "library"},
        {"Intel.SLB", LittleEndianLibrary(900, 3), 0, "QLIB", "library"},
        {"Short.SLB", BigEndianLibrary(864, 2).substr(0, 64 + 30 * 255 - 1), status::kUnknownFileKind, "",
         ""},
        {"Empty.SLB", BigEndianLibrary(864, 0), 0, "QLIB", "log"},  // skipped: no items
        {"Tiny.SLB", BigEndianLibrary(864, 1).substr(0, 40), status::kUnknownFileKind, "", ""},
        {"Amp.SPR", DynamicFile("QSPR"), 0, "QSPR", "error"},  // no sheet list: damaged
        {"Amp.SHX", DynamicFile("SCH4"), status::kUnknownFileKind, "", ""},
        {"Future.SPR", DynamicFile("QSPR", 259), status::kUnknownFileKind, "", ""},
        {"Older.SPR", OldLayoutDynamicFile(), status::kUnknownFileKind, "", ""},
        {"Empty", "", status::kUnknownFileKind, "", ""},
        {"Cut.SCM", OverlongLeader(), status::kEndOfFile, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FileSpec spec = Write(c.name, c.bytes);
        FourCharCode type = 0;
        EXPECT_EQ(AutoDetectConversionFileType(&spec, &type), c.detection);
        EXPECT_EQ(Code(type), c.type);
        if (std::string(c.report) == "library") continue;
        gLog.clear();
        gErrors.clear();
        EXPECT_EQ(ConvertFileProcessor(&spec), c.detection);
        EXPECT_EQ(gLog.size(), std::string(c.report) == "log" ? 1u : 0u);
        EXPECT_EQ(gErrors.size(), std::string(c.report) == "error" ? 1u : 0u);
    }
    // Nothing was created beside the sources.
    std::vector<std::string> names;
    DirectoryRef folder;
    ASSERT_EQ(DirectoryFromDirectoryURL(dir_.path(), &folder), 0);
    EXPECT_EQ(EnumFiles(
                  &folder,
                  [](const FileSpec*, bool isFolder, bool, const std::string& path, void* out) {
                      if (isFolder) static_cast<std::vector<std::string>*>(out)->push_back(path);
                      return true;
                  },
                  false, &names),
              0);
    EXPECT_TRUE(names.empty());
}

TEST_F(Detection, SheetsAndProjectsGoToTheirConversions) {
    V36SheetDesc desc;
    desc.symbols = {{"RES", 96, 96, 1, 0x01, 5, 0, {V36Pin(0, 0, 0, 12, 1), V36Pin(0, 48, 0, 36, 2), V36Box(-6, 12, 6, 36)}}};
    const FileSpec sheet = Write("Amplifier.SCM", WriteV36SheetDesc(desc));
    const FileSpec project = Write("Amp.SPR", DynamicFile("QSPR"));
    for (const FileSpec* spec : {&sheet, &project}) EXPECT_EQ(ConvertFileProcessor(spec), 0);
    const std::string at = dir_.path();
    EXPECT_EQ(gLog, (std::vector<std::string>{
                        "\"" + at + "/Amplifier.SCM\": wrote \"" + at + "/Amplifier (Plexa)/Amplifier.SHX\"",
                        "\"" + at + "/Amplifier.SCM\": wrote \"" + at + "/Amplifier (Plexa)/Amplifier.PRX\" for 1 sheets",
                    }));
    // The project without its blocks is damage, reported once.
    EXPECT_EQ(gErrors, std::vector<OSStatus>{kV36ProjectDamaged});
}

// What detection takes for a library is exactly what the library conversion accepts: the
// conversion of any file refuses it as no library or too old a one exactly when detection did not
// find a library in it. (The libraries found hold no items: the conversion then makes nothing.)
TEST_F(Detection, DetectionAndTheLibraryConversionAgree) {
    const std::string headers[] = {
        BigEndianLibrary(864, 0),       BigEndianLibrary(863, 1),
        BigEndianLibrary(2000, 0),      LittleEndianLibrary(864, 0),
        LittleEndianLibrary(700, 1),    BigEndianLibrary(2000, 5).substr(0, 64),
        BigEndianLibrary(864, 1).substr(0, 63), BigEndianLibrary(864, 1).substr(0, 23),
        TextFile(),                     DynamicFile("QLIB"),
    };
    int n = 0;
    for (const std::string& bytes : headers) {
        SCOPED_TRACE(n);
        const FileSpec spec = Write("L" + std::to_string(n++) + ".SLB", bytes);
        FourCharCode type = 0;
        (void)AutoDetectConversionFileType(&spec, &type);  // some are refused; the conversion is checked
        gErrors.clear();
        ConvertV36Library(&spec);
        const bool refused = gErrors == std::vector<OSStatus>{status::kUnknownFileKind} ||
                             gErrors == std::vector<OSStatus>{kV36VersionTooOld};
        EXPECT_EQ(type == kV36LibraryType, !refused);
        EXPECT_EQ(type == kV36LibraryType, gErrors.empty());
    }
}

TEST_F(Detection, FuzzSeeds) {
    CheckFuzzSeed("converter_leader", "little_sheet", LittleEndianSheetLeader());
    CheckFuzzSeed("converter_leader", "big_sheet", BigEndianSheetLeader());
    CheckFuzzSeed("converter_leader", "long_leader", LongSheetLeader());
    CheckFuzzSeed("converter_leader", "big_library", BigEndianLibrary(864, 2));
    CheckFuzzSeed("converter_leader", "little_library", LittleEndianLibrary(900, 3));
    CheckFuzzSeed("converter_leader", "text", TextFile());
}

}  // namespace
}  // namespace plexa::test
