// Texts and text frames rebuilt from stored bytes as a sheet reader rebuilds them: the first byte
// chooses a text element or a frame.
//   Text element: its stored 20 bytes (kind, flags, position, string specs, extra), then the bytes
//   of the string block they point into. The text is measured, its markup read, moved, mirrored
//   and turned.
//   Frame: a byte for the text's encoding, the frame's stored 16-byte head, a u16 count and that
//   many u32 line starts, then the text. The frame is measured and drawn as it came, then broken
//   into lines again and measured and drawn once more.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "foundation/strings.h"
#include "fuzz/model_fuzz_app.h"
#include "graphics/offscreen.h"
#include "graphics/render.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "model/modelhooks.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"

using namespace plexa;

namespace {

struct Setup {
    Setup() {
        StartModelFuzzApplication();
        style = CreateTextStyle(gGenPool, nullptr);
        SetStyleFont(style, "DejaVu Sans");
        SetStyleSize(style, 12);
        pixels.assign(size_t(kSide) * kSide, 0xFF);
        bitmap = {pixels.data(), kSide, kSide, kSide, DrawPixelFormat::kGrey8};
        canvas = VXNewOffScreenState(&bitmap);
        if (canvas && QZInstallContext(canvas->port)) QZSetFocus(canvas->port, -1);
    }
    static constexpr int kSide = 64;
    txStyle* style = nullptr;
    std::vector<uint8_t> pixels;
    QZBitmap bitmap{};
    VXGrafState* canvas = nullptr;
};

void Element(const Setup& setup, const uint8_t* data, size_t size) {
    if (size < kTextStoredSize) return;
    StringBlock block = CreateStringBlock(gGenPool, 64);
    if (size > kTextStoredSize) {
        // The rest replaces the block's string bytes.
        const auto bytes = uint32_t(size - kTextStoredSize);
        if (!ResizeStringBlock(block, kStringBlockHeaderSize + bytes)) std::abort();
        std::memcpy(*block + kStringBlockHeaderSize, data + kTextStoredSize, bytes);
        reinterpret_cast<StringBlockHeader*>(*block)->used = kStringBlockHeaderSize + bytes;
    }
    TextRecord* text = CreateTextElement();
    std::memcpy(reinterpret_cast<char*>(text) + kTextStoredOffset, data, kTextStoredSize);
    text->style = setup.style;
    CalcTextBounds(nullptr, text, block);
    char plain[kTextPlainSize];
    int16_t runs[64];
    ExtractDrawSpecialText(text, block, plain, sizeof plain, runs, 64);
    for (int i = 0; runs[i] != -1; i += 2)
        if (runs[i] < 0 || runs[i] > runs[i + 1] || runs[i + 1] > int16_t(std::strlen(plain)))
            std::abort();
    for (int32_t code : {1, 4, 6, 2, 7}) TransformTextElement(text, nullptr, block, {3, -5}, code);
    char string[kTextStringSize];
    GetTextRecordString(text, block, string);
    GetExpandedTextString(string, nullptr);
    if (std::strlen(string) >= kTextStringSize) std::abort();
    MemFreePtr(text);
    DestroyStringBlock(block);
}

void Frame(const Setup& setup, const uint8_t* data, size_t size) {
    if (size < 1 + kTextFrameStoredSize + 2) return;
    static const uint32_t kEncodings[] = {kEncodingMacRoman, kEncodingUTF8, kEncodingUTF16LE, 7};
    const uint32_t encoding = kEncodings[data[0] & 3];
    const uint8_t* head = data + 1;
    uint16_t count = 0;
    std::memcpy(&count, head + kTextFrameStoredSize, 2);
    const uint8_t* starts = head + kTextFrameStoredSize + 2;
    const size_t startBytes = std::min<size_t>(size_t(count) * 4, size - (starts - data));
    const uint8_t* text = starts + startBytes;
    TextFrameHandle frame = CreateTextFrame(text, int32_t(size - (text - data)), encoding);
    if (!frame) std::abort();
    std::memcpy(reinterpret_cast<char*>(*frame) + kTextFrameStoredOffset, head,
                kTextFrameStoredSize);
    (*frame)->style = setup.style;
    if (!SetHandleContent((*frame)->lineStarts, starts, uint32_t(startBytes))) std::abort();
    for (int pass = 0; pass < 2; pass++) {
        CalcTextFrameBounds(nullptr, frame, pass == 1, 200);
        VXGrafState* previous = VXSetCurrentGrafState(setup.canvas);
        DrawTextFrame(frame, pass == 0);
        VXSetCurrentGrafState(previous);
        char out[64];
        GetTextFrameTextAsString(frame, true, sizeof out, out);
        Handle roman = GetTextFrameTextAsHandle(frame, kEncodingMacRoman, true, true);
        if (roman) MemFree(roman);
        Point point;
        GetTextFrameAnchorPoint(frame, false, &point);
        GetTextFrameSizePoint(frame, &point);
        TransformTextFrame(frame, nullptr, {0, 0}, 4);
    }
    DestroyTextFrame(frame);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    if (size < 1) return 0;
    if (data[0] & 1) Element(setup, data + 1, size - 1);
    else Frame(setup, data + 1, size - 1);
    return 0;
}
