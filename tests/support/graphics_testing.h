// Test helpers over the graphics layer. Header-only: the test programs that include it link
// the graphics layer.
#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "foundation/memory.h"
#include "graphics/render_text.h"
#include "graphics/textstyle.h"
#include "platform/text_layout.h"

namespace plexa::test {

// The application object, the memory manager and the text styles for tests that measure or
// draw text; register with ::testing::AddGlobalTestEnvironment(new TextTestEnvironment).
class TextTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        session_ = std::make_unique<TextPlatformSession>();
        InitMemoryManager(-1);
        VXInitStyles();
    }
    void TearDown() override {
        QZFlushTextCache();
        session_.reset();
    }

private:
    std::unique_ptr<TextPlatformSession> session_;
};

}  // namespace plexa::test
