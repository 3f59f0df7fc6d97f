// Version-3.6 libraries: the reader over a hand-written library in every byte order of its
// header and items, damaged libraries (truncated, fields no writer makes, random mutations) that
// must end with a status and keep nothing, and the conversion into a current library file as the
// library tool lists it.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "converter/detect.h"
#include "converter/driver.h"
#include "converter/options.h"
#include "converter/output.h"
#include "converter/report.h"
#include "converter/tests/converter_fixtures.h"
#include "converter/tests/v36_library_fixture.h"
#include "converter/v36libconvert.h"
#include "converter/v36library.h"
#include "converter/v36translate.h"
#include "foundation/datafile.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "graphics/grafprocs.h"
#include "graphics/offscreen.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "library/lib_tool.h"
#include "library/libfile.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/modelhooks.h"
#include "model/texts.h"
#include "model/themes.h"
#include "platform/app_platform.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

std::vector<std::string> gLog;
std::vector<OSStatus> gErrors;

class V36LibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static char name[] = "converter_tests";
        static char* argv[] = {name, nullptr};
        ASSERT_TRUE(PlatformEnsureApplication(1, argv));
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitSignals();
        VXInitGraf();
        VXInitStyles();
        VXTEInit();
        SchStylesInit();
        ASSERT_EQ(InitTextRecordPool(), 0);
        InitImageLists();
        InitSignals();
        // Texts are measured in the graphics layer's measuring state: made here, it outlives the
        // pools that tests open (and free) while items are translated.
        ASSERT_NE(VXGetMeasuringState(), nullptr);
    }

    void SetUp() override {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        SetDefaultConversionOptions();
        gLog.clear();
        gErrors.clear();
        ConverterReportProcs procs;
        procs.log = [](const char* line) { gLog.push_back(line); };
        procs.error = [](OSStatus code) { gErrors.push_back(code); };
        previous_ = SetConverterReportProcs(procs);
    }
    void TearDown() override {
        SetConverterReportProcs(previous_);
        SetDefaultConversionOptions();
    }

    FileSpec Write(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(WriteFile(dir_.file(name), bytes));
        FileSpec spec;
        EXPECT_EQ(FileSpecFromURL(dir_.file(name), &spec, true, nullptr), 0);
        return spec;
    }

    std::string Converted(const std::string& name) {
        return dir_.file(std::string(kConvertedLibrariesFolder) + "/" + name);
    }

    TempDir dir_;
    ConverterReportProcs previous_;
};

// Runs lib-tool in-process; its output, or the status and the error text.
std::string LibTool(std::vector<std::string> args) {
    args.insert(args.begin(), "lib-tool");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::string out, err;
    const int status = RunLibTool(int(argv.size()), argv.data(), &out, &err);
    return status == 0 ? out : "status " + std::to_string(status) + ": " + err + out;
}

// A compact view of an item as read: counts, kinds, texts and styles.
std::string Summary(const V36LibItem& item) {
    std::string s;
    AppendFormat(&s, "class %u flags %u format %u\n", item.head.classId, item.head.flags, item.head.format);
    for (uint32_t i = 0; i < item.elements.count; ++i) {
        const V36Element& e = item.elements.items[i];
        AppendFormat(&s, "element kind %u bounds (%d,%d,%d,%d) data %u %u %u points %u\n", e.head.kind,
                     e.head.bounds.top, e.head.bounds.left, e.head.bounds.bottom, e.head.bounds.right,
                     e.data[0], e.data[1], e.data[2], e.pointCount);
    }
    for (uint32_t i = 0; i < item.styles.count; ++i) {
        const V36Style& style = item.styles.styles[i];
        AppendFormat(&s, "style %s face %u size %u\n",
                     V36CountedText(reinterpret_cast<const uint8_t*>(style.fontName)).c_str(),
                     style.record.face, style.record.size);
    }
    for (uint32_t i = 0; i < item.head.textCount; ++i) {
        const V36TextRecord& t = item.texts[i];
        AppendFormat(&s, "text %d flags %02X %02X style %u bounds (%d,%d,%d,%d) \"%s\" \"%s\"\n", t.kind,
                     t.flagsA, t.flagsB, t.style, t.bounds.top, t.bounds.left, t.bounds.bottom,
                     t.bounds.right, V36BlockText(item.strings, t.text).c_str(),
                     (t.flagsB & kV36TextMacro) ? V36BlockText(item.strings, t.macro).c_str() : "");
    }
    return s;
}

