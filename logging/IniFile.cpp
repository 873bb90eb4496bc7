#include "logging/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace QLXSdk {
namespace {

constexpr const char* kWhiteSpace = " \t\n\v\f\r";

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(kWhiteSpace);
  return text.substr(first, last - first + 1);
}

// One line without its line feed; false at end of file with nothing read.
bool ReadLine(std::FILE* file, std::string& line) {
  line.clear();
  char piece[2048];
  while (std::fgets(piece, sizeof piece, file)) {
    line += piece;
    if (!line.empty() && line.back() == '\n') break;
  }
  return !line.empty();
}

void StripLineEnd(std::string& line) {
  while (!line.empty() && line.back() == '\n') line.pop_back();
  while (!line.empty() && line.back() == '\r') line.pop_back();
}

}  // namespace

int ParseDecimal(const std::string& text) {
  errno = 0;
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

CIniFile::CIniFile() : commentMarkers{"#", ";"} {}

void CIniFile::Clear() { sections.clear(); }

int CIniFile::Load(const std::string& path) {
  std::FILE* file = nullptr;
  try {
    Clear();
    fileName = path;
    file = std::fopen(path.c_str(), "r");
    if (!file) return -1;
    int result = Parse(file);
    std::fclose(file);
    return result;
  } catch (const std::bad_alloc&) {
    // No memory for a line: the load fails and the caller keeps its settings.
    if (file) std::fclose(file);
    sections.clear();
    return -1;
  }
}

int CIniFile::Parse(std::FILE* file) {
  auto& unnamed = sections[std::string()];
  unnamed = std::make_unique<IniSection>();
  IniSection* current = unnamed.get();
  std::string pending;
  std::string line;
  while (ReadLine(file, line)) {
    StripLineEnd(line);
    line = Trim(line);
    bool isComment = false;
    for (const std::string& marker : commentMarkers) {
      isComment = isComment || line.compare(0, marker.size(), marker) == 0;
    }
    if (!isComment) {
      size_t cut = std::string::npos;
      for (const std::string& marker : commentMarkers) cut = std::min(cut, line.find(marker));
      if (cut != std::string::npos) {
        pending += line.substr(cut);
        line = Trim(line.substr(0, cut));
      }
    }
    if (line.empty()) continue;
    if (line[0] == '[') {
      current = nullptr;
      size_t close = line.find(']');
      if (close == std::string::npos) {
        std::fputs("not found match\n", stderr);
        return -1;
      }
      if (close == 1) {
        std::fputs("section is empty\n", stderr);
        continue;
      }
      std::string name = line.substr(1, close - 1);
      if (sections.count(name)) {
        std::fprintf(stderr, "section is exist already:%s\n", name.c_str());
        return -1;
      }
      auto section = std::make_unique<IniSection>();
      section->name = name;
      section->comment = pending;
      pending.clear();
      current = section.get();
      sections[name] = std::move(section);
    } else if (isComment) {
      if (!pending.empty()) pending += '\n';
      pending += line;
    } else {
      size_t equals = line.find('=');
      if (equals == std::string::npos) {
        std::fprintf(stderr, "parse paramerter fail [%s]\n", line.c_str());
      } else if (current) {
        current->items.push_back(
            {Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), pending});
      }
      pending.clear();
    }
  }
  return 0;
}

int CIniFile::GetValue(const std::string& section, const std::string& key, std::string* value,
                       std::string* comment) const {
  auto found = sections.find(section);
  if (found == sections.end()) return -1;
  for (const IniItem& item : found->second->items) {
    if (item.key != key) continue;
    if (value) *value = item.value;
    if (comment) *comment = item.comment;
    return 0;
  }
  return -1;
}

int CIniFile::GetInt(const std::string& section, const std::string& key, bool* found) const {
  std::string value;
  bool exists = GetValue(section, key, &value, nullptr) == 0;
  if (found) *found = exists;
  return exists ? ParseDecimal(value) : 0;
}

std::string CIniFile::GetString(const std::string& section, const std::string& key,
                                bool* found) const {
  std::string value;
  bool exists = GetValue(section, key, &value, nullptr) == 0;
  if (found) *found = exists;
  return exists ? value : std::string();
}

}  // namespace QLXSdk
