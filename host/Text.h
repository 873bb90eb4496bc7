#pragma once
// UTF-8 <-> UTF-16 for the vendor's wide texts (names, serials, error strings).
#include <string>

namespace qlx::host {

std::u16string ToUtf16(const std::string& text);
// Reads at most `capacity` code units, up to the first null.
std::string FromUtf16(const char16_t* text, size_t capacity);

}  // namespace qlx::host
