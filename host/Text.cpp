#include "host/Text.h"

#include <string_view>

#include "platform/text.h"

namespace qlx::host {

std::u16string ToUtf16(const std::string& text) { return qlx::platform::Utf8ToUtf16(text); }

std::string FromUtf16(const char16_t* text, size_t capacity) {
  if (text == nullptr) return {};
  size_t length = 0;
  while (length < capacity && text[length] != 0) ++length;
  return qlx::platform::Utf16ToUtf8(std::u16string_view(text, length));
}

}  // namespace qlx::host
