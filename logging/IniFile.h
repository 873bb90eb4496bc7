#pragma once
// The parser of the logger's configuration file "qlxlogger.cfg": sections,
// "key = value" lines, full-line and trailing comments ("#", ";"), and
// messages on standard error for malformed lines.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace QLXSdk {

struct IniItem {
  std::string key;
  std::string value;
  std::string comment;  // comment lines before the key line + its trailing comment
};

struct IniSection {
  std::string name;
  std::string comment;  // comment lines before the header
  std::vector<IniItem> items;
};

class CIniFile {
 public:
  CIniFile();

  // Reads `path`, forgetting any earlier content first. 0 on success; -1
  // when the file cannot be read, a header has no "]", a section name
  // repeats, or memory runs out (the process never ends here).
  int Load(const std::string& path);

  void Clear();

  // 0 and the first matching item's value and comment (either may be null)
  // when section and key exist (compared case-sensitively); -1 otherwise.
  int GetValue(const std::string& section, const std::string& key, std::string* value,
               std::string* comment) const;

  // The value as a decimal integer (leading blanks, optional sign, digits up
  // to the first other character; 0 without digits); 0 when missing.
  int GetInt(const std::string& section, const std::string& key, bool* found) const;

  // The value text; empty when missing.
  std::string GetString(const std::string& section, const std::string& key, bool* found) const;

 private:
  int Parse(std::FILE* file);

  std::map<std::string, std::unique_ptr<IniSection>> sections;
  std::string fileName;
  std::vector<std::string> commentMarkers;
};

// The decimal conversion GetInt applies.
int ParseDecimal(const std::string& text);

}  // namespace QLXSdk
