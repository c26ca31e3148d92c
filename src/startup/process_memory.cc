#include "startup/process_memory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace boleto {
namespace {

// The size of a transparent huge page on x86-64; only whole, aligned ones
// of the reserved range are backed by large pages.
constexpr uintptr_t kLargePage = uintptr_t{2} << 20;

}  // namespace

void PrepareRunHeap() {
  // Blocks as large as a logo's pixels would otherwise each get a mapping
  // of their own, returned on free and faulted in anew by the next one.
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kRunHeapBytes * 4));
  // Freed memory stays for the rest of the run, already mapped.
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kRunHeapBytes * 8));
  void* block = std::malloc(kRunHeapBytes);
  if (block == nullptr) return;
  const uintptr_t start = reinterpret_cast<uintptr_t>(block);
  const uintptr_t from = (start + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t to = (start + kRunHeapBytes) & ~(kLargePage - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  // Back to the heap's top, where the run's allocations find it.
  std::free(block);
}

}  // namespace boleto
