#pragma once
// The logging library built into every module that logs. Each module (the
// agent program, each plug-in) owns one CLogger; a log statement builds a
// temporary stream, and the stream's destruction hands the text to the
// logger, which adds the header and a line end and serves the sinks.
//
// Two variants share this header. The narrow one (target qlx_logging_a,
// plug-ins) reads "qlxlogger.cfg" and removes old daily files; the wide one
// (target qlx_logging_w, agent; compiled with QLX_LOGGER_WIDE) keeps UTF-16
// record text, writes its files in code page 936 and reads no configuration.
// Both streams work in both variants: text of the other width is converted
// (UTF-8 <-> UTF-16).
//
// Log statement: QLOG(QLXSdk::LOG_INFO) << "START >>>>>>";  (narrow text)
//                QLOGW(QLXSdk::LOG_ERROR) << u"failed: " << code;  (UTF-16)
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

#include "logging/RecordLock.h"

#if defined(QLX_LOGGER_WIDE)
#define QLX_LOGGER_VARIANT WideVariant
#else
#define QLX_LOGGER_VARIANT NarrowVariant
#endif

#if defined(_MSC_VER)
#define QLX_FUNCTION_SIGNATURE __FUNCSIG__
#else
#define QLX_FUNCTION_SIGNATURE __PRETTY_FUNCTION__
#endif

