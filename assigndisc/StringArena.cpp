#include "assigndisc/StringArena.h"

#include <cstring>

char* StringArena::Allocate(size_t bytes) {
  if (bytes > left_) {
    const size_t blockSize = bytes > kBlockSize / 4 ? bytes : kBlockSize;
    blocks_.emplace_back(new char[blockSize]);  // left uninitialised: every byte is written
    if (blockSize != kBlockSize) return blocks_.back().get();  // keeps the current block open
    next_ = blocks_.back().get();
    left_ = blockSize;
  }
  char* result = next_;
  next_ += bytes;
  left_ -= bytes;
  return result;
}

const char* StringArena::Store(std::string_view first, std::string_view second,
                               std::string_view third, const char** thirdStart) {
  char* text = Allocate(first.size() + second.size() + third.size() + 1);
  char* end = text;
  for (std::string_view part : {first, second, third}) {
    if (!part.empty()) std::memcpy(end, part.data(), part.size());
    end += part.size();
  }
  *end = '\0';
  if (thirdStart) *thirdStart = end - third.size();
  return text;
}
