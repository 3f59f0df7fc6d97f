// ECO design states and the ECO file: round trips, a file written by hand in the other byte
// order, info-only reads, and corrupt files that must end with a status and an empty state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "design/ecostate.h"
#include "design/tests/eco_testing.h"
#include "tests/support/testing.h"

#include <sys/stat.h>

namespace plexa {
namespace {

// Two components (one on two placed symbols), two nets.
void BuildSample(DesignStateRecord* s) { ASSERT_EQ(BuildECOSample(s), 0); }

TEST(ECOState, BuildingOperations) {
    DesignStateRecord s;
    BuildSample(&s);
    char text[kStringSpecBufferSize];
    GetECOCompRefDes(&s, 0, text);
    EXPECT_STREQ(text, "U1");  // blanks trimmed
    GetECOCompName(&s, 1, text);
    EXPECT_STREQ(text, "RES");
    GetECOCompRefDes(&s, 9, text);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(RetrieveECOComp(&s, 1), 1);
    EXPECT_EQ(RetrieveECOComp(&s, 5), -1);
    EXPECT_EQ(RetrieveECONet(&s, "OUT"), 1);
    EXPECT_EQ(RetrieveECONet(&s, "out"), -1);
    EXPECT_EQ(GetECOPinListSize(&s), 2);
    EmptyDesignState(&s);
    EXPECT_EQ(GetECOPinListSize(&s), -1);
}

TEST(ECOState, NormalizeFootprint) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"DIP14\t\t\t", "DIP14"}, {"\\f.SO8,x\t", "SO8 x"}, {"A,B\tC", "A B C"}, {"", ""}, {"\\F.", ""}};
    for (const auto& c : cases) {
        char text[64];
        std::strcpy(text, c.in);
        NormalizeFootprintString(text, ' ');
        EXPECT_STREQ(text, c.out) << c.in;
    }
}

TEST(ECOState, FileRoundTripKeepsTheOrderOfTheWrittenState) {
    test::TempDir dir;
    DesignStateRecord s, back;
    BuildSample(&s);
    // A second component with the text index of the first: a lookup of the id finds the same
    // component before and after the trip.
    const int32_t twin = AddECOComp(&s, 0, "SO14");
    AddECOCompMember(&s, 9, 9, twin);
    const std::string path = dir.file("Board.ECO");
    ASSERT_EQ(WriteDesignStateFile(path.c_str(), &s), 0);
    EXPECT_EQ(IsDesignStateFile(path.c_str()), 0);
    ASSERT_EQ(ReadDesignStateFile(path.c_str(), &back, false), 0);
    EXPECT_EQ(DumpDesignState(&back), DumpDesignState(&s));
    ASSERT_EQ(back.components.size(), 3u);
    EXPECT_EQ(back.components[1].id, 1);
    ASSERT_EQ(back.members.size(), 4u);
    EXPECT_EQ(back.members[2].symbolId, -2);
    EXPECT_EQ(back.members[2].instanceId, 0xFFFFFFFFu);
    // A member names its component by id: the one a lookup of that id finds.
    EXPECT_EQ(back.members[3].component, RetrieveECOComp(&s, 0));
    EXPECT_EQ(back.members[2].component, s.members[2].component);
    for (size_t i = 0; i < s.netMembers.size(); ++i) EXPECT_EQ(back.netMembers[i].net, s.netMembers[i].net) << i;
    EXPECT_EQ(RetrieveECOComp(&back, 0), RetrieveECOComp(&s, 0));
    EXPECT_EQ(RetrieveECONet(&back, "OUT"), RetrieveECONet(&s, "OUT"));
    EmptyDesignState(&s);
    EmptyDesignState(&back);
}

TEST(ECOState, NoMembersAndInfoOnly) {
    DesignStateRecord s, back;
    ASSERT_EQ(InitDesignState(&s, kStateInitTexts), 0);
    SetDesignStateInfo(&s, "Empty", 0, kStateKindPCB);
    AddECOComp(&s, uint16_t(AddECOCompText(&s, "C1", "CAP")), "0805");
    std::vector<uint8_t> bytes = FlattenDesignState(&s);
    uint32_t last;
    std::memcpy(&last, bytes.data() + bytes.size() - 4, 4);
    EXPECT_EQ(last, 0xFFFFFFFFu);
    ASSERT_EQ(InflateDesignState(bytes.data(), bytes.size(), &back, false), 0);
    EXPECT_FALSE(back.hasNetMembers);
    EXPECT_EQ(GetECOPinListSize(&back), -1);
    ASSERT_EQ(InflateDesignState(bytes.data(), bytes.size(), &back, true), 0);
    char text[kStringSpecBufferSize];
    GetECOText(&back, back.name, text);
    EXPECT_STREQ(text, "Empty");
    EXPECT_EQ(back.kind, kStateKindPCB);
    EXPECT_TRUE(back.components.empty());
    EXPECT_TRUE(back.designators.empty());
    EmptyDesignState(&s);
    EmptyDesignState(&back);
}