namespace QLXSdk {

// Record levels. Any other value is printed as "INFO".
enum LogLevel {
  LOG_TRACE = 1,
  LOG_DEBUG = 2,
  LOG_INFO = 3,
  LOG_WARN = 4,
  LOG_ERROR = 5,
  LOG_FATAL = 6
};

// Sink bits of the print flag.
enum PrintFlag { PRINT_FILE = 1, PRINT_CONSOLE = 2, PRINT_DEBUGGER = 4 };

// Printed name of a level ("INFO" for values outside 1..6).
const char* LevelName(int level);

// printf-style formatting into a string; nothing is truncated, and texts
// shorter than 1024 characters need no heap buffer while formatting.
std::string FormatString(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Creates `path` and every missing parent ('\\' and '/' both separate).
// False for an empty path or when a missing directory cannot be created; a
// prefix that exists as a file counts as existing.
bool MakeDirs(const std::string& path);

// Full path of the process's executable (not of the calling library); empty
// when the system cannot tell.
std::string GetExePath();

// Splits `path` at its last '\\' (or last '/' when it has no '\\') into the
// folder with its trailing separator, the base name and the extension (from
// the base name's last '.', dot included; empty without a dot). False, with
// the outputs untouched, when the path has no separator.
bool SplitPath(const std::string& path, std::string& extension, std::string& baseName,
               std::string& folder);

// SplitPath applied to GetExePath(): the program folder, the executable's
// base name and its extension.
bool SplitModulePath(std::string& extension, std::string& baseName, std::string& folder);

// The function name a log statement prints, taken from the compiler's
// function signature without allocating: return type, parameter list,
// qualifiers and template arguments list (" [with ...]") are dropped, and so
// are the leading namespaces QLXSdk::, Wendrik:: and anonymous namespaces.
// "bool Wendrik::CUsbHotplug::StartMonitor()" gives "CUsbHotplug::StartMonitor".
std::string_view LoggedFunctionName(std::string_view signature) noexcept;

// Renders the record header "hh:mm:ss [pid tid] [LEVEL] " for the current
// local time and the calling process and thread.
class CLoggerHeader {
 public:
  explicit CLoggerHeader(int level) : level(level) {}
  virtual ~CLoggerHeader() = default;
  std::string Format() const;

  int level;
};

// One heap instance of T per module, created on first use and destroyed at
// process exit (or when the module is unloaded).
template <class T>
class CSingleton {
 public:
  static T* Instance() {
    static std::mutex guard;
    T* current = instance_.load(std::memory_order_acquire);
    if (current) return current;
    std::lock_guard<std::mutex> hold(guard);
    current = instance_.load(std::memory_order_relaxed);
    if (!current) {
      current = new T();
      instance_.store(current, std::memory_order_release);
      std::atexit(&CSingleton::Destroy);
    }
    return current;
  }

 private:
  static void Destroy() { delete instance_.exchange(nullptr); }
  static inline std::atomic<T*> instance_{nullptr};
};

// The variants differ in CLogger's fields and record path; the inline
// namespace keeps their symbols apart should both ever meet in one binary.
inline namespace QLX_LOGGER_VARIANT {

// The module's logger. Every operation is safe from any thread and never
// reports a failure: a record that cannot reach a sink is lost for that sink.
class CLogger {
 public:
  // The module's logger, constructed by the first caller (this also sets the
  // process locale to "chs" and runs Init with defaults). Null only while
  // the module's static objects are being destroyed, after the logger.
  static CLogger* Instance();

  virtual ~CLogger();

  // Sets module name (empty: the executable's base name), log directory
  // (empty: program folder + "Log"; "_" appended when a file is in the way;
  // created when missing), threshold and print flag; the narrow variant also
  // makes them the defaults that the configuration file falls back to.
  void Init(std::string moduleName, std::string saveDir, int level, int printFlag);

  // Names the daily files of every later record after `name`.
  void SetModuleName(const std::string& name);

  // Narrow variant: whether retention deletes a file of the last keepDays
  // days that has grown over 100 MiB (default true). The robot control
  // plug-in turns it off: its recent files are kept whatever their size.
  // The wide variant deletes nothing and ignores it.
  void SetSizeLimitEnabled(bool enabled);

  // Emits one record: header + message + CRLF to the enabled sinks, when
  // `level` reaches the threshold. Narrow text is taken as UTF-8 where it
  // must become UTF-16 (wide variant), and UTF-16 as UTF-8 the other way.
  void Write(int level, const std::string& message);
  void Write(int level, const std::u16string& message);

  CLogger(const CLogger&) = delete;
  CLogger& operator=(const CLogger&) = delete;

 private:
  CLogger();
  void WriteRecord(int level, const std::string* narrow, const std::u16string* wide);
#if !defined(QLX_LOGGER_WIDE)
  // Narrow variant only: the agent reads no configuration and deletes no files.
  void AppendToDailyFile(const std::string& path, const std::string& text);
  void ReloadConfig();
  void CleanLogFiles();
#endif

  CRecordLock lock;
  std::string saveDir;
#if !defined(QLX_LOGGER_WIDE)
  std::string defaultSaveDir;
#endif
  std::string moduleName;
  int level = LOG_INFO;
  int printFlag = PRINT_FILE | PRINT_CONSOLE | PRINT_DEBUGGER;
#if !defined(QLX_LOGGER_WIDE)
  int defaultLevel = LOG_INFO;
  int defaultPrintFlag = PRINT_FILE | PRINT_CONSOLE | PRINT_DEBUGGER;
  int keepDays = 30;
  std::string configPath;
  int64_t configModified = 0;  // modification time of the file last read; 0 before
  bool sizeLimitEnabled = true;
#endif
};

}  // namespace QLX_LOGGER_VARIANT

// A narrow record under construction; its destruction writes the record.
class CLoggerStreamA : public std::ostringstream {
 public:
  explicit CLoggerStreamA(int level) : level(level) {}
  ~CLoggerStreamA() override;
  // The stream as an lvalue, so that a temporary takes every inserter.
  std::ostream& Stream() { return *this; }

  int level;
};

// A UTF-16 record under construction; its destruction writes the record.
// Takes UTF-16 text, narrow text (UTF-8), characters and numbers; numbers
// are rendered as std::ostream renders them by default.
class CLoggerStreamW {
 public:
  explicit CLoggerStreamW(int level) : level(level) {}
  virtual ~CLoggerStreamW();
  CLoggerStreamW(const CLoggerStreamW&) = delete;
  CLoggerStreamW& operator=(const CLoggerStreamW&) = delete;

  CLoggerStreamW& Stream() { return *this; }
  const std::u16string& str() const { return text; }

  CLoggerStreamW& operator<<(std::u16string_view value);
  CLoggerStreamW& operator<<(const char16_t* value);
  CLoggerStreamW& operator<<(const std::u16string& value) {
    return *this << std::u16string_view(value);
  }
  CLoggerStreamW& operator<<(char16_t value) { return *this << std::u16string_view(&value, 1); }
  CLoggerStreamW& operator<<(std::string_view value);
  CLoggerStreamW& operator<<(const char* value);
  CLoggerStreamW& operator<<(const std::string& value) { return *this << std::string_view(value); }
  CLoggerStreamW& operator<<(char value) { return *this << std::string_view(&value, 1); }
  CLoggerStreamW& operator<<(bool value) { return AppendInteger(value ? 1 : 0, false); }
  CLoggerStreamW& operator<<(double value);
  CLoggerStreamW& operator<<(const void* value);
  template <class T, std::enable_if_t<std::is_enum_v<T>, int> = 0>
  CLoggerStreamW& operator<<(T value) {
    return *this << static_cast<std::underlying_type_t<T>>(value);
  }
  template <class T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
  CLoggerStreamW& operator<<(T value) {
    if constexpr (std::is_signed_v<T>) {
      return AppendInteger(static_cast<long long>(value), false);
    } else {
      return AppendInteger(static_cast<long long>(static_cast<unsigned long long>(value)), true);
    }
  }

  int level;

 private:
  CLoggerStreamW& AppendInteger(long long value, bool isUnsigned);
  std::u16string text;
};

}  // namespace QLXSdk

// Log statements: "[" + function name + " (" + line + ")] " + the inserted text.
#define QLOG(level)                        \
  ::QLXSdk::CLoggerStreamA(level).Stream() \
      << '[' << ::QLXSdk::LoggedFunctionName(QLX_FUNCTION_SIGNATURE) << " (" << __LINE__ << ")] "
#define QLOGW(level)                       \
  ::QLXSdk::CLoggerStreamW(level).Stream() \
      << u'[' << ::QLXSdk::LoggedFunctionName(QLX_FUNCTION_SIGNATURE) << " (" << __LINE__ << ")] "
