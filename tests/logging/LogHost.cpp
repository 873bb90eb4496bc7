// A small host program for logger tests that depend on the program folder.
// Built twice (narrow and wide logger). Reads commands from standard input,
// one per line, and answers each with a line "#ok" on standard output:
//   write <level> <text>        one record; "\n", "\r" and "\\" in text are unescaped
//   module <name>               CLogger::SetModuleName
//   sizelimit on|off            CLogger::SetSizeLimitEnabled
//   threads <n> <count> <text>  n threads each write count records of <text>
//   quit
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "logging/Logger.h"
#include "platform/text.h"

namespace {

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char next = text[++i];
    out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

void WriteRecord(int level, const std::string& text) {
#if defined(QLX_LOGGER_WIDE)
  QLOGW(level) << qlx::platform::Utf8ToUtf16(text);
#else
  QLOG(level) << text;
#endif
}

void WriteFromThreads(int threads, int count, const std::string& text) {
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([=] {
      for (int i = 0; i < count; ++i) WriteRecord(QLXSdk::LOG_INFO, text);
    });
  }
  for (auto& worker : workers) worker.join();
}

std::string RestOf(std::istringstream& in) {
  std::string rest;
  std::getline(in >> std::ws, rest);
  return Unescape(rest);
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    if (verb == "quit") break;
    if (verb == "write") {
      int level = 0;
      in >> level;
      WriteRecord(level, RestOf(in));
    } else if (verb == "module") {
      QLXSdk::CLogger::Instance()->SetModuleName(RestOf(in));
    } else if (verb == "sizelimit") {
      QLXSdk::CLogger::Instance()->SetSizeLimitEnabled(RestOf(in) == "on");
    } else if (verb == "threads") {
      int threads = 0, count = 0;
      in >> threads >> count;
      WriteFromThreads(threads, count, RestOf(in));
    }
    std::fputs("#ok\n", stdout);
    std::fflush(stdout);
  }
  return 0;
}
