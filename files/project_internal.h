// What the project module's files share: a block read into memory, the first block of a type,
// the block mark, and the frame of every block writer.
#pragma once

#include <cstdint>

#include "files/project.h"
#include "foundation/dynfile.h"
#include "foundation/signals.h"
#include "foundation/stream.h"

namespace plexa {

// A block's bytes in a handle, with a stream over them from their start.
struct BlockBytes {
    Handle handle = nullptr;
    StreamRecord* stream = nullptr;
    BlockBytes() = default;
    BlockBytes(const BlockBytes&) = delete;
    BlockBytes& operator=(const BlockBytes&) = delete;
    ~BlockBytes();
    OSStatus Load(DynamicFileRecord* file, uint32_t offset);
};

// *offset 0 when the file has no block of the type; -38 when the project's file is not open.
OSStatus FindFirstProjectBlock(ProjectRecord* project, uint8_t type, uint32_t* offset);
// Reads the block mark and sets the stream to swap when it reads 0x3412.
OSStatus ReadBlockMark(StreamRecord* stream);

// Writes one block: `body` puts the contents on the block stream (signalling failures), then
// FinishWriteProjectBlock commits it.
template <class Body>
OSStatus WriteProjectBlock(ProjectRecord* project, uint8_t type, bool replace, bool flush,
                           uint32_t previous, Body&& body) {
    if (!project || !project->file.stream) return status::kFileNotOpen;
    return CatchSignals([&] {
        StreamRecord* stream = nullptr;
        Signal(BeginFileBlockWrite(&project->file, -1, &stream));
        body(stream);
        Signal(FinishWriteProjectBlock(project, stream, type, replace, flush, previous));
    });
}

// Reads the first block of the type with `parse` (a status from the block's stream); a missing
// block is no failure.
template <class Parse>
OSStatus LoadProjectBlock(ProjectRecord* project, uint8_t type, Parse&& parse) {
    uint32_t offset = 0;
    if (OSStatus st = FindFirstProjectBlock(project, type, &offset)) return st;
    if (offset == 0) return status::kNoErr;
    BlockBytes block;
    if (OSStatus st = block.Load(&project->file, offset)) return st;
    return parse(block.stream);
}

// The readers of the blocks' contents, from a stream at the block's start; each leaves the stream
// where the contents end (the padding follows) and takes what it read into the project only when
// all of it was read.
OSStatus ParseTopSheetRefs(ProjectRecord* project, StreamRecord* stream);
OSStatus ParseInstanceBlock(ProjectRecord* project, StreamRecord* stream);
OSStatus ParseWindowState(StreamRecord* stream, ProjectWindowState* state);
OSStatus ParseSettingsBlock(ProjectRecord* project, StreamRecord* stream);
OSStatus ParsePathBlock(ProjectRecord* project, StreamRecord* stream);
OSStatus ParseSpiceMapsBlock(ProjectRecord* project, StreamRecord* stream);
// The stored name (256 bytes) and the map; *map is none on failure.
OSStatus ParseAnnotationBlock(StreamRecord* stream, char* name, AnnotationMap** map);

}  // namespace plexa
