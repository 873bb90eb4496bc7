// Small helpers of the logging library: formatting, paths, function names.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>

#include "logging/Logger.h"
#include "platform/files.h"
#include "platform/process.h"

namespace QLXSdk {
namespace {

constexpr std::string_view kProjectPrefixes[] = {
    "QLXSdk::", "Wendrik::", "(anonymous namespace)::", "{anonymous}::"};
constexpr std::string_view kAnonymousNames[] = {"(anonymous namespace)", "{anonymous}"};

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "operator" as a word at `at` (so "operator()", "operator bool", not "operators").
bool IsOperatorAt(std::string_view text, size_t at) {
  constexpr std::string_view kOperator = "operator";
  if (text.substr(at, kOperator.size()) != kOperator) return false;
  if (at > 0 && IsIdentifierChar(text[at - 1])) return false;
  size_t after = at + kOperator.size();
  return after >= text.size() || !IsIdentifierChar(text[after]);
}

size_t AnonymousNameLength(std::string_view text, size_t at) {
  for (std::string_view name : kAnonymousNames) {
    if (text.substr(at, name.size()) == name) return name.size();
  }
  return 0;
}

std::string_view DropProjectPrefixes(std::string_view name) {
  for (bool dropped = true; dropped;) {
    dropped = false;
    for (std::string_view prefix : kProjectPrefixes) {
      if (name.substr(0, prefix.size()) == prefix) {
        name.remove_prefix(prefix.size());
        dropped = true;
      }
    }
  }
  return name;
}

}  // namespace

const char* LevelName(int level) {
  switch (level) {
    case LOG_TRACE:
      return "TRACE";
    case LOG_DEBUG:
      return "DEBUG";
    case LOG_WARN:
      return "WARN";
    case LOG_ERROR:
      return "ERROR";
    case LOG_FATAL:
      return "FATAL";
    default:
      return "INFO";
  }
}

std::string FormatString(const char* format, ...) {
  char local[1024];
  va_list arguments;
  va_start(arguments, format);
  int length = std::vsnprintf(local, sizeof local, format, arguments);
  va_end(arguments);
  if (length < 0) return std::string();
  if (static_cast<size_t>(length) < sizeof local) return std::string(local, length);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  va_start(arguments, format);
  std::vsnprintf(&text[0], text.size(), format, arguments);
  va_end(arguments);
  text.resize(static_cast<size_t>(length));
  return text;
}

bool MakeDirs(const std::string& path) {
  if (path.empty()) return false;
  std::string walk = path;
  if (!IsSeparator(walk.back())) walk += '/';
  for (size_t i = 1; i < walk.size(); ++i) {
    if (!IsSeparator(walk[i])) continue;
    std::string prefix = walk.substr(0, i);
    if (!qlx::platform::GetAttributes(prefix).exists && !qlx::platform::MakeDirectory(prefix)) {
      return false;
    }
    walk[i] = '/';
  }
  return true;
}

std::string GetExePath() { return qlx::platform::ExecutablePath(); }

bool SplitPath(const std::string& path, std::string& extension, std::string& baseName,
               std::string& folder) {
  size_t separator = path.rfind('\\');
  if (separator == std::string::npos) separator = path.rfind('/');
  if (separator == std::string::npos) return false;
  folder = path.substr(0, separator + 1);
  baseName = path.substr(separator + 1);
  size_t dot = baseName.rfind('.');
  if (dot != std::string::npos) {
    extension = baseName.substr(dot);
    baseName.erase(dot);
  }
  return true;
}

bool SplitModulePath(std::string& extension, std::string& baseName, std::string& folder) {
  return SplitPath(GetExePath(), extension, baseName, folder);
}

// Scans the signature once: the name starts after the last blank outside
// template brackets and ends at the parameter list's "(".
std::string_view LoggedFunctionName(std::string_view signature) noexcept {
  size_t start = 0;
  size_t end = signature.size();
  int depth = 0;
  for (size_t i = 0; i < signature.size(); ++i) {
    char c = signature[i];
    if (c == '(' || c == '{') {
      if (size_t length = AnonymousNameLength(signature, i)) {
        i += length - 1;
        continue;
      }
    }
    if (c == 'o' && depth == 0 && IsOperatorAt(signature, i)) {
      size_t symbol = i + 8;
      if (signature.substr(symbol, 2) == "()") symbol += 2;
      end = std::min(signature.find('(', symbol), signature.size());
      break;
    }
    if (c == '<') {
      ++depth;
    } else if (c == '>' && depth > 0) {
      --depth;
    } else if (depth == 0 && c == ' ') {
      start = i + 1;
    } else if (depth == 0 && c == '(') {
      end = i;
      break;
    }
  }
  return DropProjectPrefixes(signature.substr(start, end - start));
}

}  // namespace QLXSdk
