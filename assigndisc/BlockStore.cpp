#include "assigndisc/BlockStore.h"

#include <new>

#include "platform/bulk_memory.h"

BlockStore::~BlockStore() {
  for (const Block& block : blocks_) {
    if (block.bulk) {
      qlx::platform::FreeBulkBlock(block.data, block.size);
    } else {
      ::operator delete(block.data);
    }
  }
}

char* BlockStore::Take(size_t minimum, size_t& size) {
  blocks_.reserve(blocks_.size() + 1);
  size = minimum > nextSize_ ? minimum : nextSize_;
  if (nextSize_ < qlx::platform::kBulkBlockSize) nextSize_ *= 2;
  if (size == qlx::platform::kBulkBlockSize) {
    if (void* bulk = qlx::platform::AllocateBulkBlock(size)) {
      blocks_.push_back(Block{bulk, size, true});
      return static_cast<char*>(bulk);
    }
  }
  void* data = ::operator new(size);
  blocks_.push_back(Block{data, size, false});
  return static_cast<char*>(data);
}