// The whole library as read, or the first failing status.
std::string ReadAll(const std::string& bytes, MemPool pool = nullptr, bool* ok = nullptr) {
    HandleStream in(bytes);
    V36Library library;
    OSStatus st = ReadV36Library(in.stream, pool, &library);
    if (ok) *ok = st == 0;
    if (st) return "status " + std::to_string(st);
    std::string s;
    for (uint32_t i = 0; i < library.header.itemCount; ++i) {
        const V36LibraryEntry& entry = library.entries[i];
        s += "item " + V36LibraryEntryName(entry) + "\n";
        V36LibItem item;
        st = ReadV36LibItem(in.stream, pool, entry, &item);
        if (st) {
            if (ok) *ok = false;
            s += "status " + std::to_string(st) + "\n";
            continue;
        }
        s += Summary(item);
        FreeV36LibItem(&item);
    }
    FreeV36Library(&library);
    return s;
}

constexpr const char* kSummary = R"(item RES
class 42 flags 2 format 1
element kind 3 bounds (0,10,20,40) data 0 0 0 points 0
element kind 8 bounds (10,0,10,10) data 0 1 2 points 0
element kind 8 bounds (10,50,10,40) data 0 2 8 points 0
style Geneva face 0 size 9
style Helvetica face 1 size 10
style Times face 18 size 12
text 1 flags 40 00 style 0 bounds (0,2,8,8) "1" ""
text 2 flags 40 00 style 0 bounds (0,42,8,48) "2" ""
text 1 flags 00 00 style 0 bounds (12,2,20,8) "A" ""
text 2 flags 00 00 style 0 bounds (12,42,20,48) "B" ""
text -2 flags 00 00 style 1 bounds (22,10,32,40) "10k" ""
text -3 flags 00 00 style 0 bounds (-12,10,-2,30) "\LR" ""
text -3 flags 00 00 style 2 bounds (34,10,46,60) "Tol ±" ""
text -3 flags 00 40 style 0 bounds (48,10,58,60) "Date" "\DATS"
text 9 flags 40 00 style 0 bounds (0,0,8,8) "9" ""
item µA741
class 0 flags 0 format 1
element kind 7 bounds (0,10,40,50) data 6 0 10 points 3
element kind 8 bounds (10,0,10,10) data 0 1 0 points 0
element kind 8 bounds (30,0,30,10) data 0 2 1 points 0
element kind 8 bounds (20,60,20,50) data 0 3 8 points 0
style Geneva face 0 size 9
style Courier face 0 size 10
text 1 flags 40 00 style 1 bounds (2,2,10,8) "3" ""
text 2 flags 40 00 style 1 bounds (22,2,30,8) "2" ""
text 3 flags 40 00 style 1 bounds (12,52,20,58) "6" ""
text 1 flags 00 00 style 1 bounds (6,12,14,30) "+IN" ""
text -3 flags 00 00 style 0 bounds (42,10,52,40) "\n" ""
text -1 flags 00 00 style 0 bounds (-12,30,-2,50) "U?" ""
text -4 flags 00 00 style 0 bounds (54,10,64,40) "µA741" ""
text -8 flags 00 00 style 0 bounds (0,0,0,0) "SH{DIP8} pn{LM741} HT{5mm} ED{rev B} U1{op amp}" ""
text -7 flags 00 00 style 0 bounds (0,0,0,0) "X\V" ""
text -3 flags 00 00 style 7 bounds (66,10,76,40) "lost" ""
)";

