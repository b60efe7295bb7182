#pragma once

namespace qmtool {

// Starts the tool once more with glibc's heap backed by transparent huge pages, when the kernel
// offers them and the environment has not decided otherwise. Returns only when no restart was
// made (or it failed): the caller then goes on as it is.
void PreferHugePages(char** argv);

// Keeps blocks of 128 KiB and more in their own mappings for the whole run, so that freeing
// one returns it to the system at once.
void KeepLargeBlocksMapped();

}  // namespace qmtool
