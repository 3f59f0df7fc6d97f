// The composition root: the one place where the layers are put together. Every hook table that a
// lower layer declares is filled here, once, in layer order, from the functions of the layer that
// implements it.
//
// Two entry points. The core's serves every program that reads, checks, netlists and reports
// designs without windows (the tools, the converter, the benchmarks, the fuzz targets and the test
// fixtures): sheet files through the sheet store, projects and their hierarchy, library access,
// netlists, reports and the simulator's maps; what such a program would ask a person is answered
// quietly (a message goes to standard error, a question takes its default answer, nothing is
// chosen). The editor's (app/editor_root.h) fills the same tables with the editors' windows and
// dialogs in the place of the quiet answers, and the editors' own tables besides.
#pragma once

#include <cstdint>

namespace plexa {

// Starts what a program without windows needs, once: memory and failure signals; the platform's
// fonts for measuring text (on the offscreen platform when there is no display); text styles,
// image lists, the text and symbol pools and the default themes; then the core's hooks
// (InstallCoreHooks). `program` names the program in messages. Returns 0, or a status after
// saying why on standard error.
int32_t StartCore(const char* program);

// Fills every hook table of model/, files/, library/ and design/ (and the graphics tables those
// layers use) for a program without windows.
void InstallCoreHooks();

}  // namespace plexa
