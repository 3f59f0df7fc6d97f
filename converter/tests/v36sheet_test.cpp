// The version-3.6 sheet reader over hand-written sheets: both byte orders, record sizes other
// than the known ones, the older version without sheet graphics, leaders whose order differs from
// the platform's, and damaged files (truncated, oversized lengths, values no writer makes,
// random mutations), which must end with a status and keep nothing.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "converter/driver.h"
#include "converter/tests/v36_fixture.h"
#include "converter/v36sheet.h"
#include "foundation/byteswap.h"
#include "foundation/filespec.h"
#include "foundation/stream.h"
#include "graphics/bmp.h"
#include "model/imagelist.h"
#include "model/tests/model_testing.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

class V36SheetTest : public ImageListTest {
protected:
    void SetUp() override {
        ImageListTest::SetUp();
        ImageList* list = CreateLocalImageList();
        AddImageToImageList(list, GreyImage(2, 2, 1));
        images_ = Flatten(list);
        DestroyImageList(list);
    }

    V36Fixture Little() { return WriteV36Sheet(LittleEndianV36(images_)); }
    V36Fixture Big() { return WriteV36Sheet(BigEndianV36(images_)); }

    std::string images_;
};

OSStatus Read(const std::string& bytes, MemPool pool, V36Sheet** sheet) {
    HandleStream in(bytes);
    return ReadV36Sheet(in.stream, pool, sheet);
}

