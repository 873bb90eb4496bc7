#pragma once
// A small streaming JSON writer for the --json output of qlxhost: two-space
// indentation, keys in the order written, so scripts see a stable shape.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace qlx::host {

class JsonWriter {
 public:
  // `pretty` false writes everything on one line (one event per line).
  explicit JsonWriter(std::ostream& out, bool pretty = true) : out_(out), pretty_(pretty) {}

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // Names the next value inside an object.
  JsonWriter& Key(const std::string& key);
  JsonWriter& String(const std::string& value);
  JsonWriter& Number(uint64_t value);
  JsonWriter& Number(int64_t value);
  JsonWriter& Number(int32_t value) { return Number(static_cast<int64_t>(value)); }
  JsonWriter& Number(uint32_t value) { return Number(static_cast<uint64_t>(value)); }
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // Shorthands for a key followed by its value.
  template <typename T>
  JsonWriter& Field(const std::string& key, T value) {
    Key(key);
    return Value(value);
  }

 private:
  JsonWriter& Value(const std::string& v) { return String(v); }
  JsonWriter& Value(const char* v) { return String(v); }
  JsonWriter& Value(bool v) { return Bool(v); }
  JsonWriter& Value(uint64_t v) { return Number(v); }
  JsonWriter& Value(int64_t v) { return Number(v); }
  JsonWriter& Value(int32_t v) { return Number(v); }
  JsonWriter& Value(uint32_t v) { return Number(v); }

  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);
  void NewLine();

  std::ostream& out_;
  bool pretty_;
  std::vector<bool> hasItems_;  // one entry per open object or array
  bool afterKey_ = false;
};

// `text` as a JSON string literal, quotes included. Bytes that are not valid
// UTF-8 are written as U+FFFD so the output always parses.
std::string JsonQuote(const std::string& text);

}  // namespace qlx::host
