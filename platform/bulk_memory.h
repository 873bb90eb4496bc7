#pragma once
// Memory for big blocks that are filled soon after they are taken, such as
// the record stores of a large disc assignment. The system is asked to back
// them with large pages where it can, which spares one page fault per 4 KiB.
#include <cstddef>

namespace qlx::platform {

// Size of a block that large pages can back whole (2 MiB).
constexpr size_t kBulkBlockSize = size_t{2} * 1024 * 1024;

// A zero-filled block of `bytes` bytes, or null when the system refuses.
void* AllocateBulkBlock(size_t bytes);

// Returns a block from AllocateBulkBlock; `bytes` as it was allocated.
void FreeBulkBlock(void* block, size_t bytes);

}  // namespace qlx::platform
