// Off-screen windows for the tests of pixel images and hit testing.
#include "graphics/tests/pixels_testwindow.h"

#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"
#include "graphics/render.h"

namespace plexa::test {
namespace {

VXGrafState* StateOf(void* owner) { return static_cast<VXGrafState*>(owner); }

int32_t Kind(void* owner) { return StateOf(owner)->geometry.kind; }

bool Image(void* owner, QZBitmap* out) {
    return VXGetPixelImageBitmap(VXGetWindowImage(StateOf(owner)), out);
}

VXGrafState* Create(VXPixels* image, uint32_t flags, void*) {
    VXGrafState* window = NewTestOffScreenWindow(image);
    window->geometry.flags = flags;
    return window;
}

}  // namespace

void InstallTestOffScreenWindows() {
    VXInitGraf();
    VXInitPixelImages();
    QZWindowHooks hooks;
    hooks.kind = Kind;
    hooks.image = Image;
    QZSetWindowHooks(hooks);
    VXPixelsHooks pixelsHooks;
    pixelsHooks.createOffScreenWindow = Create;
    VXSetPixelsHooks(pixelsHooks);
}

VXGrafState* NewTestOffScreenWindow(VXPixels* image) {
    auto* window = new VXGrafState;
    window->geometry.kind = kWindowOffScreen;
    window->geometry.owner = window;
    window->port = QZPortAlloc(window);
    VXSetWindowImage(window, image);
    VXSetCurrentGrafState(window);
    return window;
}

void FreeTestOffScreenWindow(VXGrafState* window) {
    if (!window) return;
    VXSetWindowImage(window, nullptr);
    if (VXGetCurrentGrafState() == window) VXSetCurrentGrafState(nullptr);
    QZReleaseContext(window->port);
    QZPortFree(window->port);
    window->port = nullptr;
    delete window;
}

}  // namespace plexa::test
