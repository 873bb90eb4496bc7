#pragma once
// Text conversions between UTF-16 (char16_t), UTF-8 and the Simplified
// Chinese ANSI code page (936, GBK), and the process locale "chs".
#include <string>
#include <string_view>

namespace qlx::platform {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16; each malformed byte becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// UTF-16 to code page 936. A character the code page cannot represent (and
// an unpaired surrogate) becomes one "?", as Windows converts; every other
// character is kept.
std::string Utf16ToCp936(std::u16string_view text);

// Sets the whole process's locale (all categories) to "chs", Simplified
// Chinese. POSIX: an installed zh_CN locale (GBK/GB18030/UTF-8) when one
// exists; otherwise the locale stays as it is, silently.
void SetChineseLocale();

}  // namespace qlx::platform
