// The catcher stack behind `Signal`: frames come from a fixed-size pool of their own and, once
// released, wait on a free list (last released, first reused); they never go back to the pool.
#include "foundation/signals.h"

#include "foundation/assert.h"
#include "foundation/memory.h"

namespace plexa {

namespace {

SignalCatcher* gTopSignal = nullptr;
int32_t gSignalDepth = 0;
SignalCatcher* gFirstFree = nullptr;
MemPool gSignalPool = nullptr;

constexpr uint32_t kSignalPageSize = 4096;
constexpr uint32_t kPreallocatedFrames = 16;

void PopTop() {
    SignalCatcher* frame = gTopSignal;
    gTopSignal = frame->outer;
    frame->outer = gFirstFree;
    gFirstFree = frame;
    --gSignalDepth;
}

[[noreturn]] void Jump(OSStatus code) {
    gTopSignal->code = code;
    throw signal_detail::Jump{code, gTopSignal};
}

}  // namespace

void InitSignals() {
    if (gSignalPool) return;
    MemPool pool = CreatePool(kSignalPageSize);
    if (!pool) return;
    const uint32_t bytes = kPreallocatedFrames * uint32_t(sizeof(SignalCatcher));
    MemPoolSetBlockSizeFS(pool, sizeof(SignalCatcher));
    MemPoolPreAllocate(pool, bytes, 1);
    MemPoolSetFloor(pool, bytes);
    gSignalPool = pool;
    gTopSignal = nullptr;
    gSignalDepth = 0;
    gFirstFree = nullptr;
}

void Signal(OSStatus code) {
    if (code == 0) return;
    // The caller counts on a catcher to stop the run here; without one the next step would go on
    // as if nothing had failed.
    PLEXA_ASSERT(gSignalDepth > 0);
    if (gSignalDepth > 0) Jump(code);
}

void FailureSignal(OSStatus code) {
    Signal(code);
}

void SignalIfCaught(OSStatus code) {
    if (code != 0 && gSignalDepth > 0) Jump(code);
}

OSStatus ReleaseSignalCatcher() {
    if (gSignalDepth < 1) return 0;
    const OSStatus code = gTopSignal->code;
    PopTop();
    return code;
}

OSStatus GetSignal() {
    return gSignalDepth > 0 ? gTopSignal->code : status::kNoErr;
}

void SetSignal(OSStatus code) {
    if (gSignalDepth > 0) gTopSignal->code = code;
}

int32_t GetSignalDepth() {
    return gSignalDepth;
}

void SetSignalDepth(int32_t depth) {
    if (depth < 0) return;
    while (gSignalDepth > depth) PopTop();
}

namespace signal_detail {

SignalCatcher* Open() {
    if (!gSignalPool) InitSignals();
    SignalCatcher* frame = gFirstFree;
    if (frame) {
        gFirstFree = frame->outer;
    } else {
        if (!gSignalPool) return nullptr;
        frame = reinterpret_cast<SignalCatcher*>(AllocFSPtr(gSignalPool));
        if (!frame) return nullptr;
    }
    frame->code = 0;
    frame->outer = gTopSignal;
    gTopSignal = frame;
    ++gSignalDepth;
    return frame;
}

OSStatus Close(SignalCatcher* frame, int32_t depthBefore) {
    bool open = false;
    for (const SignalCatcher* f = gTopSignal; f; f = f->outer) {
        if (f == frame) {
            open = true;
            break;
        }
    }
    if (!open) {
        // Popped inside the body (SetSignalDepth): its code stays readable on the free list.
        return frame->code;
    }
    SetSignalDepth(depthBefore + 1);  // frames the body left open above ours
    return ReleaseSignalCatcher();
}

void Unwind(int32_t depthBefore) {
    SetSignalDepth(depthBefore);
}

MemPool FramePool() {
    return gSignalPool;
}

}  // namespace signal_detail

}  // namespace plexa
