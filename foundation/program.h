// Where the running program and its resources are: one answer for a build tree and an installed
// tree, used by every layer that loads a resource (strings tables, UI templates, images, cursors).
//
// The program is the file /proc/self/exe names. Its resources folder is, in this order:
//   1. $PLEXA_RESOURCE_DIR, when it names a folder;
//   2. "../resources" from the program's folder: a build tree, where each program lies one folder
//      below the build's top (<build>/app/plexa, <build>/foundation/foundation_tests) and the build
//      keeps the resources, compiled UI templates included, in <build>/resources;
//   3. "../share/plexa" from the program's folder: an installed tree (<prefix>/bin/plexa with
//      <prefix>/share/plexa).
// None of them: empty.
#pragma once

#include <string>

namespace plexa {

// The absolute path of the running program; empty when it cannot be told.
std::string GetProgramPath();
// The resources folder of a program at that path by rules 2 and 3 (the environment aside).
std::string ResourceDirectoryForProgram(const std::string& programPath);
// The resources folder by rules 1 to 3, looked up afresh on each call.
std::string FindResourceDirectory();

}  // namespace plexa
