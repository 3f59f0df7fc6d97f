#include "design/simlink_frame.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "design/simlink_strings.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/socket.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
        text += ' ';
    }
    return text;
}

std::string FromBytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(char(uint8_t(b)));
    return s;
}

using Problem = std::pair<SpiceFrameProblem, uint32_t>;

std::vector<Problem>& Problems() {
    static std::vector<Problem> problems;
    return problems;
}

void CatchProblem(SpiceFrameProblem problem, uint32_t detail) { Problems().push_back({problem, detail}); }

class SpiceFrames : public ::testing::Test {
protected:
    void SetUp() override {
        Problems().clear();
        former_ = SetSpiceFrameProblemHook(CatchProblem);
    }
    void TearDown() override {
        SetSpiceFrameProblemHook(former_);
        for (SpiceMessageRecord* m : messages_) DestroySpiceMessage(m);
    }

    // A message that the test frees.
    SpiceMessageRecord* Message(const char (&type)[5], uint32_t number, uint32_t projectId,
                                std::array<uint32_t, 4> arguments) {
        SpiceMessageRecord* m = AllocateSpiceMessage();
        m->type = FourCC(type);
        m->number = number;
        m->projectId = projectId;
        for (int i = 0; i < 4; ++i) m->arguments[i] = arguments[size_t(i)];
        messages_.push_back(m);
        return m;
    }

    std::string Encode(const SpiceMessageRecord* m) {
        std::string frame;
        EXPECT_EQ(EncodeSpiceFrame(m, &frame), 0);
        return frame;
    }

    // Reads the bytes; the messages that came, and the status that ended the reading.
    std::vector<SpiceMessageRecord*> Read(const std::string& bytes, OSStatus* status = nullptr) {
        LinkListHeader* queue = nullptr;
        const OSStatus err =
            ReadSpiceFramesFromBuffer(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &queue);
        if (status) *status = err;
        std::vector<SpiceMessageRecord*> read;
        while (auto* m = static_cast<SpiceMessageRecord*>(LLPop(queue, false))) {
            read.push_back(m);
            messages_.push_back(m);
        }
        LLDispose(queue, true);
        return read;
    }

    std::vector<SpiceMessageRecord*> messages_;
    SpiceFrameProblemHook former_ = nullptr;
};

// "NVal" request: message 7 of project 0x00010203, analysis 5, one signal name.
const std::string kNValFrame = FromBytes({
    0x52, 0xA3, 0xC1, 0x20,                          // start marker, header length 32
    'N', 'V', 'a', 'l',                              // type
    0x01, 0x00, 0x00, 0x00,                          // sender 1, raw 0, two zero bytes
    0x00, 0x00, 0x00, 0x07,                          // message number 7
    0x00, 0x01, 0x02, 0x03,                          // project id
    0x00, 0x00, 0x00, 0x05,                          // argument 1: analysis id 5
    0x00, 0x00, 0x00, 0x00,                          // argument 2
    0x00, 0x00, 0x00, 0x00,                          // argument 3
    0x00, 0x00, 0x00, 0x00,                          // argument 4
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x07,  // list head: data size 0, 1 entry, 7 bytes
    0x06, 'v', '(', 'o', 'u', 't', ')',              // "v(out)"
    0xAA, 0xCC, 0x55, 0x11,                          // end marker
});

// "AddA" from the simulator: analysis key 0x11, stamp 0x22, the analysis "tran" (id 100) and its
// graph "graph 1" (id 0x01020304).
const std::string kAddAFrame = FromBytes({
    0x52, 0xA3, 0xC1, 0x20,
    'A', 'd', 'd', 'A',
    0x01, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x01, 0x00,                          // message number 256
    0x12, 0x34, 0x56, 0x78,                          // project id
    0x00, 0x00, 0x00, 0x11,                          // analysis key
    0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x22,                          // stamp
    0x00, 0x00, 0x00, 0x00,
    0x00, 0x04, 0x00, 0x02, 0x00, 0x00, 0x00, 0x15,  // data size 4, 2 entries, 21 bytes
    0x04, 't', 'r', 'a', 'n', 0x00, 0x00, 0x00, 0x64,
    0x07, 'g', 'r', 'a', 'p', 'h', ' ', '1', 0x01, 0x02, 0x03, 0x04,
    0xAA, 0xCC, 0x55, 0x11,
});

