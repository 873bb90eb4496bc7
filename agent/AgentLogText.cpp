#include "agent/AgentLogText.h"

#include <algorithm>

namespace qlx::agent {

namespace {

std::u16string Digits(uint64_t value, unsigned base, const char* alphabet, size_t width) {
  char16_t buffer[24];
  size_t length = 0;
  do {
    buffer[length++] = static_cast<char16_t>(alphabet[value % base]);
    value /= base;
  } while (value != 0);
  while (length < width) buffer[length++] = u'0';
  std::u16string digits(buffer, length);
  std::reverse(digits.begin(), digits.end());
  return digits;
}

}  // namespace

std::u16string Hex(int32_t value) {
  return Digits(static_cast<uint32_t>(value), 16, "0123456789abcdef", 0);
}

std::u16string Dec(int32_t value) {
  return Digits(static_cast<uint32_t>(value), 10, "0123456789", 0);
}

std::u16string Ptr(const void* pointer) {
  return Digits(reinterpret_cast<uintptr_t>(pointer), 16, "0123456789ABCDEF", sizeof(void*) * 2);
}

std::u16string Txt(const char16_t* text) { return text != nullptr ? text : u"(null)"; }

}  // namespace qlx::agent