const auto& kBigEndianFile = kECOBigEndianFile;

TEST(ECOState, ReadsTheOtherByteOrder) {
    DesignStateRecord s;
    ASSERT_EQ(InflateDesignState(kBigEndianFile, sizeof kBigEndianFile, &s, false), 0);
    EXPECT_EQ(DumpDesignState(&s),
              "design \"PB\" time=100 kind=1 flags=2\n"
              "text 0 \"U9\" \"NET\"\n"
              "comp 0 \"\"\n"
              "serial 258 -2 comp 0\n"
              "net \"NET1\"\n"
              "member \"NET1\" 0 \"1\"\n");
    EmptyDesignState(&s);
}

TEST(ECOState, HandleLengthsOfFourBytesPerTextAreRead) {
    std::vector<uint8_t> bytes(kBigEndianFile, kBigEndianFile + sizeof kBigEndianFile);
    bytes[33] = 4;  // designator handle length as the in-memory size
    bytes[43] = 4;
    DesignStateRecord s;
    ASSERT_EQ(InflateDesignState(bytes.data(), bytes.size(), &s, false), 0);
    EXPECT_EQ(s.designators.size(), 1u);
    EmptyDesignState(&s);
}

TEST(ECOState, CorruptFilesAreRejected) {
    const struct {
        const char* what;
        size_t at;
        std::vector<uint8_t> bytes;
        OSStatus expected;
    } cases[] = {
        {"wrong version", 1, {0x03}, kNotKnownFileKind},
        {"name beyond the strings", 11, {0x09}, kNotKnownFileKind},
        {"huge string count", 18, {0x7F, 0xFF, 0xFF, 0xFF}, -39},
        {"designator ref beyond the strings", 37, {0x07}, kNotKnownFileKind},
        {"odd handle length", 33, {0x05}, kNotKnownFileKind},
        {"huge handle length", 30, {0x7F, 0xFF, 0xFF, 0xF0}, kNotKnownFileKind},
        {"component text index beyond the handles", 51, {0x05}, kNotKnownFileKind},
        {"footprint ref length above the limit", 56, {0x04, 0x00}, kNotKnownFileKind},
        {"unknown net index in a member", 87, {0x03}, kNotKnownFileKind},
        {"member component beyond the handles", 89, {0x01}, kNotKnownFileKind},
        {"huge member count", 82, {0x7F, 0xFF, 0xFF, 0xFF}, -39},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes(kBigEndianFile, kBigEndianFile + sizeof kBigEndianFile);
        std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + std::ptrdiff_t(c.at));
        DesignStateRecord s;
        EXPECT_EQ(InflateDesignState(bytes.data(), bytes.size(), &s, false), c.expected) << c.what;
        EXPECT_EQ(s.strings, nullptr) << c.what;
        EXPECT_TRUE(s.components.empty()) << c.what;
    }
    for (size_t n = 0; n < sizeof kBigEndianFile; ++n) {
        DesignStateRecord s;
        EXPECT_NE(InflateDesignState(kBigEndianFile, n, &s, false), 0) << n;
        EXPECT_EQ(s.strings, nullptr);
    }
}

TEST(ECOState, ReadErrorsKeepTheFullCode) {
    test::TempDir dir;
    const std::string path = dir.file("bad.ECO");
    ASSERT_TRUE(test::WriteFile(path, std::string("\x00\x07\x00\x80\x80\x00", 6)));
    DesignStateRecord s;
    EXPECT_EQ(IsDesignStateFile(path.c_str()), kNotKnownFileKind);
    EXPECT_EQ(ReadDesignStateFile(path.c_str(), &s, false), kNotKnownFileKind);
    EXPECT_EQ(ReadDesignStateFile(dir.file("none").c_str(), &s, false), -43);
}

TEST(ECOState, FailedWriteLeavesTheTarget) {
    test::TempDir dir;
    DesignStateRecord s;
    BuildSample(&s);
    // A folder stands where the file should go: the rename fails and nothing is left behind.
    const std::string target = dir.file("Board.ECO");
    ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
    EXPECT_NE(WriteDesignStateFile(target.c_str(), &s), 0);
    EXPECT_EQ(IsDesignStateFile(dir.file("Board.ECO/x").c_str()), -43);
    // Replacing a longer file leaves none of its bytes behind.
    const std::string file = dir.file("Other.ECO");
    ASSERT_TRUE(test::WriteFile(file, std::string(4096, 'x')));
    ASSERT_EQ(WriteDesignStateFile(file.c_str(), &s), 0);
    std::string bytes;
    ASSERT_TRUE(test::ReadFile(file, bytes));
    EXPECT_EQ(bytes.size(), FlattenDesignState(&s).size());
    EmptyDesignState(&s);
}

}  // namespace
}  // namespace plexa
