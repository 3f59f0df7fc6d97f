// Failure signals: a stack of catchers that lets a long run of fallible steps hand each step's
// status to `Signal` instead of testing it. A non-zero code leaves the run at once and arrives at
// the clean-up path of the innermost open catcher, which frees what was half built and returns
// the code.
//
// Opening a catcher:
//
//     Handle h = nullptr;
//     OSStatus err = CatchSignals([&] {
//         h = static_cast<Handle>(TryAlloc(nullptr, 100, 1));   // signals -108 on failure
//         Signal(StreamWrite(...));
//     }, [&] {                                                   // clean-up: runs once, on failure
//         MemFree(h);
//     });
//
// `CatchSignals` pushes a frame, runs the body and releases the frame; its result is the frame's
// code: 0 after a body that ran to its end (or a code the body set with `SetSignal`), else the
// code that was signalled. The clean-up runs exactly once, only when a code arrived, while the
// frame is still open (so `GetSignal` inside it gives the code), and the frame is released after
// it. Nested catchers stack: a signal reaches only the innermost one, whose result the caller
// typically hands to its own `Signal`, so that a failure climbs catcher by catcher.
//
// The jump is a C++ exception, so destructors of the skipped scopes run and locals need no special
// care. Code between a `Signal` and its catcher must therefore be exception-safe.
//
// When no frame can be had (memory exhausted), `CatchSignals` runs the clean-up, pushes nothing,
// releases nothing and returns -108.
//
// `Signal` with no catcher open returns to its caller and the next step runs, so code that hands
// a status to `Signal` relies on a catcher: in Debug and sanitizer builds a non-zero code with no
// catcher open fails an assertion. Code that may run outside every catcher tests results itself,
// and passes a failure on with `SignalIfCaught` where it also returns it (an allocator that
// returned nothing, an item loop whose procedure failed).
#pragma once

#include <utility>

#include "foundation/types.h"

namespace plexa {

struct MemPoolRecord;  // foundation/heap.h

// One frame of the catcher stack.
struct SignalCatcher {
    OSStatus code;         // code signalled in this catcher, 0 while none was
    SignalCatcher* outer;  // next outer frame; on the free list, the next free frame
};

// Makes the frame pool and empties the stack; does nothing when the pool already exists.
// Opening a catcher calls it when it has not run yet.
void InitSignals();

// With a non-zero code and a catcher open: stores the code in the innermost frame and leaves to
// it. Otherwise returns and does nothing (a non-zero code with no catcher open fails an assertion
// in Debug and sanitizer builds).
void Signal(OSStatus code);
// The same as `Signal`; used where the failure is not the result of a call (-108 after an
// allocation returned nothing).
void FailureSignal(OSStatus code);
// `Signal` for code that may run with no catcher open and also returns the code to its caller:
// leaves to the innermost catcher when one is open, else returns.
void SignalIfCaught(OSStatus code);

// Closes the innermost catcher: its frame goes to the free list, and its code is returned. 0 and
// nothing done when no catcher is open. `CatchSignals` calls it; direct calls are for code that
// pops frames itself.
OSStatus ReleaseSignalCatcher();

// The code of the innermost frame, 0 when none is open.
OSStatus GetSignal();
// Sets the code of the innermost frame when one is open; that becomes the catcher's result.
void SetSignal(OSStatus code);

// The number of open frames.
int32_t GetSignalDepth();
// Pops frames (to the free list, codes unread) until the depth equals `depth`. A negative value, or
// one at or above the current depth, changes nothing.
void SetSignalDepth(int32_t depth);

namespace signal_detail {
// What `Signal` throws: the code and the frame it is meant for.
struct Jump {
    OSStatus code;
    const SignalCatcher* frame;
};
// Pushes a frame; nothing when none can be had.
SignalCatcher* Open();
// Ends the catcher opened as `frame` at `depthBefore`: releases it and returns its code when it is
// still the innermost frame; else pops whatever is left down to `depthBefore` and returns the
// code it had when the frame is gone already.
OSStatus Close(SignalCatcher* frame, int32_t depthBefore);
// Pops down to `depthBefore` without reading codes (an exception other than our own left).
void Unwind(int32_t depthBefore);
// The pool that frames come from (null before the first open); for tests of exhaustion.
MemPoolRecord* FramePool();
}  // namespace signal_detail

// Opens a catcher around `body` (see the top of this file). `cleanup` runs exactly once when a
// code arrived; a signal raised inside the clean-up itself is absorbed into the result.
template <class Body, class Cleanup>
OSStatus CatchSignals(Body&& body, Cleanup&& cleanup) {
    const int32_t depthBefore = GetSignalDepth();
    SignalCatcher* frame = signal_detail::Open();
    if (!frame) {
        cleanup();
        return status::kOutOfMemory;
    }
    bool caught = false;
    try {
        std::forward<Body>(body)();
    } catch (const signal_detail::Jump& jump) {
        if (jump.frame != frame) {
            // Meant for an outer catcher: ours is gone from the stack already; still free what
            // this level built, then let it climb.
            cleanup();
            signal_detail::Unwind(depthBefore);
            throw;
        }
        caught = true;
    } catch (...) {
        cleanup();
        signal_detail::Unwind(depthBefore);
        throw;
    }
    if (caught) {
        try {
            cleanup();
        } catch (const signal_detail::Jump& jump) {
            if (jump.frame != frame) throw;
        }
    }
    return signal_detail::Close(frame, depthBefore);
}

// A catcher without a clean-up path.
template <class Body>
OSStatus CatchSignals(Body&& body) {
    return CatchSignals(std::forward<Body>(body), [] {});
}

}  // namespace plexa