// "ECon" without body: the empty head.
const std::string kGoodbyeFrame = FromBytes({
    0x52, 0xA3, 0xC1, 0x20,
    'E', 'C', 'o', 'n',
    0x01, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x02,
    0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // empty list head
    0xAA, 0xCC, 0x55, 0x11,
});

// "Open" with a raw body: the path and its terminating zero.
const std::string kOpenFrame = FromBytes({
    0x52, 0xA3, 0xC1, 0x20,
    'O', 'p', 'e', 'n',
    0x01, 0x01, 0x00, 0x00,                          // sender 1, raw 1
    0x00, 0x00, 0x00, 0x03,
    0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x55, 0xAA, 0xAA, 0x55, 0x00, 0x00, 0x00, 0x07,  // raw prefix, 7 bytes of data
    '/', 'a', '.', 'c', 'i', 'r', 0x00,
    0xAA, 0xCC, 0x55, 0x11,
});

// A raw message without data: no body at all.
const std::string kRawEmptyFrame = FromBytes({
    0x52, 0xA3, 0xC1, 0x20,
    'R', 'A', 'n', 'a',
    0x01, 0x01, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x04,
    0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xAA, 0xCC, 0x55, 0x11,
});

Handle OneSignal() {
    Handle list = CreateSpiceStringList(0);
    EXPECT_EQ(AddSpiceStringListEntry(list, "v(out)", nullptr), 0);
    return list;
}

Handle AnalysisList() {
    Handle list = CreateSpiceStringList(4);
    const uint32_t ids[] = {100, 0x01020304};
    EXPECT_EQ(AddSpiceStringListEntry(list, "tran", &ids[0]), 0);
    EXPECT_EQ(AddSpiceStringListEntry(list, "graph 1", &ids[1]), 0);
    return list;
}

TEST_F(SpiceFrames, WritesTheWireBytes) {
    SpiceMessageRecord* nval = Message("NVal", 7, 0x00010203, {5, 0, 0, 0});
    nval->sender = 1;
    nval->body = OneSignal();
    EXPECT_EQ(Hex(Encode(nval)), Hex(kNValFrame));

    SpiceMessageRecord* adda = Message("AddA", 256, 0x12345678, {0x11, 0, 0x22, 0});
    adda->sender = 1;
    adda->body = AnalysisList();
    const std::string before(*adda->body, SizeOfHandle(adda->body));
    EXPECT_EQ(Hex(Encode(adda)), Hex(kAddAFrame));
    // The body was turned on a copy.
    EXPECT_EQ(std::string(*adda->body, SizeOfHandle(adda->body)), before);

    SpiceMessageRecord* goodbye = Message("ECon", 2, 0, {0, 0, 0, 0});
    goodbye->sender = 1;
    EXPECT_EQ(Hex(Encode(goodbye)), Hex(kGoodbyeFrame));

    SpiceMessageRecord* open = Message("Open", 3, 0, {0, 0, 0, 0});
    open->sender = 1;
    open->raw = 1;
    open->body = AllocHandleWithData(nullptr, "\x55\xAA\xAA\x55\x00\x00\x00\x07/a.cir", 15);
    EXPECT_EQ(Hex(Encode(open)), Hex(kOpenFrame));

    SpiceMessageRecord* run = Message("RAna", 4, 0, {9, 1, 0, 0});
    run->sender = 1;
    run->raw = 1;
    EXPECT_EQ(Hex(Encode(run)), Hex(kRawEmptyFrame));
}

