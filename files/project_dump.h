// The `project-dump` program's work, kept here so that it runs in-process too: lists a project
// file's blocks (type, id, size, the length of the contents and of the padding after them, and
// whether the padding is zero), decodes each block the way the project reads it (the settings
// field by field), and lists the free blocks.
//
//   project-dump PROJECT
//
// Exit status: 0 every block read, 1 a block that does not read or whose padding is not zero,
// 2 wrong usage or a file that is no project file.
#pragma once

#include <string>

namespace plexa {

[[nodiscard]] int RunProjectDump(int argc, const char* const* argv, std::string* out, std::string* err);

}  // namespace plexa
