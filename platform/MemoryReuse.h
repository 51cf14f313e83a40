#pragma once

namespace tavrin {

// Tells the allocator to keep memory a file's show freed for the next file.
// Left to itself it hands the top of the heap back to the system whenever
// 128 KiB lie free there, and serves each block of 128 KiB or more (a large
// directory, a set with a picture in it) by mapping fresh pages: a run over
// many documents then pays page faults for every file. Blocks below 4 MiB
// now come from the heap, and up to 8 MiB free stays with the process.
// Called once, first thing in main.
void KeepFreedMemoryForReuse();

}  // namespace tavrin
