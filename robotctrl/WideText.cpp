#include "robotctrl/WideText.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Decodes the code point at `text` and advances past it.
char32_t NextCodePoint(const char16_t*& text) {
  const char32_t unit = *text++;
  if (IsHighSurrogate(unit) && IsLowSurrogate(*text)) {
    const char32_t low = *text++;
    return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
  }
  if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) return kReplacement;
  return unit;
}

void PutUtf8(std::ostream& out, char32_t point) {
  auto put = [&out](char32_t byte) { out.put(static_cast<char>(byte)); };
  if (point < 0x80) {
    put(point);
  } else if (point < 0x800) {
    put(0xC0 | (point >> 6));
    put(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    put(0xE0 | (point >> 12));
    put(0x80 | ((point >> 6) & 0x3F));
    put(0x80 | (point & 0x3F));
  } else {
    put(0xF0 | (point >> 18));
    put(0x80 | ((point >> 12) & 0x3F));
    put(0x80 | ((point >> 6) & 0x3F));
    put(0x80 | (point & 0x3F));
  }
}

}  // namespace

std::ostream& operator<<(std::ostream& out, WideText wide) {
  if (wide.text == nullptr) return out;
  for (const char16_t* text = wide.text; *text != u'\0';) PutUtf8(out, NextCodePoint(text));
  return out;
}
