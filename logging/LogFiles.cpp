#include "logging/LogFiles.h"

#include "logging/Logger.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace QLXSdk {
namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// " YYYY-MM-DD.log" with digits where the template has 'D'.
bool IsDateSuffix(std::string_view suffix) {
  constexpr std::string_view kTemplate = " DDDD-DD-DD.log";
  if (suffix.size() != kTemplate.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    bool matches = kTemplate[i] == 'D' ? IsDigit(suffix[i]) : AsciiLower(suffix[i]) == kTemplate[i];
    if (!matches) return false;
  }
  return true;
}

}  // namespace

std::string FormatHeader(int hour, int minute, int second, uint32_t processId, uint32_t threadId,
                         int level) {
  return FormatString("%02d:%02d:%02d [%u %u] [%s] ", hour, minute, second, processId, threadId,
                      LevelName(level));
}

std::string DailyFileName(const std::string& moduleName, int year, int month, int day) {
  return FormatString("%s %04d-%02d-%02d.log", moduleName.c_str(), year, month, day);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path += folder;
  path += qlx::platform::kPathSeparator;
  path += name;
  return path;
}

std::vector<std::string> RetentionKeepList(const std::string& moduleName, int64_t nowSeconds,
                                           int keepDays) {
  std::vector<std::string> names;
  for (int i = 0; i < keepDays; ++i) {
    qlx::platform::CalendarTime date = qlx::platform::LocalTime(nowSeconds - int64_t{i} * 86400);
    names.push_back(DailyFileName(moduleName, date.year, date.month, date.day));
  }
  return names;
}

bool IsDailyFileOf(std::string_view name, std::string_view moduleName) {
  return name.size() > moduleName.size() &&
         EqualsIgnoringCase(name.substr(0, moduleName.size()), moduleName) &&
         IsDateSuffix(name.substr(moduleName.size()));
}

RetentionVerdict ClassifyLogFile(std::string_view name, std::string_view moduleName,
                                 const std::vector<std::string>& keepList) {
  if (!IsDailyFileOf(name, moduleName)) return RetentionVerdict::kNotOurs;
  for (const std::string& kept : keepList) {
    if (EqualsIgnoringCase(name, kept)) return RetentionVerdict::kRecent;
  }
  return RetentionVerdict::kExpired;
}

}  // namespace QLXSdk
