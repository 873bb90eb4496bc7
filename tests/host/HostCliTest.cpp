// qlxhost's command line: exit codes, help, and plan through Partivo.dll.
#include <Poco/JSON/Array.h>
#include <Poco/JSON/Object.h>
#include <Poco/JSON/Parser.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "HostRunner.h"

namespace qlx::host::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::Not;

class HostCli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { folder_ = new HostFolder(); }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static HostFolder* folder_;
};
HostFolder* HostCli::folder_ = nullptr;

Poco::JSON::Object::Ptr ParseObject(const std::string& text) {
  Poco::JSON::Parser parser;
  return parser.parse(text).extract<Poco::JSON::Object::Ptr>();
}

struct UsageCase {
  std::vector<std::string> args;
  const char* message;  // part of the error text
};

TEST_F(HostCli, UsageErrorsExitWithTwoAndExplainOnStandardError) {
  const UsageCase cases[] = {
      {{}, "Usage: qlxhost COMMAND"},
      {{"burn"}, "no command 'burn'"},
      {{"plan"}, "at least one PATH"},
      {{"plan", ".", "--disc", "HDDVD"}, "CD|DVD|DVDDL|BD25|BD50|BD100|BD128"},
      {{"plan", ".", "--disc", "DVD", "--size", "4096"}, "not both"},
      {{"plan", ".", "--size", "lots"}, "not a size"},
      {{"plan", ".", "--sort", "colour"}, "name, size, time, none"},
      {{"plan", ".", "--split", "x"}, "not a number"},
      {{"plan", ".", "--disc"}, "needs a value"},
      {{"plan", ".", "--frobnicate"}, "unknown option"},
      {{"robot"}, "needs an action"},
      {{"robot", "fly"}, "no robot action 'fly'"},
      {{"robot", "info"}, "takes ROBOT"},
      {{"robot", "move", "1", "input"}, "takes ROBOT FROM TO"},
      {{"robot", "list", "--xp", "--direct"}, "not both"},
      {{"usb"}, "needs an action"},
      {{"usb", "watch", "--seconds", "-1"}, "not a number"},
      {{"publish"}, "at least one PATH"},
      {{"publish", ".", "--burn-seconds", "soon"}, "not a number of seconds"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    RunResult result = folder_->Run(c.args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_THAT(result.err, HasSubstr(c.message));
  }
}

TEST_F(HostCli, EveryCommandHasHelp) {
  const std::vector<std::vector<std::string>> cases = {{"--help"},
                                                       {"help", "plan"},
                                                       {"plan", "--help"},
                                                       {"robot", "--help"},
                                                       {"robot", "move", "--help"},
                                                       {"publish", "-h"},
                                                       {"usb", "--help"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    RunResult result = folder_->Run(args);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.out, HasSubstr("Usage: qlxhost"));
    EXPECT_THAT(result.err, IsEmpty());
  }
}

TEST_F(HostCli, PlanJsonListsDiscsSizesAndTargetPaths) {
  // Next fit by name on 100 KiB discs: alpha (60 KiB) alone, then beta and
  // gamma together; the first disc is not revisited for gamma.
  TempFolder data;
  data.MakeFile("set/alpha.bin", 60 * 1024);
  data.MakeFile("set/beta.bin", 50 * 1024);
  data.MakeFile("set/gamma.bin", 30 * 1024 - 100);  // rounds up to whole sectors
  RunResult result = folder_->Run(
      {"plan", data.Path() + "/set", "--size", "100KiB", "--target", "backup", "--json"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  auto plan = ParseObject(result.out);
  EXPECT_EQ(plan->getValue<int>("disc_count"), 2);
  EXPECT_EQ(plan->getValue<int>("lower_bound"), 2);
  EXPECT_EQ(plan->getValue<uint64_t>("capacity"), 100u * 1024);
  EXPECT_EQ(plan->getValue<uint64_t>("total_size"), 140u * 1024 - 100);
  EXPECT_EQ(plan->getValue<uint64_t>("total_aligned_size"), 140u * 1024);
  auto discs = plan->getArray("discs");
  ASSERT_EQ(discs->size(), 2u);

  struct Expected {
    uint64_t aligned;
    int files;
    std::vector<std::string> fileTargets;
  };
  const Expected expected[] = {
      {60 * 1024, 1, {"\\backup\\set\\alpha.bin"}},
      {80 * 1024, 2, {"\\backup\\set\\beta.bin", "\\backup\\set\\gamma.bin"}}};
  for (unsigned i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    auto disc = discs->getObject(i);
    EXPECT_EQ(disc->getValue<int>("index"), static_cast<int>(i));
    EXPECT_EQ(disc->getValue<uint64_t>("aligned_size"), expected[i].aligned);
    EXPECT_EQ(disc->getValue<int>("files"), expected[i].files);
    std::vector<std::string> fileTargets;
    auto entries = disc->getArray("entries");
    for (unsigned k = 0; k < entries->size(); ++k) {
      auto entry = entries->getObject(k);
      if (entry->getValue<std::string>("type") == "file") {
        fileTargets.push_back(entry->getValue<std::string>("target"));
      }
    }
    EXPECT_EQ(fileTargets, expected[i].fileTargets);
  }
}

TEST_F(HostCli, PlanPutsEveryDiscFoldersOnEachDisc) {
  TempFolder data;
  data.MakeFile("set/one.bin", 60 * 1024);
  data.MakeFile("set/two.bin", 60 * 1024);
  data.MakeFile("extras/index.txt", 100);
  RunResult result = folder_->Run({"plan", data.Path() + "/set", "--size", "100KiB", "--every-disc",
                                   data.Path() + "/extras", "--json"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  auto discs = ParseObject(result.out)->getArray("discs");
  ASSERT_EQ(discs->size(), 2u);
  for (unsigned i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    auto entries = discs->getObject(i)->getArray("entries");
    std::vector<std::string> targets;
    for (unsigned k = 0; k < entries->size(); ++k) {
      targets.push_back(entries->getObject(k)->getValue<std::string>("target"));
    }
    EXPECT_THAT(targets, ::testing::Contains("\\extras\\index.txt"));
  }
}

TEST_F(HostCli, PlanJsonStaysValidForOddFileNames) {
  TempFolder data;
  data.MakeFile("odd/quote\"tab\tlatin1-\xE9.bin", 10);
  RunResult result = folder_->Run({"plan", data.Path() + "/odd", "--json"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  auto disc = ParseObject(result.out)->getArray("discs")->getObject(0);
  auto entries = disc->getArray("entries");
  ASSERT_EQ(entries->size(), 2u);  // the folder and the file
  // The byte that is not UTF-8 becomes U+FFFD; everything else is kept.
  EXPECT_EQ(entries->getObject(1)->getValue<std::string>("name"),
            "quote\"tab\tlatin1-\xEF\xBF\xBD.bin");
}

TEST_F(HostCli, PlanForHumansShowsDiscsAndTheLowerBound) {
  TempFolder data;
  data.MakeFile("one/a.bin", 3 * 1024 * 1024);
  data.MakeFile("two/b.bin", 1 * 1024 * 1024);
  // Split level 1 puts each top-level folder's subfolders on new discs; here
  // the two items are separate folders at depth 0, so they share a disc.
  RunResult result =
      folder_->Run({"plan", data.Path() + "/one", data.Path() + "/two", "--disc", "CD", "-v"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("CD discs of 690.0 MiB"));
  EXPECT_THAT(result.out, HasSubstr("4.0 MiB"));
  EXPECT_THAT(result.out, HasSubstr("lower bound 1 disc"));
  EXPECT_THAT(result.out, HasSubstr("a.bin"));       // the tree of -v
  EXPECT_THAT(result.out, Not(HasSubstr("\x1b[")));  // no colour into a file
}

TEST_F(HostCli, ColourOnlyOnATerminal) {
  TempFolder data;
  data.MakeFile("a.bin", 4096);
  const std::vector<std::string> args = {"plan", data.Path() + "/a.bin"};
  EXPECT_THAT(folder_->RunInTerminal(args).out, HasSubstr("\x1b[1mDisc"));
  EXPECT_THAT(folder_->RunInTerminal(args, {{"NO_COLOR", "1"}}).out, Not(HasSubstr("\x1b[")));
  RunResult piped = folder_->Run(args);
  EXPECT_THAT(piped.out, HasSubstr("Disc"));
  EXPECT_THAT(piped.out, Not(HasSubstr("\x1b[")));
}

TEST_F(HostCli, PlanFailuresExitWithOne) {
  TempFolder data;
  data.MakeFile("big.bin", 10 * 1024);
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"plan", data.Path() + "/missing"}, "no such file or folder"},
      {{"plan", data.Path() + "/big.bin", "--size", "4KiB"}, "do not fit"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    RunResult result = folder_->Run(c.args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.err, HasSubstr(c.message));
  }
}

TEST(HostFolderPlugins, MissingPluginIsAJobFailureNamingTheFile) {
  HostFolder folder;
  folder.Remove("Partivo.dll");
  TempFolder data;
  data.MakeFile("a.bin", 1);
  RunResult result = folder.Run({"plan", data.Path() + "/a.bin"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_THAT(result.err, HasSubstr("Partivo.dll"));
}

TEST_F(HostCli, UsbWatchReportsScriptedArrivalAndRemoval) {
  // A device present at the start is not reported; the scripted arrival and
  // removal are, with vendor:product in hex and the bus address.
  TempFolder script;
  const std::string path = script.Path() + "/usb.script";
  std::ofstream(path) << "device 1d6b 0002 1\n"
                         "at 200 attach 04b4 8613 7\n"
                         "at 500 detach 7\n";
  RunResult result =
      folder_->Run({"usb", "watch", "--seconds", "2"}, {{"QLX_FAKEUSB_SCRIPT", path}});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.out,
              MatchesRegex("[-0-9]{10} [:.0-9]{12}  arrived  ID 04b4:8613  address 7\n"
                           "[-0-9]{10} [:.0-9]{12}  removed  ID 04b4:8613  address 7\n"));

  RunResult json =
      folder_->Run({"usb", "watch", "--seconds", "2", "--json"}, {{"QLX_FAKEUSB_SCRIPT", path}});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  std::istringstream lines(json.out);
  std::string line;
  std::vector<std::string> events;
  while (std::getline(lines, line)) {
    auto event = ParseObject(line);
    EXPECT_EQ(event->getValue<std::string>("vendor_id"), "04b4");
    EXPECT_EQ(event->getValue<std::string>("product_id"), "8613");
    EXPECT_EQ(event->getValue<int>("address"), 7);
    events.push_back(event->getValue<std::string>("event"));
  }
  EXPECT_EQ(events, (std::vector<std::string>{"arrived", "removed"}));
}

TEST(HostFolderPlugins, UsbWatchWithoutLibusbFailsWithOne) {
  HostFolder folder;
  folder.Remove("libusb-1.0.dll");
  RunResult result = folder.Run({"usb", "watch", "--seconds", "1"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_THAT(result.err, HasSubstr("libusb-1.0.dll"));
}

}  // namespace
}  // namespace qlx::host::test
