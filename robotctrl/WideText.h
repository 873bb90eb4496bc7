#pragma once
// Writing the vendor library's UTF-16 texts (serial numbers) into the
// plug-in's narrow log records, as UTF-8.
#include <ostream>

struct WideText {
  const char16_t* text;  // zero-terminated; null writes nothing
};

// Writes the text as UTF-8; a lone surrogate becomes U+FFFD.
std::ostream& operator<<(std::ostream& out, WideText wide);
