#pragma once
// Append-only store of zero-terminated strings. Records keep plain pointers
// into it, which stay valid until the arena goes; hundreds of thousands of
// paths then cost their bytes and no per-string heap block.
#include <cstddef>
#include <string_view>

#include "assigndisc/BlockStore.h"

class StringArena {
 public:
  // Stores the concatenation of the parts and returns it, zero-terminated.
  // When `thirdStart` is given, it receives where the third part begins.
  const char* Store(std::string_view first, std::string_view second = {},
                    std::string_view third = {}, const char** thirdStart = nullptr);

 private:
  char* Allocate(size_t bytes);

  BlockStore blocks_;
  char* next_ = nullptr;
  size_t left_ = 0;
};