TEST_F(V36LibraryTest, EveryByteOrderReadsAlike) {
    for (const bool file : {true, false}) {
        for (const bool first : {true, false}) {
            for (const bool second : {true, false}) {
                SCOPED_TRACE(std::string(file ? "big" : "little") + " file, items " +
                             (first ? "big" : "little") + " and " + (second ? "big" : "little"));
                V36LibraryOptions o;
                o.bigEndian = file;
                o.firstBigEndian = first;
                o.secondBigEndian = second;
                const std::string bytes = WriteV36Library(o).bytes;
                EXPECT_EQ(bytes.size() > kV36LibraryMinimumSize, true);
                EXPECT_EQ(ReadAll(bytes), kSummary);
                // The entry's flag, not the header's order, says how an item is read.
                HandleStream in(bytes);
                V36Library library;
                ASSERT_EQ(ReadV36Library(in.stream, nullptr, &library), 0);
                EXPECT_EQ(library.header.bigEndian, file);
                EXPECT_EQ(library.header.version, 900);
                for (int i = 0; i < 2; ++i) {
                    V36LibItem item;
                    ASSERT_EQ(ReadV36LibItem(in.stream, nullptr, library.entries[i], &item), 0);
                    EXPECT_EQ(item.swapped, i == 0 ? first : second);
                    FreeV36LibItem(&item);
                }
                FreeV36Library(&library);
            }
        }
    }
}

// What the library tool lists of the fixture converted with the default options (96 units per
// inch, designators shown, names not, class ids dropped). Pins are ordered by their place (top,
// then left: pin 1 of "µA741" is its output at the right, of node value 3); texts by font, size
// and face, then the longer string first, then by place; pin texts record "#" (number) and "$" (name); frames that hold a field
// reference are recorded as field-reference texts (kind 0x16). Item "RES" is big-endian, item
// "µA741" little-endian: the sizes of either are scaled once, with the drawing (Geneva 9 -> 12,
// Helvetica and Courier 10 -> 12, Times 12 -> 14). "lost" names style 7 of two: it takes the first.
constexpr const char* kListing = R"(RES
  prefix "R"
  attribute "Value" = "10k"
  symbol "Part 1" flags 0x80 placement 2
    pin 0 "A" type 7
    pin 1 "B" type 2
    text 0x0016 "{SheetModified}" Geneva 12
    text 0x0016 "{RefDes}" Geneva 12
    text 0x4000 "#" Geneva 12
    text 0x4001 "#" Geneva 12
    text 0x8000 "$" Geneva 12
    text 0x8001 "$" Geneva 12
    text 0x0016 "{Value}" Helvetica 12 face 1
    frame "Tol ±" Times 14 face 6
  section "A" symbol 0 pins "1" "2"
µA741
  prefix "U"
  attribute "Footprint" = "DIP8	LM741		5mm"
  attribute "ED" = "rev B"
  attribute "U1" = "op amp"
  attribute "Spice" = "X{Value}"
  symbol "Part 1" flags 0x0 placement 3
    pin 0 "+IN" type 0
    pin 1 "" type 2
    pin 2 "" type 1
    text 0x8000 "$" Courier 12
    text 0x4000 "#" Courier 12
    text 0x4001 "#" Courier 12
    text 0x4002 "#" Courier 12
    text 0x0016 "{Name}" Geneva 12
    text 0x0012 "µA741" Geneva 12
    text 0x0011 "U?" Geneva 12
    frame "lost" Geneva 12
  section "A" symbol 0 pins "3" "6" "2"
)";

