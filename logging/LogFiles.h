#pragma once
// The pure parts of the logger's file handling: record header, daily file
// names, and which files retention removes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace QLXSdk {

// Size over which a recent daily file is removed anyway (100 MiB).
constexpr uint64_t kRetentionSizeLimit = 104857600;

// "hh:mm:ss [pid tid] [LEVEL] ".
std::string FormatHeader(int hour, int minute, int second, uint32_t processId, uint32_t threadId,
                         int level);

// "<module> YYYY-MM-DD.log".
std::string DailyFileName(const std::string& moduleName, int year, int month, int day);

// `folder` + separator + `name` (the separator is the platform's).
std::string JoinPath(const std::string& folder, const std::string& name);

// Daily file names of the local dates of `nowSeconds` and the keepDays - 1
// days before it.
std::vector<std::string> RetentionKeepList(const std::string& moduleName, int64_t nowSeconds,
                                           int keepDays);

// Whether `name` has the form "<module> YYYY-MM-DD.log", ignoring ASCII case.
bool IsDailyFileOf(std::string_view name, std::string_view moduleName);

enum class RetentionVerdict {
  kNotOurs,  // not this module's daily file: never touched
  kExpired,  // this module's daily file outside the window: removed
  kRecent,   // on the keep list: removed only when over the size limit
};

RetentionVerdict ClassifyLogFile(std::string_view name, std::string_view moduleName,
                                 const std::vector<std::string>& keepList);

}  // namespace QLXSdk
