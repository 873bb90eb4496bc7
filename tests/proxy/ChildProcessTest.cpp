// Child processes as the proxy starts its agents: what the child receives,
// how its end is seen, and that only our own child is ever signalled.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "ProxyTestSupport.h"
#include "gtest/gtest.h"
#include "platform/child_process.h"

namespace qlx::proxytest {
namespace {

using platform::ChildProcess;

const std::string kProbe = QLX_TEST_BIN_DIR "/proxy_child_probe";

// The probe's report: key=value lines.
std::map<std::string, std::string> ReadReport(const std::string& path) {
  std::map<std::string, std::string> report;
  if (!WaitUntil([&] { return access(path.c_str(), F_OK) == 0; })) return report;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    auto equals = line.find('=');
    if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return report;
}

class ChildProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("PROBE_OUT", dir_.File("report").c_str(), 1);
    setenv("PROBE_MODE", "exit", 1);
  }
  void TearDown() override {
    unsetenv("PROBE_OUT");
    unsetenv("PROBE_MODE");
  }
  TempDir dir_;
};

TEST_F(ChildProcessTest, ChildGetsANewSessionOnlyTheParentDeathPipeAndOurEnvironment) {
  int leaked = open("/dev/null", O_RDONLY);  // not close-on-exec: must still stay here
  ASSERT_GE(leaked, 0);
  setenv("PROBE_MARKER", "from-the-host", 1);
  setenv("QLX_AGENT_PARENT_FD", "99", 1);  // a stale value is replaced
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir_.Path().c_str()), 0);

  auto child = ChildProcess::Launch(kProbe);
  ASSERT_EQ(chdir(cwd), 0);
  close(leaked);
  unsetenv("PROBE_MARKER");
  unsetenv("QLX_AGENT_PARENT_FD");
  ASSERT_NE(child, nullptr);

  auto report = ReadReport(dir_.File("report"));
  EXPECT_EQ(report["pid"], std::to_string(child->Id()));
  EXPECT_EQ(report["sid"], report["pid"]);
  EXPECT_EQ(report["fds"], "0,1,2,3");
  EXPECT_EQ(report["parentfd"], "3");
  EXPECT_EQ(report["marker"], "from-the-host");
  EXPECT_EQ(report["cwd"], dir_.Path());
  EXPECT_TRUE(child->WaitForExit(5000));
  EXPECT_FALSE(child->IsAlive());
}

TEST_F(ChildProcessTest, ProgramThatCannotRunIsNotStarted) {
  std::ofstream(dir_.File("not-a-program")) << "plain text\n";
  for (const std::string& program : {dir_.File("missing.exe"), dir_.File("not-a-program")}) {
    EXPECT_EQ(ChildProcess::Launch(program), nullptr) << program;
  }
}

TEST_F(ChildProcessTest, ChildKilledFromOutsideIsReapedAndNeverCountedAlive) {
  setenv("PROBE_MODE", "hold", 1);
  auto child = ChildProcess::Launch(kProbe);
  ASSERT_NE(child, nullptr);
  const int pid = static_cast<int>(child->Id());
  EXPECT_TRUE(child->IsAlive());
  EXPECT_TRUE(platform::IsProcessAlive(child->Id()));

  ASSERT_EQ(kill(pid, SIGKILL), 0);
  EXPECT_TRUE(WaitUntil([&] { return !child->IsAlive(); }));
  EXPECT_FALSE(ProcessListed(pid)) << "left as a zombie";
  EXPECT_FALSE(platform::IsProcessAlive(child->Id()));
  EXPECT_FALSE(child->Terminate()) << "a reaped child's id is no longer ours";
}

TEST_F(ChildProcessTest, TerminateEndsTheChild) {
  setenv("PROBE_MODE", "hold", 1);
  auto child = ChildProcess::Launch(kProbe);
  ASSERT_NE(child, nullptr);
  ASSERT_FALSE(ReadReport(dir_.File("report")).empty());
  EXPECT_TRUE(child->Terminate());
  EXPECT_TRUE(child->WaitForExit(5000));
  EXPECT_FALSE(child->IsAlive());
  EXPECT_FALSE(ProcessListed(static_cast<int>(child->Id())));
}