TEST_F(V36LibraryTest, ConvertsIntoALibraryFileThatTheLibraryToolLists) {
    const FileSpec source = Write("Parts.SLB", WriteV36Library().bytes);
    ASSERT_EQ(ConvertFileProcessor(&source), 0);
    EXPECT_TRUE(gErrors.empty());
    const std::string library = Converted("Parts.LBX");
    ASSERT_EQ(gLog, std::vector<std::string>{"\"" + dir_.file("Parts.SLB") + "\": wrote \"" + library +
                                             "\" with 2 of 2 items"});
    EXPECT_EQ(LibTool({"list", library}), "RES\nµA741\n");
    EXPECT_EQ(LibTool({"list", "-l", library}), kListing);
    EXPECT_EQ(LibTool({"check", library}), "2 items, 2 names: sound\n");

    // Every flattened item is marked UTF-8 and holds its name recoded.
    LibraryFileRecord record;
    FileSpec spec;
    ASSERT_EQ(FileSpecFromURL(library, &spec, true, nullptr), 0);
    ASSERT_EQ(OpenLibraryFile(&spec, &record, kLibraryOpenReadOnly | kLibraryOpenLoadMap), 0);
    for (int32_t i = 0; i < CountLibItemMapEntries(record.map); ++i) {
        LibraryItemMapEntry entry;
        GetLibItemMapEntry(record.map, i, &entry);
        Handle flat = nullptr;
        ASSERT_EQ(LoadLibraryFileItem(&record, entry.blockId, &flat), 0);
        EXPECT_EQ(GetFlattenedLibraryItemFlags(flat) & kLibItemFlagUTF8, kLibItemFlagUTF8);
        EXPECT_EQ(IsFlattenedLibraryItemValid(flat), 1);
        char name[kFlatItemNameBufferSize];
        GetFlattenedLibraryItemName(flat, 0, name, sizeof name);
        EXPECT_TRUE(std::string(name) == "RES" || std::string(name) == "µA741") << name;
        MemFree(flat);
    }
    EXPECT_EQ(CloseLibraryFile(&record), 0);

    // Converting again replaces the file, and says so; nothing else is left in the folder.
    gLog.clear();
    ASSERT_EQ(ConvertFileProcessor(&source), 0);
    EXPECT_TRUE(gErrors.empty());
    EXPECT_EQ(gLog, (std::vector<std::string>{
                        "replaced the earlier \"" + library + "\"",
                        "\"" + dir_.file("Parts.SLB") + "\": wrote \"" + library + "\" with 2 of 2 items"}));
    EXPECT_EQ(LibTool({"list", "-l", library}), kListing);
    std::vector<std::string> files;
    DirectoryRef folder;
    ASSERT_EQ(DirectoryFromDirectoryURL(dir_.file(kConvertedLibrariesFolder), &folder), 0);
    EXPECT_EQ(status::kNoErr, EnumFiles(
        &folder,
        [](const FileSpec*, bool, bool, const std::string& path, void* out) {
            static_cast<std::vector<std::string>*>(out)->push_back(path);
            return true;
        },
        false, &files));
    EXPECT_EQ(files, std::vector<std::string>{library});
}

// The options at 72 units per inch: nothing scaled, so either item keeps its stored sizes (a text
// of style 1 takes the second stored style, Helvetica; the last index the last style, Times). Without names and designators shown by default, only what the texts
// ask for is set: "\LR" shows the designator, "\n" the name. Class ids become attributes.
TEST_F(V36LibraryTest, OptionsAndTheTextsThatAskToShowNamesAndDesignators) {
    gConvert96DPI = 0;
    gConvertShowRefDes = 0;
    gConvertShowName = 0;
    gConvertClassID = 1;
    const FileSpec source = Write("Parts.SLB", WriteV36Library().bytes);
    ASSERT_EQ(ConvertFileProcessor(&source), 0);
    EXPECT_TRUE(gErrors.empty());
    std::istringstream listing(LibTool({"list", "-l", Converted("Parts.LBX")}));
    std::string picked;
    for (std::string line; std::getline(listing, line);)
        if (line.find("placement") != std::string::npos || line.find("ClassID") != std::string::npos ||
            line.find("{Value}") != std::string::npos || line.find("Tol") != std::string::npos ||
            line.find("lost") != std::string::npos || line.find("{Name}") != std::string::npos)
            picked += line + "\n";
    EXPECT_EQ(picked, R"(  attribute "ClassID" = "42"
  symbol "Part 1" flags 0x80 placement 2
    text 0x0016 "{Value}" Helvetica 10 face 1
    frame "Tol ±" Times 12 face 6
  attribute "Spice" = "X{Value}"
  symbol "Part 1" flags 0x0 placement 1
    text 0x0016 "{Name}" Geneva 9
    frame "lost" Geneva 9
)");
}

