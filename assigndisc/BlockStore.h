#pragma once
// Raw blocks for the record pool and the string arena: heap blocks of
// growing size while an assignment is small, then bulk blocks (large pages
// where the system has them), so that big trees are stored without a page
// fault per 4 KiB.
#include <cstddef>
#include <vector>

class BlockStore {
 public:
  BlockStore() = default;
  ~BlockStore();
  BlockStore(const BlockStore&) = delete;
  BlockStore& operator=(const BlockStore&) = delete;

  // A new block of at least `minimum` bytes; `size` receives its size. Its
  // start is aligned for any fundamental type.
  char* Take(size_t minimum, size_t& size);

 private:
  struct Block {
    void* data;
    size_t size;
    bool bulk;
  };
  std::vector<Block> blocks_;
  size_t nextSize_ = 16 * 1024;
};