TEST_F(SpiceFrames, RefusesBodiesThatAreNotWhatTheyClaim) {
    std::string frame;
    SpiceMessageRecord* list = Message("NVal", 1, 0, {0, 0, 0, 0});
    list->body = AllocHandleWithData(nullptr, "\x00\x00\x02\x00\x01\x00\x00\x00\x05", 9);
    EXPECT_EQ(EncodeSpiceFrame(list, &frame), status::kParamErr);
    EXPECT_TRUE(frame.empty());
    SpiceMessageRecord* raw = Message("Open", 1, 0, {0, 0, 0, 0});
    raw->raw = 1;
    raw->body = AllocHandleWithData(nullptr, "\x55\xAA\xAA\x55\x00\x00\x00\x09/a", 10);
    EXPECT_EQ(EncodeSpiceFrame(raw, &frame), status::kParamErr);
    MemFree(raw->body);
    raw->body = AllocHandleWithData(nullptr, "abc", 3);
    EXPECT_EQ(EncodeSpiceFrame(raw, &frame), status::kParamErr);
}

TEST_F(SpiceFrames, ReadsTheWireBytes) {
    OSStatus err = 0;
    const std::vector<SpiceMessageRecord*> read =
        Read(kNValFrame + kAddAFrame + kGoodbyeFrame + kRawEmptyFrame, &err);
    EXPECT_EQ(err, status::kSocketNothingYet);
    EXPECT_TRUE(Problems().empty());
    ASSERT_EQ(read.size(), 4u);

    EXPECT_EQ(read[0]->type, FourCC("NVal"));
    EXPECT_EQ(read[0]->sender, 1);
    EXPECT_EQ(read[0]->number, 7u);
    EXPECT_EQ(read[0]->projectId, 0x00010203u);
    EXPECT_EQ(read[0]->arguments[0], 5u);
    ASSERT_NE(read[0]->body, nullptr);
    char text[kSpiceStringTextSize];
    ASSERT_EQ(GetSpiceStringListEntry(read[0]->body, 0, text, nullptr), 0);
    EXPECT_STREQ(text, "v(out)");

    // Integers of the entries arrive in this machine's order: the body equals the list as made.
    EXPECT_EQ(read[1]->type, FourCC("AddA"));
    EXPECT_EQ(read[1]->number, 256u);
    EXPECT_EQ(read[1]->projectId, 0x12345678u);
    EXPECT_EQ(read[1]->arguments[0], 0x11u);
    EXPECT_EQ(read[1]->arguments[2], 0x22u);
    Handle expected = AnalysisList();
    ASSERT_NE(read[1]->body, nullptr);
    EXPECT_EQ(std::string(*read[1]->body, SizeOfHandle(read[1]->body)),
              std::string(*expected, SizeOfHandle(expected)));
    DestroySpiceStringList(expected);

    // The empty head gives no body.
    EXPECT_EQ(read[2]->type, FourCC("ECon"));
    EXPECT_EQ(read[2]->body, nullptr);
    // A raw header is followed directly by the end marker.
    EXPECT_EQ(read[3]->type, FourCC("RAna"));
    EXPECT_EQ(read[3]->raw, 1);
    EXPECT_EQ(read[3]->arguments[0], 9u);
    EXPECT_EQ(read[3]->body, nullptr);
}