TEST_F(ChildProcessTest, HostIgnoringOrWaitingForAnyChildLeavesOursToUs) {
  auto previous = signal(SIGCHLD, SIG_IGN);
  auto child = ChildProcess::Launch(kProbe);
  ASSERT_NE(child, nullptr);
  ASSERT_FALSE(ReadReport(dir_.File("report")).empty());
  // A host that waits for any child does not see ours.
  int status = 0;
  EXPECT_LE(waitpid(-1, &status, WNOHANG), 0);
  EXPECT_TRUE(child->WaitForExit(5000));
  EXPECT_FALSE(child->IsAlive());
  EXPECT_FALSE(ProcessListed(static_cast<int>(child->Id())));
  signal(SIGCHLD, previous);
}

TEST_F(ChildProcessTest, ChildEndsItselfWhenItsStarterDies) {
  setenv("PROBE_MODE", "watch", 1);
  pid_t starter = fork();
  ASSERT_GE(starter, 0);
  if (starter == 0) {
    // Killed holding the child: only its death closes the pipe.
    ChildProcess::Launch(kProbe).release();
    for (;;) pause();
  }
  auto report = ReadReport(dir_.File("report"));
  ASSERT_FALSE(report.empty());
  const int grandchild = std::atoi(report["pid"].c_str());
  EXPECT_FALSE(WaitUntil([&] { return access(dir_.File("report.gone").c_str(), F_OK) == 0; }, 300))
      << "ended before its starter";
  kill(starter, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(starter, &status, 0), starter);
  EXPECT_TRUE(WaitUntil([&] { return access(dir_.File("report.gone").c_str(), F_OK) == 0; }));
  EXPECT_TRUE(WaitUntil([&] { return !platform::IsProcessAlive(grandchild); }));
}

TEST_F(ChildProcessTest, CopyOfTheHandleInAForkedHostProcessDoesNotEndTheChild) {
  setenv("PROBE_MODE", "hold", 1);
  auto child = ChildProcess::Launch(kProbe);
  ASSERT_NE(child, nullptr);
  pid_t forked = fork();
  ASSERT_GE(forked, 0);
  if (forked == 0) {
    child.reset();  // what an exiting forked copy of the host does
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(forked, &status, 0), forked);
  EXPECT_TRUE(child->IsAlive());
  EXPECT_TRUE(child->Terminate());
  EXPECT_TRUE(child->WaitForExit(5000));
}

TEST_F(ChildProcessTest, ReusedIdIsNeverSignalled) {
  setenv("PROBE_MODE", "hold", 1);
  auto child = ChildProcess::Launch(kProbe);
  ASSERT_NE(child, nullptr);
  const pid_t pid = static_cast<pid_t>(child->Id());
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  ASSERT_TRUE(WaitUntil([&] { return !child->IsAlive(); }));

  pid_t decoy = ForkDecoyWithPid(pid);
  if (decoy < 0) GTEST_SKIP() << "cannot make the system reuse a process id here";
  EXPECT_FALSE(child->Terminate());
  child.reset();
  int status = 0;
  EXPECT_EQ(waitpid(decoy, &status, WNOHANG), 0) << "the decoy with the reused id was signalled";
  kill(decoy, SIGKILL);
  waitpid(decoy, &status, 0);
}

TEST(IsProcessAlive, AnswersFromTheSystemProcessList) {
  EXPECT_TRUE(platform::IsProcessAlive(static_cast<uint32_t>(getpid())));
  EXPECT_FALSE(platform::IsProcessAlive(0));
  pid_t zombie = fork();
  if (zombie == 0) _exit(0);
  ASSERT_TRUE(WaitUntil([&] {
    return ReadFile("/proc/" + std::to_string(zombie) + "/stat").find(") Z") != std::string::npos;
  }));
  EXPECT_FALSE(platform::IsProcessAlive(static_cast<uint32_t>(zombie)));
  waitpid(zombie, nullptr, 0);
  EXPECT_FALSE(platform::IsProcessAlive(static_cast<uint32_t>(zombie)));
}

}  // namespace
}  // namespace qlx::proxytest
