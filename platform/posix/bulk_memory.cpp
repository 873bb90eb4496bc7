#include "platform/bulk_memory.h"

#include <sys/mman.h>

namespace qlx::platform {

void* AllocateBulkBlock(size_t bytes) {
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
#if defined(MADV_HUGEPAGE)
  madvise(block, bytes, MADV_HUGEPAGE);  // a hint: without large pages the block still works
#endif
  return block;
}

void FreeBulkBlock(void* block, size_t bytes) {
  if (block) munmap(block, bytes);
}

}  // namespace qlx::platform
