// Reads fuzzed bytes as frames from the simulator: every input must end with a status. Each
// message that comes through is then used as the link's callers use it (its list walked entry by
// entry and edited), and written again: the frame written must read back as the same message.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "design/simlink_frame.h"
#include "design/simlink_strings.h"
#include "foundation/ll.h"
#include "foundation/memory.h"

namespace {

void Quiet(plexa::SpiceFrameProblem, uint32_t) {}

void Use(plexa::SpiceMessageRecord* message) {
    using namespace plexa;
    Handle list = message->body;
    if (list && !message->raw) {
        if (CheckSpiceStringList(reinterpret_cast<uint8_t*>(*list), SizeOfHandle(list), false) != 0)
            std::abort();  // the reader let a malformed list through
        char text[kSpiceStringTextSize];
        uint8_t data[0x10000];
        const int32_t count = CountSpiceStringListItems(list);
        for (int32_t i = 0; i < count; ++i)
            if (GetSpiceStringListEntry(list, i, text, data) != 0) std::abort();
        FindSpiceStringListNullEntry(list);
    }
    std::string frame;
    if (EncodeSpiceFrame(message, &frame) != 0) std::abort();
    LinkListHeader* again = nullptr;
    (void)ReadSpiceFramesFromBuffer(reinterpret_cast<const uint8_t*>(frame.data()), frame.size(), &again);  // fuzzing: only no crash counts
    auto* copy = static_cast<SpiceMessageRecord*>(LLFirst(again));
    // The two bytes after the flags go out as zeros; everything else comes back as it was.
    if (!copy || copy->type != message->type || copy->sender != message->sender ||
        copy->raw != message->raw || copy->number != message->number ||
        copy->projectId != message->projectId ||
        std::memcmp(copy->arguments, message->arguments, sizeof copy->arguments) != 0)
        std::abort();
    if ((copy->body != nullptr) != (message->body != nullptr)) std::abort();
    if (copy->body && (SizeOfHandle(copy->body) != SizeOfHandle(list) ||
                       std::memcmp(*copy->body, *list, SizeOfHandle(list)) != 0))
        std::abort();
    LLDispose(again, true);
    // What a caller does with a reply: drops the entries it has handled.
    if (list && !message->raw) DeleteSpiceStringListEntry(list, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace plexa;
    SetSpiceFrameProblemHook(Quiet);
    LinkListHeader* queue = nullptr;
    (void)ReadSpiceFramesFromBuffer(data, size, &queue);  // fuzzing: only no crash counts
    for (void* item = LLFirst(queue); item; item = LLGetNext(queue, item))
        Use(static_cast<SpiceMessageRecord*>(item));
    LLDispose(queue, true);
    return 0;
}