TEST_F(SpiceFrames, SurvivesWhatIsNotAFrame) {
    // The header length byte of a start marker.
    std::string shortHeader = kGoodbyeFrame;
    shortHeader[3] = 0x10;
    std::string longHeader = kGoodbyeFrame;
    longHeader[3] = char(0x40);
    std::string topBit = kGoodbyeFrame;
    topBit[3] = char(0xA0);
    // A wrong end marker.
    std::string badEnd = kNValFrame;
    badEnd[badEnd.size() - 1] = 0x12;
    // A string list longer than the limit, and one as long as a u32 goes.
    std::string huge = kGoodbyeFrame;
    huge.replace(40, 4, FromBytes({0x01, 0x00, 0x00, 0x01}));
    std::string endless = kGoodbyeFrame;
    endless.replace(40, 4, FromBytes({0xFF, 0xFF, 0xFF, 0xFF}));
    // A list whose count asks for more entries than its length holds.
    std::string overCount = kNValFrame;
    overCount[39] = 0x02;
    // A list whose entry runs past its length.
    std::string overEntry = kNValFrame;
    overEntry[44] = 0x07;
    // A raw body from the peer is not read: its first bytes are not the end marker.
    std::string rawBody = kOpenFrame;

    struct Case {
        const char* what;
        std::string bytes;
        std::vector<Problem> problems;
    } cases[] = {
        {"garbage", "garbage", {{SpiceFrameProblem::kSkippedBytes, 7}}},
        {"a partial marker", FromBytes({0x52, 0xA3, 0x00, 0x52, 0x52}),
         {{SpiceFrameProblem::kSkippedBytes, 5}}},
        {"header length 16", shortHeader,
         {{SpiceFrameProblem::kBadHeaderLength, 16}, {SpiceFrameProblem::kSkippedBytes, 45}}},
        {"header length 64", longHeader,
         {{SpiceFrameProblem::kBadHeaderLength, 64}, {SpiceFrameProblem::kSkippedBytes, 45}}},
        {"header length with the top bit", topBit,
         {{SpiceFrameProblem::kBadHeaderLength, 0xA0}, {SpiceFrameProblem::kSkippedBytes, 45}}},
        {"bad end marker", badEnd,
         {{SpiceFrameProblem::kBadEndMarker, 0xAACC5512}, {SpiceFrameProblem::kSkippedBytes, 4}}},
        {"list too long", huge,
         {{SpiceFrameProblem::kBodyTooLong, 0x01000001}, {SpiceFrameProblem::kSkippedBytes, 4}}},
        {"list length 2^32 - 1", endless,
         {{SpiceFrameProblem::kBodyTooLong, 0xFFFFFFFF}, {SpiceFrameProblem::kSkippedBytes, 4}}},
        {"count past the entries", overCount, {{SpiceFrameProblem::kBadStringList, 7}}},
        {"entry past the list", overEntry, {{SpiceFrameProblem::kBadStringList, 7}}},
        {"raw body", rawBody,
         {{SpiceFrameProblem::kBadEndMarker, 0x55AAAA55}, {SpiceFrameProblem::kSkippedBytes, 19}}},
    };
    for (const Case& c : cases) {
        // Each is followed by a good frame, which is found again.
        Problems().clear();
        OSStatus err = 0;
        const std::vector<SpiceMessageRecord*> read = Read(c.bytes + kAddAFrame, &err);
        EXPECT_EQ(err, status::kSocketNothingYet) << c.what;
        ASSERT_EQ(read.size(), 1u) << c.what;
        EXPECT_EQ(read[0]->type, FourCC("AddA")) << c.what;
        EXPECT_EQ(read[0]->arguments[2], 0x22u) << c.what;
        EXPECT_EQ(Problems(), c.problems) << c.what;
    }
}

TEST_F(SpiceFrames, FindsAFrameThatBeginsWhereAnotherBreaksOff) {
    // The first frame loses its end marker: the bytes read in its place begin the next frame.
    const std::string broken = kNValFrame.substr(0, kNValFrame.size() - 4);
    std::vector<SpiceMessageRecord*> read = Read(broken + kAddAFrame);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0]->type, FourCC("AddA"));
    // A header length byte that begins the next marker.
    read = Read(FromBytes({0x52, 0xA3, 0xC1}) + kAddAFrame);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0]->type, FourCC("AddA"));
    EXPECT_EQ(Problems().back(), Problem(SpiceFrameProblem::kBadHeaderLength, 0x52));
}

TEST_F(SpiceFrames, AFrameThatStopsComingIsLost) {
    const std::string frames[] = {kNValFrame, kAddAFrame, kGoodbyeFrame};
    for (const std::string& frame : frames) {
        for (size_t cut = 1; cut < frame.size(); ++cut) {
            Problems().clear();
            OSStatus err = 0;
            EXPECT_TRUE(Read(frame.substr(0, cut), &err).empty()) << cut;
            if (cut < 5) {
                // Too few bytes to begin with: they wait for more.
                EXPECT_EQ(err, status::kSocketNothingYet) << cut;
            } else {
                EXPECT_EQ(err, status::kUserCancelled) << cut;
                EXPECT_EQ(Problems().back(),
                          Problem(SpiceFrameProblem::kIncomplete, uint32_t(status::kSocketTimeout)))
                    << cut;
            }
        }
    }
}