// A library of one big-endian item written byte by byte from the stored layout: a pin and a line,
// one style, a pin number and a free text "\LQ".
std::string HandWrittenLibrary() {
    std::string bytes = Bytes({
        // ---- Header, 64 bytes ----
        0x03, 0x84,              // 0  version 900
        0x00, 0x00, 0x01, 0x00,  // 2  256: the leading zero bytes say big-endian
        0, 0, 0, 0,              // 6  not used
        0, 0,                    // 10 not used
        0, 0, 0, 0,              // 12 not used
        0x00, 0x01,              // 16 one item
        'Q', 'L', 'I', 'B',      // 18 file type
    });
    bytes += std::string(42, '\0');  // 22 not used
    bytes += Bytes({
        // ---- Directory entry 0, 30 bytes ----
        0x00, 0x00, 0x1E, 0x22,  // 0  the item at 7714, behind the whole directory
        0x02, 0xAF, '1',         // 4  name "Ø1" (Mac Roman 0xAF), counted ...
    });
    bytes += std::string(15, '\0');  //    ... in 18 bytes
    bytes += Bytes({
        0x00,                    // 22 flags: the item is big-endian
        0x00,                    // 23 not used
        0, 0, 0, 0,              // 24 not used
        0, 0,                    // 28 not used
    });
    bytes += std::string(254 * 30, '\0');  // the other 254 entries, unused
    bytes += Bytes({
        // ---- Item head, 32 bytes ----
        0, 0, 0, 0,              // 0  not used
        0, 0, 0, 0,              // 4  class id: none
        0, 0,                    // 8  not used
        0x00, 0x00,              // 10 flags
        0x00, 0x02,              // 12 two elements
        0x00, 0x02,              // 14 two texts
        0x00, 0x14,              // 16 a string block of 20 bytes
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 18 not used
        0x01,                    // 28 format: long element heads, no image list
        0, 0, 0,                 // 29 not used
        // ---- Element: a line, 40 bytes ----
        0x00, 0x00, 0x00, 0x28,  // total length
        0x00, 0x00,              // flags bytes A and B
        0, 0, 0, 0, 0, 0, 0, 0,  // not used
        0x00, 0x00, 0x00, 0x0A,  // from (0, 10) ...
        0x00, 0x00, 0x00, 0x28,  // ... to (0, 40)
        0x01, 0x01,              // kind 1 (line), pen width 1
        0x00, 0x00, 0x00, 0x07,  // frame colour, raw
        0x00, 0x00, 0x00, 0x07,  // fill colour, raw
        0, 0, 0, 0, 0, 0, 0, 0,  // kind data
        // ---- Element: a pin node, 40 bytes ----
        0x00, 0x00, 0x00, 0x28,  // total length
        0x00, 0x00,              // flags bytes A and B
        0, 0, 0, 0, 0, 0, 0, 0,  // not used
        0x00, 0x00, 0x00, 0x00,  // connection end (0, 0) ...
        0x00, 0x00, 0x00, 0x0A,  // ... to (0, 10)
        0x08, 0x01,              // kind 8 (node), pen width: index 0 + 1
        0x00, 0x00, 0x00, 0x07,  // frame colour, raw
        0x00, 0x00, 0x00, 0x07,  // fill colour, raw
        0x00, 0x00,              // kind data: not used
        0x00, 0x01,              //   node value 1
        0x00, 0x08,              //   pin flags: output
        0x00, 0x00,              //   not used
        // ---- Style list: header of four big-endian longs, one record, one font name ----
        0x00, 0x00, 0x00, 0x10,  // header length 16
        0x00, 0x00, 0x00, 0x10,  // record size 16
        0x00, 0x00, 0x00, 0x01,  // one style
        0x00, 0x00, 0x00, 0x00,  // list flags
        0, 0, 0, 0,              // 0  not used
        0x00, 0x00, 0x00, 0x01,  // 4  face: bold
        0x00, 0x09,              // 8  size 9
        0x00, 0x00,              // 10 not used
        0, 0, 0, 0,              // 12 the value kept with the style
        0x06, 'G', 'e', 'n', 'e', 'v', 'a',  // counted font name
        // ---- Text: the pin number "1", 28 bytes ----
        0x00, 0x02, 0x00, 0x02, 0x00, 0x0A, 0x00, 0x08,  // bounds (2, 2, 10, 8)
        0x00, 0x00, 0x40, 0x01,  // text spec: offset 16, length 1
        0x00, 0x00, 0x00, 0x00,  // macro spec: none
        0x00, 0x01,              // kind code 1: a text of the pin of node value 1
        0x40, 0x00,              // flags byte A 0x40: the pin number; flags byte B
        0x00, 0x00, 0x00, 0x00,  // owning symbol, label number
        0x00, 0x00, 0x00, 0x00,  // style index 0
        // ---- Text: the free text "\LQ", 28 bytes ----
        0xFF, 0xF4, 0x00, 0x0A, 0xFF, 0xFE, 0x00, 0x1E,  // bounds (-12, 10, -2, 30)
        0x00, 0x00, 0x44, 0x03,  // text spec: offset 17, length 3
        0x00, 0x00, 0x00, 0x00,  // macro spec: none
        0xFF, 0xFD,              // kind code -3: a free text
        0x00, 0x00,              // flags bytes A and B
        0x00, 0x00, 0x00, 0x00,  // owning symbol, label number
        0x00, 0x00, 0x00, 0x00,  // style index 0
        // ---- String block, 20 bytes ----
        0xDA, 0x7A, 0xBE, 0xD1,  // magic
        0x00, 0x00, 0x00, 0x14,  // allocated 20
        0x00, 0x00, 0x00, 0x14,  // used 20
        0x00, 0x40, 0x00, 0x00,  // quantum 64, zero
        '1', '\\', 'L', 'Q',     // the strings
    });
    return bytes;
}

