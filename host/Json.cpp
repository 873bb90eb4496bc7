#include "host/Json.h"

#include <cstdio>

namespace qlx::host {

namespace {

// Length of the valid UTF-8 sequence starting at text[i], 0 if invalid.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  size_t length = lead < 0x80                   ? 1
                  : lead >= 0xC2 && lead < 0xE0 ? 2
                  : lead >= 0xE0 && lead < 0xF0 ? 3
                  : lead >= 0xF0 && lead < 0xF5 ? 4
                                                : 0;
  if (length == 0 || i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  if (length == 3 &&
      ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) >= 0xA0)))
    return 0;  // overlong form or UTF-16 surrogate
  if (length == 4 &&
      ((lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) >= 0x90)))
    return 0;
  return length;
}

}  // namespace

std::string JsonQuote(const std::string& text) {
  std::string quoted = "\"";
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      quoted += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if (length > 1) {
      quoted.append(text, i, length);
    } else if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\t') {
      quoted += "\\t";
    } else if (c == '\r') {
      quoted += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      quoted += escape;
    } else {
      quoted += static_cast<char>(c);
    }
    i += length;
  }
  return quoted + "\"";
}

void JsonWriter::NewLine() {
  if (!pretty_) return;
  out_ << '\n' << std::string(hasItems_.size() * 2, ' ');
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (hasItems_.empty()) return;
  if (hasItems_.back()) out_ << ',';
  hasItems_.back() = true;
  NewLine();
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ << bracket;
  hasItems_.push_back(false);
}

void JsonWriter::Close(char bracket) {
  bool hadItems = !hasItems_.empty() && hasItems_.back();
  if (!hasItems_.empty()) hasItems_.pop_back();
  if (hadItems) NewLine();
  out_ << bracket;
  if (hasItems_.empty() && pretty_) out_ << '\n';
}

JsonWriter& JsonWriter::BeginObject() {
  Open('{');
  return *this;
}
JsonWriter& JsonWriter::EndObject() {
  Close('}');
  return *this;
}
JsonWriter& JsonWriter::BeginArray() {
  Open('[');
  return *this;
}
JsonWriter& JsonWriter::EndArray() {
  Close(']');
  return *this;
}

JsonWriter& JsonWriter::Key(const std::string& key) {
  BeforeValue();
  out_ << JsonQuote(key) << (pretty_ ? ": " : ":");
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(const std::string& value) {
  BeforeValue();
  out_ << JsonQuote(value);
  return *this;
}

JsonWriter& JsonWriter::Number(uint64_t value) {
  BeforeValue();
  out_ << value;
  return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
  BeforeValue();
  out_ << value;
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
  return *this;
}

}  // namespace qlx::host