TEST_F(SpiceFrames, RoundTripsRandomMessages) {
    std::mt19937 random(test::TestSeed());
    for (uint64_t i = 0; i < test::StressCount(200); ++i) {
        SpiceMessageRecord* m = Message("test", uint32_t(random()), uint32_t(random()),
                                        {uint32_t(random()), uint32_t(random()), uint32_t(random()),
                                         uint32_t(random())});
        m->type = uint32_t(random());
        m->sender = 1;
        const uint16_t sizes[] = {0, 2, 4, 3};
        if (random() % 4 != 0) {
            m->body = CreateSpiceStringList(sizes[random() % 4]);
            const uint32_t count = 1 + random() % 20;
            for (uint32_t e = 0; e < count; ++e) {
                const std::string text(random() % 30, char(random()));
                const uint32_t data = uint32_t(random());
                ASSERT_EQ(AddSpiceStringListEntry(m->body, text.c_str(), &data), 0);
            }
        }
        const std::vector<SpiceMessageRecord*> read = Read(Encode(m));
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&read[0]->type), 32),
                  std::string(reinterpret_cast<const char*>(&m->type), 32));
        ASSERT_EQ(read[0]->body != nullptr, m->body != nullptr);
        if (m->body) {
            EXPECT_EQ(std::string(*read[0]->body, SizeOfHandle(read[0]->body)),
                      std::string(*m->body, SizeOfHandle(m->body)));
        }
    }
}

TEST_F(SpiceFrames, MutatedFramesEndWithAStatus) {
    std::mt19937 random(test::TestSeed());
    const std::string good = kNValFrame + kAddAFrame + kGoodbyeFrame;
    for (uint64_t i = 0; i < test::StressCount(500); ++i) {
        std::string bytes = good;
        for (uint32_t n = 1 + random() % 4; n > 0; --n) bytes[random() % bytes.size()] = char(random());
        OSStatus err = 0;
        const std::vector<SpiceMessageRecord*> read = Read(bytes, &err);
        EXPECT_LE(read.size(), 3u);
        EXPECT_TRUE(err == status::kSocketNothingYet || err == status::kUserCancelled) << err;
        for (SpiceMessageRecord* m : read) {
            if (m->body && !m->raw) {
                EXPECT_EQ(CheckSpiceStringList(reinterpret_cast<uint8_t*>(*m->body),
                                               SizeOfHandle(m->body), false),
                          0);
            }
        }
    }
}

TEST_F(SpiceFrames, FuzzSeeds) {
    SpiceMessageRecord* nval = Message("NVal", 7, 0x00010203, {5, 0, 0, 0});
    nval->body = OneSignal();
    SpiceMessageRecord* adda = Message("AddA", 256, 0x12345678, {0x11, 0, 0x22, 0});
    adda->body = AnalysisList();
    SpiceMessageRecord* goodbye = Message("ECon", 2, 0, {0, 0, 0, 0});
    SpiceMessageRecord* open = Message("Open", 3, 0, {0, 0, 0, 0});
    open->raw = 1;
    open->body = AllocHandleWithData(nullptr, "\x55\xAA\xAA\x55\x00\x00\x00\x07/a.cir", 15);
    test::CheckFuzzSeed("design_simframe", "nval", Encode(nval));
    test::CheckFuzzSeed("design_simframe", "adda", Encode(adda));
    test::CheckFuzzSeed("design_simframe", "open", Encode(open));
    test::CheckFuzzSeed("design_simframe", "garbage_between",
                        "noise" + Encode(goodbye) + "\x52\xA3\xC1" + Encode(adda));
}

}  // namespace
}  // namespace plexa