TEST_F(V36LibraryTest, AHandWrittenLibrary) {
    const std::string bytes = HandWrittenLibrary();
    EXPECT_EQ(ReadAll(bytes), R"(item Ø1
class 0 flags 0 format 1
element kind 1 bounds (0,10,0,40) data 0 0 0 points 0
element kind 8 bounds (0,0,0,10) data 0 1 8 points 0
style Geneva face 1 size 9
text 1 flags 40 00 style 0 bounds (2,2,10,8) "1" ""
text -3 flags 00 00 style 0 bounds (-12,10,-2,30) "\LQ" ""
)");
    const FileSpec source = Write("Switch.SLB", bytes);
    ASSERT_EQ(ConvertFileProcessor(&source), 0);
    EXPECT_TRUE(gErrors.empty());
    // Size 9 at 72 units is scaled once, with the drawing, to 12 at 96 (in either byte order).
    EXPECT_EQ(LibTool({"list", "-l", Converted("Switch.LBX")}), R"(Ø1
  prefix "Q"
  symbol "Part 1" flags 0x0 placement 2
    pin 0 "" type 2
    text 0x0016 "{RefDes}" Geneva 12 face 1
    text 0x4000 "#" Geneva 12 face 1
  section "A" symbol 0 pins "1"
)");
}

TEST_F(V36LibraryTest, ALibraryOfNoItemsMakesNothingAndSaysWhy) {
    V36Fixture fixture = WriteV36Library();
    fixture.bytes[fixture.at["item count"] + 1] = 0;  // the low byte of a big-endian count
    const FileSpec source = Write("Empty.SLB", fixture.bytes);
    ASSERT_EQ(ConvertFileProcessor(&source), 0);
    EXPECT_TRUE(gErrors.empty());
    EXPECT_EQ(gLog, std::vector<std::string>{"\"" + dir_.file("Empty.SLB") + "\": skipped: The library holds no items."});
    bool isFolder = false;
    FileSpec folder;
    ASSERT_EQ(OutputLibraryFolder(&source, false, &folder), 0);
    EXPECT_FALSE(VXFileExists(&folder, &isFolder));
}

// A failing item ends the conversion: the items before it stay in the new library; when the
// first one fails no library is made (an older one stays as it was).
TEST_F(V36LibraryTest, AFailingItemKeepsTheItemsBeforeIt) {
    V36Fixture fixture = WriteV36Library();
    std::string bytes = fixture.bytes;
    bytes[fixture.at["item 1 strings used"]] = 0x7F;  // a used size beyond the block
    const FileSpec source = Write("Parts.SLB", bytes);
    ASSERT_EQ(ConvertFileProcessor(&source), 0);
    EXPECT_EQ(gErrors, std::vector<OSStatus>{kV36BadRecord});
    EXPECT_EQ(LibTool({"list", Converted("Parts.LBX")}), "RES\n");

    gErrors.clear();
    bytes = fixture.bytes;
    bytes[fixture.at["item 0 strings used"]] = 0x7F;  // big-endian: the high byte
    const FileSpec other = Write("Other.SLB", bytes);
    ASSERT_EQ(ConvertFileProcessor(&other), 0);
    EXPECT_EQ(gErrors, std::vector<OSStatus>{kV36BadRecord});
    bool isFolder = false;
    FileSpec folder, file;
    ASSERT_EQ(OutputLibraryFolder(&other, false, &folder), 0);
    ASSERT_EQ(OutputFileSpec(&folder, "Other.LBX", &file), 0);
    EXPECT_FALSE(VXFileExists(&file, &isFolder));
}

