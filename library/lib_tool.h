// The commands of the `lib-tool` program, which makes and inspects library files from the command
// line; kept here so that they run in-process too.
//
//   lib-tool create LIBRARY                 an empty library
//   lib-tool list [-l] LIBRARY              every name in the item map's order; aliases are marked
//                                           "(alias of PRIMARY)"; with -l each item's prefix,
//                                           attributes, symbol definitions (flags, placement
//                                           options, pins, the texts their drawings record) and
//                                           sections (pin numbers) follow its primary name
//   lib-tool add LIBRARY SOURCE [NAME...]   copies the items of another library (all of them, or
//                                           those with one of the names); an item whose primary
//                                           name is already a primary name here replaces that item
//   lib-tool extract LIBRARY NAME FILE      writes the flattened bytes of the item with that name
//   lib-tool delete LIBRARY NAME...         deletes the items with those names
//   lib-tool check LIBRARY                  checks the file, its item map and every item
//
// Names are matched exactly, primary names and aliases alike. Exit status: 0 done (check: sound),
// 1 failed (check: damaged), 2 wrong usage or a file that is no library.
#pragma once

#include <string>

namespace plexa {

[[nodiscard]] int RunLibTool(int argc, const char* const* argv, std::string* out, std::string* err);

}  // namespace plexa
