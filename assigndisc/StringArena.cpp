#include "assigndisc/StringArena.h"

#include <cstring>

char* StringArena::Allocate(size_t bytes) {
  if (bytes > left_) {
    next_ = blocks_.Take(bytes, left_);  // the rest of the old block is given up
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