void Put(std::string& bytes, uint32_t at, uint32_t value, int width, bool big) {
    for (int i = 0; i < width; ++i) {
        const int shift = big ? 8 * (width - 1 - i) : 8 * i;
        bytes[at + uint32_t(i)] = char(uint8_t(value >> shift));
    }
}

// Lengths, counts and positions beyond the bytes there end with -39, values no writer makes with
// kV36BadRecord, a file shorter than a library's header and directory with 0x20002712.
TEST_F(V36LibraryTest, DamagedFieldsEndWithStatus) {
    const struct {
        const char* what;
        const char* field;
        int offset;
        int width;
        uint32_t value;
        bool item;  // the field is an item's (of its own order) rather than the directory's
        OSStatus expect;
    } cases[] = {
        {"item count", "item count", 0, 2, 0xFFFF, false, status::kEndOfFile},
        {"item position beyond the end", "entry 0", 0, 4, 0x7FFFFFF0, false, status::kEndOfFile},
        {"name longer than its field", "entry 0", 4, 1, 18, false, kV36BadRecord},
        {"empty name", "entry 1", 4, 1, 0, false, kV36BadRecord},
        {"element count", "item 0 element count", 0, 2, 0xFFFF, true, status::kEndOfFile},
        {"element length", "item 0 elements", 0, 4, 0x00100000, true, status::kEndOfFile},
        {"element length below its own size", "item 0 elements", 0, 4, 2, true, kV36BadRecord},
        {"style count", "item 0 style count", 0, 4, 0x7FFFFFFF, false, status::kEndOfFile},
        {"style header below 16 bytes", "item 0 styles", 3, 1, 8, false, kV36BadRecord},
        {"text count", "item 1 text count", 0, 2, 0xFFFF, true, status::kEndOfFile},
        {"strings beyond the end", "item 1 strings size", 0, 2, 0xFFFF, true, status::kEndOfFile},
        {"strings shorter than a block header", "item 1 strings size", 0, 2, 8, true, kV36BadRecord},
        {"strings used beyond the block", "item 1 strings used", 0, 4, 0x1000, true, kV36BadRecord},
        {"text outside the strings", "item 1 texts", 8, 4, (16u << 10) | 1000, true, kV36BadRecord},
        {"image list that is not one", "item 0 format", 0, 1, 0x03, false, 0},  // any status
    };
    const V36Fixture fixture = WriteV36Library();
    CappedPool capped;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = fixture.bytes;
        const bool big = !c.item || std::string(c.field).rfind("item 0", 0) == 0;
        Put(bytes, fixture.at.at(c.field) + uint32_t(c.offset), c.value, c.width, big);
        capped.clear();
        bool ok = true;
        const std::string read = ReadAll(bytes, capped.pool(), &ok);
        EXPECT_FALSE(ok) << read;
        if (c.expect) {
            EXPECT_NE(read.find("status " + std::to_string(c.expect)), std::string::npos) << read;
        }
        EXPECT_FALSE(capped.hitCeiling());
    }
    // An item that starts where the file ends.
    std::string bytes = fixture.bytes;
    Put(bytes, fixture.at.at("entry 1"), uint32_t(bytes.size()), 4, true);
    EXPECT_EQ(ReadAll(bytes), std::string(kSummary).substr(0, std::string(kSummary).find("item µA741")) +
                                  "item µA741\nstatus -39\n");
    // A file one byte shorter than a header and a whole directory is no library.
    HandleStream in(fixture.bytes.substr(0, kV36LibraryMinimumSize - 1));
    V36Library library;
    EXPECT_EQ(ReadV36Library(in.stream, nullptr, &library), status::kUnknownFileKind);
    EXPECT_EQ(library.entries, nullptr);
}

