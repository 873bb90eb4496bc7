// A program for the child-process tests: started without arguments, it writes
// what it received (session, descriptors, environment, folder) to the file
// named by PROBE_OUT, then exits, holds, or watches the parent-death pipe as
// PROBE_MODE says ("exit", "hold", "watch").
#include <dirent.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string OpenDescriptors() {
  std::string list;
  DIR* dir = opendir("/proc/self/fd");
  int own = dir ? dirfd(dir) : -1;
  while (dirent* entry = dir ? readdir(dir) : nullptr) {
    if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own) continue;
    list += std::string(list.empty() ? "" : ",") + entry->d_name;
  }
  if (dir) closedir(dir);
  return list;
}

void WaitForParentDeath(int fd) {
  for (;;) {
    pollfd watched{fd, POLLIN, 0};
    if (poll(&watched, 1, -1) < 0) continue;
    char byte;
    if (read(fd, &byte, 1) <= 0) return;
  }
}

}  // namespace

int main() {
  const std::string out = Env("PROBE_OUT");
  char cwd[4096] = "";
  if (getcwd(cwd, sizeof cwd) == nullptr) cwd[0] = 0;
  const std::string descriptors = OpenDescriptors();
  {
    std::ofstream report(out + ".tmp");
    report << "pid=" << getpid() << "\nsid=" << getsid(0) << "\ncwd=" << cwd
           << "\nparentfd=" << Env("QLX_AGENT_PARENT_FD") << "\nfds=" << descriptors
           << "\nmarker=" << Env("PROBE_MARKER") << "\n";
  }
  std::rename((out + ".tmp").c_str(), out.c_str());
  const std::string mode = Env("PROBE_MODE");
  if (mode == "hold") {
    for (;;) pause();
  }
  if (mode == "watch") {
    WaitForParentDeath(std::atoi(Env("QLX_AGENT_PARENT_FD").c_str()));
    std::ofstream(out + ".gone") << "parent gone\n";
  }
  return 0;
}
