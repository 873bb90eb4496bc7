#include "tests/logging/HostRunner.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace qlx::test {

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "qlxlog-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool Exists(const std::string& path) { return fs::exists(path); }

void SetModified(const std::string& path, long long seconds) {
  utimbuf times{static_cast<time_t>(seconds), static_cast<time_t>(seconds)};
  utime(path.c_str(), &times);
}

long long Modified(const std::string& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_mtime;
}

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

HostProcess::HostProcess(const std::string& program, const TempFolder& folder,
                         const std::string& name) {
  std::string copy = folder / name;
  fs::copy_file(program, copy, fs::copy_options::overwrite_existing);
  int toHost[2], fromHost[2];
  if (pipe(toHost) != 0 || pipe(fromHost) != 0) throw std::runtime_error("pipe failed");
  std::string debugPath = folder / "debug.txt";
  std::string errorPath = folder / "stderr.txt";
  pid_ = fork();
  if (pid_ == 0) {
    dup2(toHost[0], 0);
    dup2(fromHost[1], 1);
    FILE* errors = std::fopen(errorPath.c_str(), "w");
    if (errors) dup2(fileno(errors), 2);
    close(toHost[1]);
    close(fromHost[0]);
    setenv("QLX_DEBUG_OUTPUT", debugPath.c_str(), 1);
    execl(copy.c_str(), copy.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(toHost[0]);
  close(fromHost[1]);
  input_ = toHost[1];
  output_ = fromHost[0];
}

HostProcess::~HostProcess() {
  Command("quit");
  close(input_);
  close(output_);
  int status = 0;
  waitpid(pid_, &status, 0);
}

std::string HostProcess::Command(const std::string& line) {
  std::string text = line + "\n";
  if (write(input_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "";
  if (line == "quit") return "";
  std::string received;
  const std::string ack = "#ok\n";
  char buffer[4096];
  while (received.size() < ack.size() ||
         received.compare(received.size() - ack.size(), ack.size(), ack) != 0) {
    ssize_t got = read(output_, buffer, sizeof buffer);
    if (got <= 0) return received;
    received.append(buffer, static_cast<size_t>(got));
  }
  received.resize(received.size() - ack.size());
  return received;
}

std::string DailyName(const std::string& module, int daysAgo) {
  time_t when = time(nullptr) - static_cast<time_t>(daysAgo) * 86400;
  tm local{};
  localtime_r(&when, &local);
  char name[512];
  std::snprintf(name, sizeof name, "%s %04d-%02d-%02d.log", module.c_str(), local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday);
  return name;
}

}  // namespace qlx::test