// The dump of a sheet, or the reader's status.
std::string Dump(const std::string& bytes) {
    V36Sheet* sheet = nullptr;
    const OSStatus st = Read(bytes, nullptr, &sheet);
    if (st != status::kNoErr) return "status " + std::to_string(st);
    std::string text = FormatV36Sheet(sheet);
    DisposeV36Sheet(sheet);
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The lines after the leader's, or those that start with a prefix.
std::string Body(const std::string& dump) {
    const size_t end = dump.find('\n');
    return end == std::string::npos ? dump : dump.substr(end + 1);
}

std::string Only(const std::string& dump, const std::string& prefix) {
    std::string out;
    for (const std::string& line : Lines(dump))
        if (line.compare(0, prefix.size(), prefix) == 0) out += line + "\n";
    return out;
}

void Put32(std::string& bytes, uint32_t at, uint32_t value, bool big) {
    for (int i = 0; i < 4; ++i) {
        const int shift = big ? 24 - 8 * i : 8 * i;
        bytes[at + i] = char(uint8_t(value >> shift));
    }
}

void Put16(std::string& bytes, uint32_t at, uint16_t value, bool big) {
    bytes[at] = char(uint8_t(big ? value >> 8 : value));
    bytes[at + 1] = char(uint8_t(big ? value : value >> 8));
}

// What the little-endian fixture reads as, record by record.
constexpr const char* kLittleDump = R"(leader type "QSCM" version 912 platform "IW32" little-endian, 20 bytes
header version 912 settings at 340
settings symbols 2 x 32 at 486; texts 4 x 28 at 954; nets 1 x 28, nodes 12, links 34 at 1223; busses 1 x 26, members 12 at 1165
settings parts 1 x 6 at 1066; pins 2 at 1137; labels at 434; styles at 890; elements 3 at 774; images at 1375
sheet settings words 1 515 3 48 5 bytes 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 text "Amplifier, sheet 1"
labels 32 bytes "RESOPAMPR110kDate: \x5CDATS\x5CDATSVIN"
images 0: 2 x 2
symbol 0: number 1 id 5 class 0 flags 01 at (100,200) name "RES", 3 elements
  element 0: kind 3 flags 01 30 bounds (0,0,20,10) pen 1 frame 00FF0000 fill 0000FF00 data 0 0
  element 1: kind 8 flags 00 00 bounds (0,0,0,10) pen 1 frame 00000000 fill 00000000 node 0 value 1 pin flags 0008 type 2
  element 2: kind 8 flags 00 00 bounds (20,0,20,10) pen 2 frame 00000000 fill 00000000 node 1 value 2 pin flags 0002 type 7
symbol 1: number 2 id 32769 class 77 flags 14 at (300,400) name "OPAMP", 2 elements
  element 0: kind 7 flags 00 04 bounds (0,0,40,40) pen 2 frame 11223344 fill 00000000 points (0,0) (40,20) (0,40)
  element 1: kind 8 flags 00 00 bounds (20,50,20,60) pen 1 frame 00000000 fill 00000000 node 0 value 3 pin flags 0001 type 1
sheet elements 3
  element 0: kind 1 flags 00 20 bounds (500,500,600,700) pen 1 frame 00000001 fill 00000000 data 0 0
  element 1: kind 9 flags 00 20 bounds (10,10,26,26) pen 0 frame 00000000 fill 00000000 image 0 (present) size 16 x 16
  element 2: kind 6 flags 00 20 bounds (50,50,90,90) pen 3 frame 00000000 fill 00000000 data 0 90
styles header 16 record 16 flags 00000000 extra 00000000 count 2
style 0: font "Times" face 00000011 size 10 value 12345678
style 1: font "Helvetica" face 00000000 size 12 value 00000000
text 0: kind -1 flags 00 00 bounds (90,190,100,220) symbol 1 (#0) label 0 style 0 text "R1"
text 1: kind -2 flags 10 00 bounds (110,190,120,220) symbol 1 (#0) label 0 style 1 text "10k"
text 2: kind -3 flags 04 40 bounds (700,20,712,120) symbol 0 (none) label 0 style 0 text "Date: \x5CDATS" macro "\x5CDATS"
text 3: kind -5 flags 02 00 bounds (95,150,105,170) symbol 0 (none) label 3 style 1 text "VIN"
part 0: word 1 sections 2 fields "OPAMP\x09U\x09DIP8\x09LM358" pin ids 06
  section 0: placement 00000002 (2 (#1)) symbol id 32769
  section 1: placement FFFFFFFF (not placed) symbol id 32769
pin 0: id 1 name "VCC" fields "VCC\x09+15V"
pin 1: id 2 name "GND" fields ""
bus 0: name "D[0..7]" skipped 1 segments 2
  segment 0: (50,50) to (50,150) flags 40 label 0
  segment 1: (50,150) to (150,150) flags 00 label 2
net 0: name "VIN" flags 10 priority 16 nodes 3 links 2
  node 0: (100,200) index 1 symbol 1 (#0)
  node 1: (320,450) index 2 symbol 2 (#1)
  node 2: (200,300) index 3 junction 5
  link 0: (100,200) to (200,300) nodes 1 to 3 flags 00 label 3 corners (100,300)
  link 1: (200,300) to (320,450) nodes 3 to 2 flags 10 label 0 corners
)";

TEST_F(V36SheetTest, LittleEndianSheetReadsRecordByRecord) {
    EXPECT_EQ(Dump(Little().bytes), kLittleDump);
}

// The same sheet written big-endian on "PMac": every template is applied, and only the leader's
// line tells the two apart.
TEST_F(V36SheetTest, BothByteOrdersReadAlike) {
    const std::string little = Dump(Little().bytes), big = Dump(Big().bytes);
    EXPECT_EQ(Body(big), Body(little));
    EXPECT_EQ(Lines(big)[0], R"(leader type "QSCM" version 912 platform "PMac" big-endian, 20 bytes)");

    V36Sheet* sheet = nullptr;
    ASSERT_EQ(Read(Big().bytes, nullptr, &sheet), 0);
    EXPECT_TRUE(sheet->start.swap);
    DisposeV36Sheet(sheet);
    ASSERT_EQ(Read(Little().bytes, nullptr, &sheet), 0);
    EXPECT_FALSE(sheet->start.swap);
    DisposeV36Sheet(sheet);
}

// The leader's marker only says how the leader itself is stored; the platform it names says how
// the body is. A leader swapped on its own (little-endian) in front of a body written on "PMac"
// is read with a big-endian body, and the other way round.
TEST_F(V36SheetTest, ThePlatformDecidesTheBodysOrder) {
    const struct {
        const char* what;
        bool leaderBig, bodyBig;
        const char* platform;
        bool swap;
    } cases[] = {
        {"little-endian leader naming PMac", false, true, "PMac", true},
        {"little-endian leader naming M68K", false, true, "M68K", true},
        {"big-endian leader naming IW32", true, false, "IW32", false},
        {"big-endian leader naming IMac", true, false, "IMac", false},
    };
    const std::string expected = Body(Dump(Little().bytes));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        V36FixtureOptions o = LittleEndianV36(images_);
        o.leaderBigEndian = c.leaderBig;
        o.bigEndian = c.bodyBig;
        o.platform = StringToFourChar(c.platform);
        const std::string bytes = WriteV36Sheet(o).bytes;
        EXPECT_EQ(Body(Dump(bytes)), expected);
        V36Sheet* sheet = nullptr;
        ASSERT_EQ(Read(bytes, nullptr, &sheet), 0);
        EXPECT_EQ(sheet->start.swap, c.swap);
        EXPECT_EQ(sheet->start.leader.bigEndian, c.leaderBig);
        DisposeV36Sheet(sheet);
    }
}

// A stored record size above the known one is read for the known part and the rest skipped, so
// the next record starts where the file has it; a smaller one is zero-filled.
TEST_F(V36SheetTest, StoredRecordSizes) {
    const std::string base = Dump(Little().bytes);
    const struct {
        const char* what;
        int textSize;
        int surplus;
        bool big;
    } cases[] = {
        {"texts of 40 bytes", 40, 0, false},
        {"texts of 40 bytes, big-endian", 40, 0, true},
        {"every sized record 6 bytes longer", 28, 6, false},
        {"every sized record 6 bytes longer, big-endian", 28, 6, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        V36FixtureOptions o = c.big ? BigEndianV36(images_) : LittleEndianV36(images_);
        o.textSize = c.textSize;
        o.surplus = c.surplus;
        const V36Fixture fixture = WriteV36Sheet(o);
        const std::string dump = Dump(fixture.bytes);
        // Everything but the leader and the settings (which hold the stored sizes) reads alike.
        for (const char* prefix : {"symbol", "  ", "sheet", "style", "text", "part", "pin", "bus", "net"})
            EXPECT_EQ(Only(dump, prefix), Only(base, prefix)) << prefix;
        if (c.textSize == 40) {
            // The second text starts 40 bytes after the first.
            EXPECT_EQ(uint8_t(fixture.bytes[fixture.at.at("text 0") + 28]), 0xEE);
            EXPECT_NE(Only(dump, "settings symbols").find("texts 4 x 40"), std::string::npos);
        }
    }

    // Texts of 24 bytes lose their style index: it reads 0.
    V36FixtureOptions o = LittleEndianV36(images_);
    o.textSize = 24;
    const std::string dump = Dump(WriteV36Sheet(o).bytes);
    EXPECT_EQ(Only(dump, "text 1:"),
              "text 1: kind -2 flags 10 00 bounds (110,190,120,220) symbol 1 (#0) label 0 style 0 "
              "text \"10k\"\n");
    EXPECT_EQ(Only(dump, "text 3:"),
              "text 3: kind -5 flags 02 00 bounds (95,150,105,170) symbol 0 (none) label 3 style 0 "
              "text \"VIN\"\n");
}

// Version 911: no sheet graphics and no image list, though the positions are stored; symbol
// graphics have the 20-byte head and both colours black.
TEST_F(V36SheetTest, Version911HasNoSheetGraphics) {
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        V36FixtureOptions o = big ? BigEndianV36(images_) : LittleEndianV36(images_);
        o.version = 911;
        const std::string dump = Dump(WriteV36Sheet(o).bytes);
        EXPECT_EQ(Only(dump, "sheet elements"), "sheet elements 0\n");
        EXPECT_EQ(Only(dump, "images"), "images none\n");
        EXPECT_EQ(Only(dump, "  element 0: kind 7"),
                  "  element 0: kind 7 flags 00 04 bounds (0,0,40,40) pen 2 frame 07000000 fill "
                  "07000000 points (0,0) (40,20) (0,40)\n");
        EXPECT_EQ(Only(dump, "  element 1: kind 8"),
                  "  element 1: kind 8 flags 00 00 bounds (0,0,0,10) pen 1 frame 07000000 fill "
                  "07000000 node 0 value 1 pin flags 0008 type 2\n"
                  "  element 1: kind 8 flags 00 00 bounds (20,50,20,60) pen 1 frame 07000000 fill "
                  "07000000 node 0 value 3 pin flags 0001 type 1\n");
        for (const char* prefix : {"text", "part", "pin", "bus", "net", "style"})
            EXPECT_EQ(Only(dump, prefix), Only(kLittleDump, prefix)) << prefix;
    }
}

// A file cut anywhere ends with the reader's status and nothing read: without a whole leader it
// is no sheet (0x20002712), else -39. In a pool with a small ceiling, so that a count trusted
// before it is checked against the bytes left runs into the ceiling.
TEST_F(V36SheetTest, TruncationEndsWithStatus) {
    CappedPool capped(256 * 1024);
    for (const std::string& bytes : {Little().bytes, Big().bytes}) {
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            SCOPED_TRACE(cut);
            V36Sheet* sheet = reinterpret_cast<V36Sheet*>(1);
            const OSStatus st = Read(bytes.substr(0, cut), capped.pool(), &sheet);
            EXPECT_EQ(st, cut < kFileLeaderSize ? status::kUnknownFileKind : status::kEndOfFile);
            EXPECT_EQ(sheet, nullptr);
        }
    }
    EXPECT_FALSE(capped.hitCeiling());
}

// Lengths and counts beyond the bytes left end with -39; values that no writer makes with
// kV36BadRecord.
TEST_F(V36SheetTest, DamagedFieldsEndWithStatus) {
    const V36Fixture little = Little(), big = Big();
    const struct {
        const char* what;
        const char* field;
        int offset;
        int width;  // 2 or 4 bytes in the file's order, 1 a raw byte
        uint32_t value;
        OSStatus expect;
    } cases[] = {
        {"settings beyond the end", "settings position", 0, 4, 0x7FFFFFF0, status::kEndOfFile},
        {"labels length", "labels length", 0, 4, 0x7FFFFFF0, status::kEndOfFile},
        {"labels shorter than a block header", "labels length", 0, 4, 8, kV36BadRecord},
        {"labels used size beyond the block", "labels used", 0, 4, 0x1000, kV36BadRecord},
        {"symbol count", "symbol count", 0, 2, 0xFFFF, status::kEndOfFile},
        {"symbols beyond the end", "symbols", 0, 4, 0x7FFFFFF0, status::kEndOfFile},
        {"symbol name outside the labels", "symbol 0", 0, 4, (40u << 10) | 20, kV36BadRecord},
        {"symbol skip length", "symbol skip length", 0, 4, 0xFFFFFFF0, status::kEndOfFile},
        {"element length", "node element", 0, 4, 0x00100000, status::kEndOfFile},
        {"element length below its own size", "node element", 0, 4, 3, kV36BadRecord},
        {"polygon count beyond its record", "polygon data", 0, 2, 8, status::kEndOfFile},
        {"odd polygon count", "polygon data", 0, 2, 5, kV36BadRecord},
        {"sheet element count", "element count", 0, 2, 0xFFFF, status::kEndOfFile},
        {"sheet element length", "sheet element 0", 0, 4, 0x7FFFFFFF, status::kEndOfFile},
        {"style header below 16 bytes", "style header", 3, 1, 12, kV36BadRecord},
        {"style count", "style count", 0, 1, 0x7F, status::kEndOfFile},
        {"text count", "text count", 0, 2, 0xFFFF, status::kEndOfFile},
        {"text outside the labels", "text 0", 8, 4, (16u << 10) | 33, kV36BadRecord},
        {"part fields length", "part fields length", 0, 4, 0x7FFFFFF0, status::kEndOfFile},
        {"part pin ids length", "part pin ids length", 0, 4, 0x00FFFFFF, status::kEndOfFile},
        {"section skip length", "section skip length", 0, 4, 0x10000000, status::kEndOfFile},
        {"pin record length", "pin 0 length", 0, 4, 0x7FFFFFF0, status::kEndOfFile},
        {"pin name beyond its record", "pin 0 length", 0, 4, 5, kV36BadRecord},
        {"bus name longer than its field", "bus 0", 2, 1, 18, kV36BadRecord},
        {"bus segments length", "bus segments length", 0, 4, 0x7FFFFFF0, status::kEndOfFile},
        {"bus segments beyond their handle", "bus segments length", 0, 4, 20, status::kEndOfFile},
        {"node count", "node count", 0, 2, 0xFFFF, status::kEndOfFile},
        {"link node index naming no node", "link 0", 20, 4, 9, kV36BadRecord},
        {"link node index beyond 16 bits", "link 0", 16, 4, 0x10001, kV36BadRecord},
        {"corners length", "corners length", 0, 4, 0x7FFFFFF0, status::kEndOfFile},
        {"corners of half a point", "corners length", 0, 4, 2, kV36BadRecord},
    };
    CappedPool capped;
    for (const auto& c : cases) {
        for (const V36Fixture* fixture : {&little, &big}) {
            const bool isBig = fixture == &big;
            SCOPED_TRACE(std::string(c.what) + (isBig ? ", big-endian" : ""));
            std::string bytes = fixture->bytes;
            const uint32_t at = fixture->at.at(c.field) + uint32_t(c.offset);
            // The settings position is in the header, of the body's order like the rest.
            if (c.width == 4)
                Put32(bytes, at, c.value, isBig);
            else if (c.width == 2)
                Put16(bytes, at, uint16_t(c.value), isBig);
            else
                bytes[at] = char(uint8_t(c.value));
            V36Sheet* sheet = reinterpret_cast<V36Sheet*>(1);
            capped.clear();
            EXPECT_EQ(Read(bytes, capped.pool(), &sheet), c.expect);
            EXPECT_EQ(sheet, nullptr);
            EXPECT_FALSE(capped.hitCeiling());
        }
    }
}

// Random damage ends with a status or a sheet that can be dumped and freed; a leak would pile up
// into the pool's ceiling over the loop.
TEST_F(V36SheetTest, MutationsEndWithStatus) {
    std::mt19937 rng(TestSeed());
    SCOPED_TRACE(TestSeed());
    const std::string sources[] = {Little().bytes, Big().bytes};
    const uint8_t interesting[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
    // The image list's reader holds the place of every id up to an image's stored id (16 bits):
    // one damaged id may take a megabyte, which the ceiling leaves room for.
    CappedPool capped(2 << 20);
    const uint64_t rounds = StressCount(400);
    int read = 0;
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = sources[round % 2];
        const int changes = 1 + int(rng() % 4);
        for (int i = 0; i < changes; ++i) {
            const size_t at = kFileLeaderWithPlatformSize + rng() % (bytes.size() - kFileLeaderWithPlatformSize);
            bytes[at] = char(rng() % 2 ? interesting[rng() % sizeof interesting] : uint8_t(rng()));
        }
        if (rng() % 8 == 0) bytes.resize(rng() % bytes.size());
        V36Sheet* sheet = nullptr;
        const OSStatus st = Read(bytes, capped.pool(), &sheet);
        if (st == status::kNoErr) {
            ASSERT_NE(sheet, nullptr);
            EXPECT_FALSE(FormatV36Sheet(sheet).empty());
            DisposeV36Sheet(sheet);
            ++read;
        } else {
            EXPECT_EQ(sheet, nullptr);
        }
    }
    EXPECT_FALSE(capped.hitCeiling());
    EXPECT_GT(read, 0);  // some damage falls on values that do not matter
}

TEST_F(V36SheetTest, Lookups) {
    V36Sheet* sheet = nullptr;
    ASSERT_EQ(Read(Little().bytes, nullptr, &sheet), 0);
    EXPECT_EQ(FindV36Symbol(sheet, 1), 0);
    EXPECT_EQ(FindV36Symbol(sheet, 2), 1);
    EXPECT_EQ(FindV36Symbol(sheet, 3), -1);
    ASSERT_NE(V36TextStyle(sheet, 1), nullptr);
    EXPECT_EQ(V36TextStyle(sheet, 1)->record.size, 12);
    EXPECT_EQ(V36TextStyle(sheet, 2), nullptr);
    EXPECT_EQ(V36TextStyle(sheet, 0xFFFFFFFF), nullptr);
    DisposeV36Sheet(sheet);
    EXPECT_EQ(FindV36Symbol(nullptr, 1), -1);

    // Pin types by stored pin flags: bit 1 passive, else bit 3 output, else bit 0.
    const struct {
        int16_t flags;
        uint8_t type;
    } types[] = {{0, 0}, {1, 1}, {2, 7}, {3, 7}, {8, 2}, {9, 2}, {10, 7}, {-1, 7}, {0x10, 0}};
    for (const auto& t : types) EXPECT_EQ(TranslatePinType(t.flags), t.type) << t.flags;
}

// A file that is not a version-3.6 sheet: no "QSCM" leader.
// An image list of one image whose stored bitmap is `bitmap` (not packed).
std::string OneImageList(const std::string& bitmap) {
    std::string bytes = {0, 0, 0, 1, 1, 0, 0, 1};  // one image: not packed, stored id 0 + 1
    for (int shift = 24; shift >= 0; shift -= 8) bytes += char(uint8_t(bitmap.size() >> shift));
    return bytes + bitmap;
}

// A sheet whose image the bitmap reader refuses fails for what is wrong with the image, not as a
// file of no known kind (which would read "not a version-3.6 sheet"): a bitmap without its file
// header, or one whose header no bitmap has.
TEST_F(V36SheetTest, AnImageTheBitmapReaderRefusesIsNamedForWhatIsWrongWithIt) {
    VXPixels* image = GreyImage(2, 2, 1);
    HandleStream bare;
    ASSERT_EQ(VXWriteBMP(bare.stream, false, image, 0, 0), 0);  // the info header first, no "BM"
    HandleStream whole;
    ASSERT_EQ(VXWriteBMP(whole.stream, true, image, 0, 0), 0);
    VXDestroyPixelImage(image);
    std::string flat = whole.bytes();
    flat[14 + 12] = 0;  // no planes: no bitmap has that
    const struct {
        const char* what;
        std::string list;
        OSStatus expect;
        const char* text;
    } cases[] = {
        {"a bitmap without its file header", OneImageList(bare.bytes()), kV36ImageWithoutFileHeader,
         "An image in the file lacks its bitmap file header, so it cannot be read."},
        {"a bitmap of no planes", OneImageList(flat), kV36DamagedImage,
         "An image in the file is damaged: its bitmap cannot be read."},
    };
    TempDir dir;
    for (const auto& c : cases) {
        for (const bool big : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (big ? ", big-endian" : ""));
            const std::string bytes = WriteV36Sheet(big ? BigEndianV36(c.list) : LittleEndianV36(c.list)).bytes;
            V36Sheet* sheet = nullptr;
            EXPECT_EQ(Read(bytes, nullptr, &sheet), c.expect);
            EXPECT_EQ(sheet, nullptr);
            const std::string path = dir.file(big ? "Big.SCM" : "Little.SCM");
            ASSERT_TRUE(WriteFile(path, bytes));
            EXPECT_EQ(FormatConversionReport(ConvertDocument(path)), "\"" + path + "\": failed: " + c.text);
        }
    }
}

TEST_F(V36SheetTest, OnlySheetsAreRead) {
    std::string bytes = Little().bytes;
    bytes[4] = 'X';  // the type
    V36Sheet* sheet = nullptr;
    EXPECT_EQ(Read(bytes, nullptr, &sheet), status::kUnknownFileKind);
    EXPECT_EQ(Read("plain text, no leader at all", nullptr, &sheet), status::kUnknownFileKind);
    EXPECT_EQ(sheet, nullptr);

    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.file("Sheet.SCM"), Big().bytes));
    FileSpec spec;
    ASSERT_EQ(FileSpecFromURL(dir.file("Sheet.SCM"), &spec, true, nullptr), 0);
    StreamRecord* stream = nullptr;
    V36SheetStart start;
    ASSERT_EQ(OpenV36SheetFile(&spec, &stream, &start), 0);
    EXPECT_EQ(start.header.version, 912);
    EXPECT_EQ(start.settings.textCount, 4);
    EXPECT_EQ(GetStreamPosition(stream), int32_t(start.contentPosition));
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushFileStream(stream, false));
    ASSERT_TRUE(WriteFile(dir.file("Text.SCM"), "not a sheet"));
    ASSERT_EQ(FileSpecFromURL(dir.file("Text.SCM"), &spec, true, nullptr), 0);
    EXPECT_EQ(OpenV36SheetFile(&spec, &stream, &start), status::kUnknownFileKind);
    EXPECT_EQ(stream, nullptr);
}

