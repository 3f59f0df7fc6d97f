// The text display view over a handle stream: line starts across appends, scrolling and the
// scroll bar, the cache of the lines on screen, write errors.
#include "graphics/textview.h"

#include <gtest/gtest.h>

#include "tests/support/graphics_testing.h"

#include <memory>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "foundation/stream.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"
#include "platform/text_layout.h"

namespace plexa {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::TextTestEnvironment);

struct Bar {
    double value = -1, proportion = -1;
    bool enabled = false;
};

class TextViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        TextViewHooks hooks;
        hooks.setScrollBar = [](void* bar, double value, double proportion, bool enabled) {
            *static_cast<Bar*>(bar) = {value, proportion, enabled};
        };
        hooks.scrollBarValue = [](void* bar) { return static_cast<Bar*>(bar)->value; };
        TextViewSetHooks(hooks);
        style_ = CreateTextStyle(nullptr, nullptr);
        state_.textStyle = style_;
        state_.port = QZPortAlloc(nullptr);
        handle_ = AllocHandle(nullptr, 0);
        ASSERT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(handle_), &stream_), status::kNoErr);
    }
    void TearDown() override {
        if (view_) DestroyTextViewStructures(view_);
        DisposeStream(stream_);
        MemFree(handle_);
        QZPortFree(state_.port);
        DestroyTextStyle(style_);
        TextViewSetHooks(TextViewHooks{});
    }
    // A view 10 lines high.
    void Make() {
        view_ = CreateTextDisplay(&state_, stream_, 4, 300, 0, &bar_);
        ASSERT_NE(view_, nullptr);
        view_->viewHeight = 10 * view_->lineHeight;
        UpdateScrollBar(view_);
    }
    std::vector<int32_t> Starts() {
        std::vector<int32_t> out;
        for (int32_t i = 0; i <= view_->lineCount; i++) out.push_back(TextDisplayLineStart(view_, i));
        return out;
    }
    void Append(const std::string& s, bool reveal = false) {
        ASSERT_EQ(TextDisplayAppend(view_, s.data(), int32_t(s.size()), reveal), status::kNoErr);
    }

    txStyle* style_ = nullptr;
    VXGrafState state_;
    Handle handle_ = nullptr;
    StreamRecord* stream_ = nullptr;
    TextDisplayRecord* view_ = nullptr;
    Bar bar_;
};

TEST_F(TextViewTest, LineStartsAcrossAppends) {
    struct Case {
        const char* name;
        std::vector<std::string> appends;
        std::vector<int32_t> starts;
    };
    const Case cases[] = {
        {"CR LF in one append", {"a\r\nb"}, {0, 3, 4}},
        {"CR LF split between appends", {"a\r", "\nb"}, {0, 3, 4}},
        {"LF and CR", {"a\nb\rc"}, {0, 2, 4, 5}},
        {"no final break", {"abc"}, {0, 3}},
        {"final break gives an empty line", {"abc\n"}, {0, 4, 4}},
        {"empty lines", {"\n\n", "\r\n"}, {0, 1, 2, 4, 4}},
        {"long text across scan chunks", {std::string(3000, 'x') + "\n" + std::string(2000, 'y')}, {0, 3001, 5001}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(status::kNoErr, SetStreamEnd(stream_, 0));
        if (view_) DestroyTextViewStructures(view_);
        view_ = nullptr;
        Make();
        for (const std::string& s : c.appends) Append(s);
        EXPECT_EQ(Starts(), c.starts);
        EXPECT_EQ(view_->lineCount, int32_t(c.starts.size()) - 1);
    }
}

TEST_F(TextViewTest, ScrollingClampsAndMovesWholeLines) {
    Make();
    EXPECT_FALSE(bar_.enabled);  // nothing to scroll
    for (int i = 0; i < 5; i++) Append("line\n");
    EXPECT_FALSE(bar_.enabled);
    EXPECT_EQ(view_->firstLine, 0);
    for (int i = 0; i < 25; i++) Append("line\n");
    EXPECT_EQ(view_->lineCount, 31);  // and the empty line after the last break
    EXPECT_EQ(view_->lastFirstLine, 21);
    EXPECT_TRUE(bar_.enabled);
    DoScroll(view_, kTextScrollToLine, 0, 500);
    EXPECT_EQ(view_->firstLine, 21);
    EXPECT_DOUBLE_EQ(bar_.value, 1.0);
    DoScroll(view_, kTextScrollWheel, 1, 0);  // less than a line still moves one
    EXPECT_EQ(view_->firstLine, 21);
    DoScroll(view_, kTextScrollWheel, -1, 0);
    EXPECT_EQ(view_->firstLine, 20);
    DoScroll(view_, kTextScrollWheel, -3 * view_->lineHeight, 0);
    EXPECT_EQ(view_->firstLine, 17);
    DoScroll(view_, kTextScrollPageUp, 0, 0);
    EXPECT_EQ(view_->firstLine, 8);
    DoScroll(view_, kTextScrollLineUp, 0, 0);
    EXPECT_EQ(view_->firstLine, 7);
    bar_.value = 0.5;
    DoScroll(view_, kTextScrollThumb, 0, 0);
    EXPECT_EQ(view_->firstLine, 11);
    // Appending with reveal shows the end.
    Append("more\n", true);
    EXPECT_EQ(view_->firstLine, view_->lastFirstLine);
}

TEST_F(TextViewTest, OnlyTheLinesOnScreenAreRead) {
    Make();
    std::string text;
    for (int i = 0; i < 2000; i++) text += "line " + std::to_string(i) + "\n";
    Append(text);
    DoScroll(view_, kTextScrollToLine, 0, 1000);
    const LRect all{0, 0, view_->viewHeight, 300};
    DoDrawContent(view_, &all);
    const int32_t first = TextDisplayLineStart(view_, 1000), end = TextDisplayLineStart(view_, 1010);
    EXPECT_LE(view_->cacheStart, first);
    EXPECT_GE(view_->cacheEnd, end);
    EXPECT_LE(view_->cacheEnd - view_->cacheStart, 2048);
    EXPECT_EQ(view_->cacheStart % 512, 0);
    // The cached bytes are the stream's.
    EXPECT_EQ(std::string(*view_->cache + (first - view_->cacheStart), 9), "line 1000");
    // A small scroll reads only what is missing and keeps the bytes in place.
    DoScroll(view_, kTextScrollLineDown, 0, 0);
    DoDrawContent(view_, &all);
    const int32_t next = TextDisplayLineStart(view_, 1001);
    EXPECT_EQ(std::string(*view_->cache + (next - view_->cacheStart), 9), "line 1001");
}

OSStatus FailingWrite(StreamRecord*, const void*, int32_t) { return status::kBusy; }

TEST_F(TextViewTest, WriteErrorChangesNothing) {
    Make();
    Append("a\nb");
    stream_->writeProc = FailingWrite;
    EXPECT_EQ(TextDisplayAppend(view_, "c\n", 2, true), status::kBusy);
    EXPECT_EQ(Starts(), (std::vector<int32_t>{0, 2, 3}));
}

}  // namespace
}  // namespace plexa
