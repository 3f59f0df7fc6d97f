// Off-screen windows for the tests of pixel images and hit testing: a graphics state whose
// port belongs to it, standing in for the toolkit's window record. Installing them points the
// renderer's window hooks and the pixels hooks here.
#pragma once

#include <cstdint>

namespace plexa {

struct VXGrafState;
struct VXPixels;

namespace test {

void InstallTestOffScreenWindows();
// A window drawing into the image (may be null); current afterwards, like the toolkit's.
VXGrafState* NewTestOffScreenWindow(VXPixels* image);
void FreeTestOffScreenWindow(VXGrafState* window);

}  // namespace test
}  // namespace plexa