TEST_F(V36SheetTest, FuzzSeeds) {
    CheckFuzzSeed("converter_v36sheet", "little", Little().bytes);
    CheckFuzzSeed("converter_v36sheet", "big", Big().bytes);
    V36FixtureOptions o = BigEndianV36(images_);
    o.version = 911;
    o.textSize = 40;
    o.surplus = 2;
    CheckFuzzSeed("converter_v36sheet", "big_911_long_records", WriteV36Sheet(o).bytes);
}

#ifdef PLEXA_V36_DUMP_PROGRAM
// The dump tool prints what the reader makes of a file, and refuses a damaged one.
TEST_F(V36SheetTest, DumpTool) {
    TempDir dir;
    const std::string bytes = Big().bytes;
    ASSERT_TRUE(WriteFile(dir.file("Sheet.SCM"), bytes));
    ASSERT_TRUE(WriteFile(dir.file("Cut.SCM"), bytes.substr(0, bytes.size() - 1)));
    auto run = [](const std::string& file, int* exit) {
        const std::string command = std::string(PLEXA_V36_DUMP_PROGRAM) + " '" + file + "' 2>/dev/null";
        std::FILE* pipe = popen(command.c_str(), "r");
        std::string out;
        char buffer[4096];
        for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        const int status = pipe ? pclose(pipe) : -1;
        *exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return out;
    };
    int exit = -1;
    EXPECT_EQ(run(dir.file("Sheet.SCM"), &exit), Dump(bytes));
    EXPECT_EQ(exit, 0);
    EXPECT_EQ(run(dir.file("Cut.SCM"), &exit), "");
    EXPECT_EQ(exit, 1);
}
#endif

}  // namespace
}  // namespace plexa::test
