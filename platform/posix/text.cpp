#include "platform/text.h"

#include <errno.h>
#include <iconv.h>

#include <clocale>
#include <cstdint>
#include <cstring>

namespace qlx::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t code) {
  if (code < 0x10000) {
    out += static_cast<char16_t>(code);
  } else {
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code >> 10));
    out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  }
}

// Decodes one UTF-8 sequence at `at`; advances `at`. Malformed or overlong
// input, surrogates and values over U+10FFFF give U+FFFD for one byte.
char32_t DecodeUtf8(std::string_view text, size_t& at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) {
    ++at;
    return kReplacement;
  }
  char32_t code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) {
      ++at;
      return kReplacement;
    }
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++at;
    return kReplacement;
  }
  at += length;
  return code;
}

// One converter per thread: an iconv descriptor carries state and must not
// be shared, and opening one per call is slow.
class Cp936Converter {
 public:
  Cp936Converter() : descriptor_(iconv_open("CP936", UnitEncoding())) {}
  ~Cp936Converter() {
    if (Usable()) iconv_close(descriptor_);
  }
  bool Usable() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }

  std::string Convert(std::u16string_view text) {
    std::string out;
    out.resize(text.size() * 2 + 4);
    char* input = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    size_t inputLeft = text.size() * sizeof(char16_t);
    char* output = &out[0];
    size_t outputLeft = out.size();
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    while (inputLeft > 0) {
      if (iconv(descriptor_, &input, &inputLeft, &output, &outputLeft) != static_cast<size_t>(-1)) {
        continue;
      }
      if (errno == E2BIG) {
        size_t used = static_cast<size_t>(output - &out[0]);
        out.resize(out.size() * 2);
        output = &out[0] + used;
        outputLeft = out.size() - used;
        continue;
      }
      // Unrepresentable, an unpaired surrogate or a truncated pair: one "?".
      size_t skip = SkipLength(input, inputLeft, errno == EINVAL);
      input += skip;
      inputLeft -= skip;
      if (outputLeft == 0) {
        size_t used = static_cast<size_t>(output - &out[0]);
        out.resize(out.size() * 2);
        output = &out[0] + used;
        outputLeft = out.size() - used;
      }
      *output++ = '?';
      --outputLeft;
    }
    out.resize(static_cast<size_t>(output - &out[0]));
    return out;
  }

 private:
  static const char* UnitEncoding() {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return "UTF-16BE";
#else
    return "UTF-16LE";
#endif
  }

  // Bytes of the offending character: a valid surrogate pair is skipped
  // whole, anything else one unit at a time.
  static size_t SkipLength(const char* input, size_t left, bool truncated) {
    if (truncated) return left;
    char16_t first, second;
    std::memcpy(&first, input, sizeof first);
    if (IsHighSurrogate(first) && left >= 4) {
      std::memcpy(&second, input + 2, sizeof second);
      if (IsLowSurrogate(second)) return 4;
    }
    return 2;
  }

  iconv_t descriptor_;
};

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) AppendUtf16(out, DecodeUtf8(text, at));
  return out;
}

std::string Utf16ToCp936(std::u16string_view text) {
  thread_local Cp936Converter converter;
  if (!converter.Usable()) {
    // No converter installed: keep ASCII, mark the rest as unrepresentable.
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
      bool pair = IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]);
      out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
      if (pair) ++i;
    }
    return out;
  }
  return converter.Convert(text);
}

void SetChineseLocale() {
  static const char* const kCandidates[] = {"zh_CN.GBK",     "zh_CN.gbk",   "zh_CN.GB18030",
                                            "zh_CN.gb18030", "zh_CN.UTF-8", "zh_CN.utf8",
                                            "zh_CN"};
  for (const char* name : kCandidates) {
    if (std::setlocale(LC_ALL, name)) return;
  }
}

}  // namespace qlx::platform