// Reads, translates and flattens every item of the bytes as the conversion does, in memory; the
// status of the first failure.
OSStatus ConvertInMemory(const std::string& bytes, MemPool pool, int* items) {
    HandleStream in(bytes);
    V36Library library;
    OSStatus st = ReadV36Library(in.stream, pool, &library);
    for (uint32_t i = 0; st == status::kNoErr && i < library.header.itemCount; ++i) {
        V36LibItem old;
        if ((st = ReadV36LibItem(in.stream, pool, library.entries[i], &old))) break;
        LibraryItem* item = nullptr;
        st = TranslateV36LibItem(old, library.entries[i], &item);
        FreeV36LibItem(&old);
        if (st) break;
        Handle flat = FlattenLibraryItem(item, true, 0, &st);
        DestroyLibraryItem(item);
        if (!flat) break;
        LibraryItem* back = nullptr;
        st = InflateLibraryItem(flat, &back, true);
        MemFree(flat);
        DestroyLibraryItem(back);
        ++*items;
    }
    FreeV36Library(&library);
    return st;
}

TEST_F(V36LibraryTest, TruncationEndsWithStatus) {
    const V36Fixture fixture = WriteV36Library();
    const std::string& bytes = fixture.bytes;
    CappedPool capped(4 << 20);
    int items = 0;
    ASSERT_EQ(ConvertInMemory(bytes, capped.pool(), &items), 0);
    EXPECT_EQ(items, 2);
    for (size_t cut = kV36LibraryMinimumSize - 1; cut < bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        items = 0;
        const OSStatus st = ConvertInMemory(bytes.substr(0, cut), capped.pool(), &items);
        EXPECT_EQ(st, cut < kV36LibraryMinimumSize ? status::kUnknownFileKind : status::kEndOfFile);
        EXPECT_EQ(items, cut < fixture.at.at("item 1") ? 0 : 1);
    }
    EXPECT_FALSE(capped.hitCeiling());
}

// Random damage to the directory and the items ends with a status or items that convert, flatten
// and read back; a leak would pile up into the pool's ceiling over the loop.
TEST_F(V36LibraryTest, MutationsEndWithStatus) {
    std::mt19937 rng(TestSeed());
    SCOPED_TRACE(TestSeed());
    V36LibraryOptions little;
    little.bigEndian = false;
    little.firstBigEndian = false;
    little.secondBigEndian = true;
    const V36Fixture sources[] = {WriteV36Library(), WriteV36Library(little)};
    const uint8_t interesting[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
    CappedPool capped(8 << 20);
    const uint64_t rounds = StressCount(300);
    int converted = 0;
    for (uint64_t round = 0; round < rounds; ++round) {
        const V36Fixture& source = sources[round % 2];
        std::string bytes = source.bytes;
        // The header's used part, the two entries and the items; the empty entries matter little.
        const uint32_t entries = source.at.at("entry 0"), items = source.at.at("item 0");
        const int changes = 1 + int(rng() % 4);
        for (int i = 0; i < changes; ++i) {
            const uint32_t span = 60 + uint32_t(bytes.size() - items);
            uint32_t at = uint32_t(rng() % span);
            at = at < 60 ? entries + at : items + (at - 60);
            bytes[at] = char(rng() % 2 ? interesting[rng() % sizeof interesting] : uint8_t(rng()));
        }
        if (rng() % 8 == 0) bytes.resize(items + rng() % (bytes.size() - items));
        int done = 0;
        if (ConvertInMemory(bytes, capped.pool(), &done) == status::kNoErr) ++converted;
    }
    EXPECT_FALSE(capped.hitCeiling());
    EXPECT_GT(converted, 0);  // some damage falls on values that do not matter
}

TEST_F(V36LibraryTest, FuzzSeeds) {
    V36LibraryOptions little;
    little.bigEndian = false;
    little.firstBigEndian = false;
    CheckFuzzSeed("converter_v36library", "big", WriteV36Library().bytes);
    CheckFuzzSeed("converter_v36library", "little", WriteV36Library(little).bytes);
    CheckFuzzSeed("converter_v36library", "hand", HandWrittenLibrary());
}

}  // namespace
}  // namespace plexa::test
