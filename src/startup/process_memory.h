// The heap of the one run, prepared before it starts. A run touches a few
// megabytes of fresh memory (the logos' pixels, cairo's page record and PDF
// buffers, the fonts' glyphs, the database driver's pages); on the virtual
// machines the program runs on, the first touch of each 4 KiB page costs
// some ten microseconds, several milliseconds for the whole run. The heap is
// reserved at once and asked to be backed by 2 MiB pages where the system
// offers them, so that it is mapped with a handful of faults.
#pragma once

#include <cstddef>

namespace boleto {

// Heap reserved for a run: the PDF run peaks near 2.5 MiB; the rest leaves
// room for larger logos and a fragmented heap.
inline constexpr size_t kRunHeapBytes = size_t{8} << 20;

// Keeps blocks below `kRunHeapBytes` * 4 in the heap and freed memory in the
// process, grows the heap by `kRunHeapBytes` and asks for large pages on it.
// Nothing changes where the system refuses; the run works the same either way.
void PrepareRunHeap();

}  // namespace boleto
