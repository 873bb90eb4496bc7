#include "agent/AgentPaths.h"

#include "platform/process.h"
#include "platform/text.h"

namespace qlx::agent {

namespace {

// The platform's path separator. The log folder is the logging library's
// "Log": on a case-sensitive file system "log" would name a missing folder.
constexpr char16_t kSeparator = u'/';
constexpr char16_t kLogFolder[] = u"/Log/";

std::u16string Decimal(uint32_t value) { return qlx::platform::Utf8ToUtf16(std::to_string(value)); }

}  // namespace

std::u16string ModuleFolder() {
  std::u16string path = qlx::platform::Utf8ToUtf16(qlx::platform::ExecutablePath());
  size_t cut = path.rfind(kSeparator);
  return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut);
}

std::u16string StartupDebugFile(const std::u16string& folder, uint32_t pid) {
  return folder + kLogFolder + u"PTRobotDbg_" + Decimal(pid) + u".dbg";
}

std::u16string StartupTraceFile(const std::u16string& folder, uint32_t pid) {
  return folder + kLogFolder + u"PTRobotTrace_" + Decimal(pid) + u".dbg";
}

std::u16string InitializeDebugFile(const std::u16string& folder) {
  return folder + kSeparator + u"PTRobotDbg.dbg";
}

std::u16string InitializeTraceFile(const std::u16string& folder) {
  return folder + kSeparator + u"PTRobotTrace.dbg";
}

std::u16string AgentEndpoint(uint32_t pid) { return u"PTRobotRpc" + Decimal(pid); }

}  // namespace qlx::agent
