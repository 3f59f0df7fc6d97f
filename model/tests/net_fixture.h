// What the tests of wires, signals and busses share: a whole sheet made by CreateDrawing (with
// the model's start-up of the text tests), a driver that draws and deletes wires as the sheet
// editor does, and the sheet dump of the nets.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "model/busses.h"
#include "model/sheetdump.h"
#include "model/signals.h"
#include "model/tests/model_fixture.h"
#include "model/tests/wire_driver.h"
#include "model/wireintegrate.h"
#include "model/wires.h"
#include "tests/support/testing.h"

namespace plexa::test {

// A wire made from corners, not linked.
inline WireHandle MakeWire(const std::vector<Point>& corners, uint16_t end0 = kWireEndFree,
                           uint16_t end1 = kWireEndFree, uint16_t flags = 0) {
    WireHandle wire = CreateWire(nullptr);
    for (Point p : corners) EXPECT_TRUE(InsertWireCorner(wire, p, -1));
    (*wire)->end0 = end0;
    (*wire)->end1 = end1;
    (*wire)->flags = flags;
    CalcWireBounds(wire);
    return wire;
}

inline std::vector<Point> Corners(WireHandle wire) {
    return std::vector<Point>(WireCorners(wire), WireCorners(wire) + (*wire)->cornerCount);
}

class NetTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        drawing = CreateDrawing();
        ASSERT_NE(drawing, nullptr);
        driver = std::make_unique<WireDriver>(drawing);
    }
    void TearDown() override {
        driver.reset();
        DestroySheet(drawing);
        ModelTest::TearDown();
    }

    std::string Nets() { return DumpSheet(drawing, kDumpSignals | kDumpBusses); }

    SignalHandle Draw(const std::vector<Point>& corners) { return driver->Draw(corners); }

    SignalHandle SignalAt(int32_t index) {
        return static_cast<SignalHandle>(LLGetIndexedLink(drawing->signalList, uint32_t(index)));
    }
    static WireHandle WireAt(WireList list, int32_t index) {
        return static_cast<WireHandle>(LLGetIndexedLink(list, uint32_t(index)));
    }
    std::string Name(SignalHandle signal) {
        char name[kSignalNameSize];
        GetSignalName(signal, drawing->stringBlock, name, sizeof name);
        return name;
    }

    SheetRecord* drawing = nullptr;
    std::unique_ptr<WireDriver> driver;
};

// Points are written {h, v} in the tests, as the dump writes them.
inline Point P(int16_t h, int16_t v) { return Point{v, h}; }

// "(h,v) (h,v) ...", as the dump writes corners.
inline std::string PointsText(const std::vector<Point>& points) {
    std::string text;
    for (Point p : points) {
        if (!text.empty()) text += ' ';
        text += "(" + std::to_string(p.h) + "," + std::to_string(p.v) + ")";
    }
    return text;
}

// "(left,top)-(right,bottom)", as the dump writes rectangles.
inline std::string DumpRect(const Rect& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// Compares a dump with the expected text kept in <folder>/<name> of the source tree; with
// PLEXA_WRITE_DUMPS set the file is written instead (look at it before keeping it).
inline void ExpectDumpFile(const std::string& dump, const std::string& name,
                           const std::string& folder = "model/tests/data") {
    const std::string path = SourcePath(folder + "/" + name);
    if (std::getenv("PLEXA_WRITE_DUMPS")) {
        ASSERT_TRUE(WriteFile(path, dump)) << path;
        return;
    }
    std::string expected;
    ASSERT_TRUE(ReadFile(path, expected)) << path;
    EXPECT_EQ(dump, expected) << "the dump differs from " << path;
}

}  // namespace plexa::test
