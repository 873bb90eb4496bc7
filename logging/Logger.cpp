// The module's logger and the log statement streams. Compiled once per
// variant (QLX_LOGGER_WIDE selects the wide one).
#include "logging/Logger.h"

#include <atomic>
#include <charconv>
#include <cstdio>

#include "logging/IniFile.h"
#include "logging/LogFiles.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"

namespace QLXSdk {
namespace {

// Set when the module's logger has been destroyed at unload; records of
// later static destructors are dropped instead of touching a dead object.
std::atomic<bool> loggerDestroyed{false};

std::string FilePathOf(const qlx::platform::CalendarTime& date, const std::string& saveDir,
                       const std::string& moduleName) {
  return JoinPath(saveDir, DailyFileName(moduleName, date.year, date.month, date.day));
}

// One clock reading per record serves header and file name, so a record
// never lands in the file of a day other than its header's.
std::string HeaderAt(const qlx::platform::CalendarTime& now, int level) {
  return FormatHeader(now.hour, now.minute, now.second, qlx::platform::CurrentProcessId(),
                      qlx::platform::CurrentThreadId(), level);
}

void WriteToConsole(const std::string& text) { std::fputs(text.c_str(), stdout); }

}  // namespace

std::string CLoggerHeader::Format() const { return HeaderAt(qlx::platform::LocalNow(), level); }

inline namespace QLX_LOGGER_VARIANT {

CLogger* CLogger::Instance() {
  if (loggerDestroyed.load(std::memory_order_acquire)) return nullptr;
  static CLogger logger;
  return &logger;
}

CLogger::CLogger() {
  qlx::platform::SetChineseLocale();
  Init(std::string(), std::string(), LOG_INFO, PRINT_FILE | PRINT_CONSOLE | PRINT_DEBUGGER);
}

CLogger::~CLogger() { loggerDestroyed.store(true, std::memory_order_release); }

void CLogger::Init(std::string moduleName, std::string saveDir, int level, int printFlag) {
  std::string extension, baseName, folder;
  SplitModulePath(extension, baseName, folder);
  if (moduleName.empty()) moduleName = baseName;
  if (saveDir.empty()) saveDir = folder + "Log";
  qlx::platform::FileAttributes existing = qlx::platform::GetAttributes(saveDir);
  if (!existing.exists) {
    MakeDirs(saveDir);
  } else if (!existing.isDirectory) {
    saveDir += "_";
    MakeDirs(saveDir);
  }
  std::lock_guard<CRecordLock> hold(lock);
  this->saveDir = saveDir;
  this->moduleName = moduleName;
  this->level = level;
  this->printFlag = printFlag;
#if !defined(QLX_LOGGER_WIDE)
  configPath = folder + "qlxlogger.cfg";
  defaultSaveDir = saveDir;
  defaultLevel = level;
  defaultPrintFlag = printFlag;
#endif
}

void CLogger::SetModuleName(const std::string& name) {
  std::lock_guard<CRecordLock> hold(lock);
  moduleName = name;
}

void CLogger::SetSizeLimitEnabled(bool enabled) {
#if !defined(QLX_LOGGER_WIDE)
  std::lock_guard<CRecordLock> hold(lock);
  sizeLimitEnabled = enabled;
#else
  (void)enabled;
#endif
}

void CLogger::Write(int level, const std::string& message) {
  WriteRecord(level, &message, nullptr);
}

void CLogger::Write(int level, const std::u16string& message) {
  WriteRecord(level, nullptr, &message);
}

#if !defined(QLX_LOGGER_WIDE)

void CLogger::WriteRecord(int level, const std::string* narrow, const std::u16string* wide) {
  try {
    // The record is built before taking the lock, which then covers only
    // the configuration check, retention and the sinks.
    const qlx::platform::CalendarTime now = qlx::platform::LocalNow();
    std::string text = HeaderAt(now, level);
    text += narrow ? *narrow : qlx::platform::Utf16ToUtf8(*wide);
    text += "\r\n";
    std::lock_guard<CRecordLock> hold(lock);
    ReloadConfig();
    if (level < this->level) return;
    if (printFlag & PRINT_FILE) AppendToDailyFile(FilePathOf(now, saveDir, moduleName), text);
    if (printFlag & PRINT_DEBUGGER) qlx::platform::DebugOutput(text);
    if (printFlag & PRINT_CONSOLE) WriteToConsole(text);
  } catch (...) {
    // Logging never fails its caller; a record that cannot be built is lost.
  }
}

// Retention runs when today's file does not exist yet, just before the
// record creates it.
void CLogger::AppendToDailyFile(const std::string& path, const std::string& text) {
  using qlx::platform::AppendResult;
  if (qlx::platform::AppendToExistingFile(path, text.data(), text.size()) ==
      AppendResult::kMissing) {
    CleanLogFiles();
    qlx::platform::AppendToFile(path, text.data(), text.size());
  }
}

void CLogger::ReloadConfig() {
  qlx::platform::FileAttributes file = qlx::platform::GetAttributes(configPath);
  if (!file.exists) {
    saveDir = defaultSaveDir;
    level = defaultLevel;
    printFlag = defaultPrintFlag;
    return;
  }
  if (file.modifiedSeconds == configModified) return;
  configModified = file.modifiedSeconds;
  CIniFile config;
  if (file.isDirectory || config.Load(configPath) != 0) return;
  bool found = false;
  int value = config.GetInt("config", "print_flag", &found);
  printFlag = found ? value : defaultPrintFlag;
  value = config.GetInt("config", "log_level", &found);
  level = found ? value : defaultLevel;
  std::string directory = config.GetString("config", "save_dir", &found);
  saveDir = directory.empty() ? defaultSaveDir : directory;
}

void CLogger::CleanLogFiles() {
  std::vector<std::string> keepList =
      RetentionKeepList(moduleName, qlx::platform::NowSeconds(), keepDays);
  for (const auto& entry : qlx::platform::FindEntries(saveDir, moduleName + "*.log")) {
    if (entry.isDirectory) continue;
    std::string path = JoinPath(saveDir, entry.name);
    switch (ClassifyLogFile(entry.name, moduleName, keepList)) {
      case RetentionVerdict::kNotOurs:
        break;
      case RetentionVerdict::kExpired:
        qlx::platform::RemoveFile(path);
        break;
      case RetentionVerdict::kRecent:
        if (sizeLimitEnabled) {
          qlx::platform::FileAttributes file = qlx::platform::GetAttributes(path);
          if (file.exists && file.size > kRetentionSizeLimit) qlx::platform::RemoveFile(path);
        }
        break;
    }
  }
}

#else  // QLX_LOGGER_WIDE

void CLogger::WriteRecord(int level, const std::string* narrow, const std::u16string* wide) {
  try {
    std::lock_guard<CRecordLock> hold(lock);
    if (level < this->level) return;
    const qlx::platform::CalendarTime now = qlx::platform::LocalNow();
    std::u16string text = qlx::platform::Utf8ToUtf16(HeaderAt(now, level));
    text += wide ? *wide : qlx::platform::Utf8ToUtf16(*narrow);
    text += u"\r\n";
    if (printFlag & PRINT_FILE) {
      std::string bytes = qlx::platform::Utf16ToCp936(text);
      qlx::platform::AppendToFile(FilePathOf(now, saveDir, moduleName), bytes.data(), bytes.size());
    }
    if (printFlag & PRINT_DEBUGGER) qlx::platform::DebugOutputW(text);
    if (printFlag & PRINT_CONSOLE) WriteToConsole(qlx::platform::Utf16ToUtf8(text));
  } catch (...) {
    // Logging never fails its caller; a record that cannot be built is lost.
  }
}

#endif

}  // namespace QLX_LOGGER_VARIANT

CLoggerStreamA::~CLoggerStreamA() {
  try {
    if (CLogger* logger = CLogger::Instance()) logger->Write(level, str());
  } catch (...) {
  }
}

CLoggerStreamW::~CLoggerStreamW() {
  try {
    if (CLogger* logger = CLogger::Instance()) logger->Write(level, text);
  } catch (...) {
  }
}

CLoggerStreamW& CLoggerStreamW::operator<<(std::u16string_view value) {
  text.append(value.data(), value.size());
  return *this;
}

CLoggerStreamW& CLoggerStreamW::operator<<(const char16_t* value) {
  return *this << (value ? std::u16string_view(value) : std::u16string_view());
}

CLoggerStreamW& CLoggerStreamW::operator<<(std::string_view value) {
  text += qlx::platform::Utf8ToUtf16(value);
  return *this;
}

CLoggerStreamW& CLoggerStreamW::operator<<(const char* value) {
  return *this << (value ? std::string_view(value) : std::string_view());
}

CLoggerStreamW& CLoggerStreamW::operator<<(double value) {
  return *this << std::string_view(FormatString("%g", value));
}

CLoggerStreamW& CLoggerStreamW::operator<<(const void* value) {
  if (!value) return *this << '0';
  return *this << std::string_view(FormatString("%p", value));
}

CLoggerStreamW& CLoggerStreamW::AppendInteger(long long value, bool isUnsigned) {
  char digits[24];
  std::to_chars_result end = isUnsigned ? std::to_chars(digits, digits + sizeof digits,
                                                        static_cast<unsigned long long>(value))
                                        : std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, end.ptr);
  return *this;
}

}  // namespace QLXSdk
