// The run's temporary folder and temporary file names.
//
// The folder is made on first use in the system's temporary directory ($TMPDIR, else /tmp),
// named by the bundle identifier followed by ".XXXXXX" (mkdtemp). The process that made it
// removes it with its content at exit (an atexit handler, and the toolkit's exit hook through
// `VXRemoveSessionTempDirectory`), never following symbolic links; a process forked from it
// shares the folder and leaves it alone, while a child that made its own removes that one.
//
// Temporary file names: the bundle identifier (at most 47 bytes), then ".%s%X.tmp" with a prefix
// of at most 3 bytes ("T" when none) and (ticks & 0x7FFFFF) | 0x800000; while the name is taken
// the tick value grows by 3. `CreateTemporaryDataFile` and `CreateTemporaryFileBeside` create
// their file with O_EXCL: a name that another process takes between the check and the creation
// is never shared, the next name is tried instead.
#pragma once

#include "foundation/filespec.h"

namespace plexa {

// The bundle identifier used in temporary names; "com.orvix.Plexa" until the application sets it.
void SetTempFilesBundleIdentifier(const char* identifier);
const char* GetTempFilesBundleIdentifier();

OSStatus VXGetTempDirectory(DirectoryRef* directory);
void VXRemoveSessionTempDirectory();

// A name that does not exist yet, in the run's temporary folder or (inGivenFolder) in the spec's
// own folder (-120 when it cannot be reached). The spec is cleared on failure.
OSStatus MakeTemporaryFileSpec(const char* prefix, bool inGivenFolder, FileSpec* spec);
OSStatus CreateTemporaryDataFile(const char* prefix, const char* creator, const char* type, FileSpec* spec);
// Makes a new empty file with a temporary name in the spec's own folder and gives its spec (a
// writer then writes it, as `CreateDataFile` takes an empty file as it is); -120 when the folder
// cannot be reached. The spec is cleared on failure.
OSStatus CreateTemporaryFileBeside(const char* prefix, FileSpec* spec);

}  // namespace plexa
