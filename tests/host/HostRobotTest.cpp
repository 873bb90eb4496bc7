// qlxhost driving the robot simulator through Dravent.dll: robot actions,
// vendor errors, and the publishing job on the direct and Windows XP paths.
// The simulator's journal shows what reached the vendor library, and in
// which process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "HostRunner.h"
#include "sim/robot/SimJournal.h"
#include "sim/robot/SimRobot.h"

namespace qlx::host::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class HostRobot : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"Dravent.dll", "PTRobot.dll", "Velnor.dll", "Kestrane.exe"}) {
      if (!std::filesystem::exists(std::string(QLX_BIN_DIR) + "/" + name)) {
        GTEST_SKIP() << name << " is not built";
      }
    }
    journal_ = data_.Path() + "/journal.txt";
    std::filesystem::create_directories(data_.Path() + "/run");
    env_ = {{"QLX_SIM_ROBOTS", "2"},
            {"QLX_SIM_JOURNAL", journal_},
            {"XDG_RUNTIME_DIR", data_.Path() + "/run"}};
  }

  RunResult Run(const std::vector<std::string>& args,
                const std::map<std::string, std::string>& extra = {}) {
    auto env = env_;
    for (const auto& [name, value] : extra) env[name] = value;
    return folder_.Run(args, env);
  }

  // A job of two discs: two 60 KiB files on discs of 100 KiB.
  std::string TwoDiscJob() {
    data_.MakeFile("job/one.bin", 60 * 1024);
    data_.MakeFile("job/two.bin", 60 * 1024);
    return data_.Path() + "/job";
  }

  std::vector<std::string> Texts(const std::string& function) const {
    return sim::CallTexts(journal_, function);
  }

  HostFolder folder_;
  TempFolder data_;
  std::string journal_;
  std::map<std::string, std::string> env_;
};

TEST_F(HostRobot, ListShowsBothSimulatedRobots) {
  RunResult human = Run({"robot", "list"});
  ASSERT_EQ(human.exitCode, 0) << human.err;
  EXPECT_THAT(human.out, HasSubstr("0x00010000  QLX Disc Publisher"));
  EXPECT_THAT(human.out, HasSubstr("0x00020000  QLX Disc Publisher"));

  RunResult json = Run({"robot", "list", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_THAT(json.out, HasSubstr("\"handle\": 65536"));
  EXPECT_THAT(json.out, HasSubstr("\"handle\": 131072"));
  EXPECT_EQ(Texts("PTRobot_GetRobotInfo").size(), 4u);
}

TEST_F(HostRobot, VendorErrorsExitWithOneAndTheVendorsText) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"robot", "move", "0x10000", "output", "input"}, "error 20 (No disc at the source"},
      {{"robot", "info", "0x30000"}, "error 10 ("},
      {{"robot", "list", "--xp"}, "does not enumerate robots"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    RunResult result = Run(c.args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.err, HasSubstr(c.message));
  }
}

TEST_F(HostRobot, ActionsReachTheVendorWithTheirArguments) {
  ASSERT_EQ(Run({"robot", "move", "0x10000", "input", "printer"}).exitCode, 0);
  ASSERT_EQ(Run({"robot", "options", "0x20000", "0x5"}).exitCode, 0);
  ASSERT_EQ(Run({"robot", "assign", "0x10000", "e", "QXS00E1037", "0", "1"}).exitCode, 0);
  EXPECT_THAT(Texts("PTRobot_MoveDiscBetweenLocations"),
              ElementsAre("PTRobot_MoveDiscBetweenLocations(65536, 1, 4)"));
  EXPECT_THAT(Texts("PTRobot_SetRobotOptions"), ElementsAre("PTRobot_SetRobotOptions(131072, 5)"));
  // Drive E of robot 0x10000 is its second drive: handle 0x10245.
  EXPECT_THAT(Texts("PTRobot_SetRoboticDrive"),
              ElementsAre("PTRobot_SetRoboticDrive(65536, 66117, 0, 1)"));
}

TEST_F(HostRobot, PublishPutsBothDiscsOfATwoDiscJobInTheOutputBin) {
  RunResult result = Run({"publish", TwoDiscJob(), "--size", "100KiB", "--burn-seconds", "0"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("Published 2 discs, 120.0 KiB in 2 files"));
  // Disc 1 on robot 0x10000, disc 2 on robot 0x20000, each through its
  // first drive: blank from the input bin, printer, label, output bin.
  const auto output = std::to_string(sim::kLocationOutputBin);
  EXPECT_THAT(Texts("PTRobot_LoadDrive"), ElementsAre("PTRobot_LoadDrive(65536, 65860, 1, 0)",
                                                      "PTRobot_LoadDrive(131072, 131398, 1, 0)"));
  EXPECT_THAT(Texts("PTRobot_AddMergeFields"),
              ElementsAre("PTRobot_AddMergeFields(65536, \"Disc 1 of 2\")",
                          "PTRobot_AddMergeFields(131072, \"Disc 2 of 2\")"));
  EXPECT_THAT(Texts("PTRobot_UnLoadPrinter"),
              ElementsAre("PTRobot_UnLoadPrinter(65536, " + output + ")",
                          "PTRobot_UnLoadPrinter(131072, " + output + ")"));
}

TEST_F(HostRobot, PublishOnTheXpPathRunsEachRobotInAnAgentOfItsOwn) {
  RunResult result = Run({"publish", TwoDiscJob(), "--size", "100KiB", "--burn-seconds", "0",
                          "--xp", "--robot", "0x10000", "--robot", "0x20000"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("one agent per robot"));
  const auto unloads = sim::Calls(journal_, "PTRobot_UnLoadPrinter");
  ASSERT_EQ(unloads.size(), 2u);
  EXPECT_EQ(unloads[0].Args()[0], "65536");
  EXPECT_EQ(unloads[1].Args()[0], "131072");
  EXPECT_NE(unloads[0].pid, unloads[1].pid);
  // The agents started their own vendor library; the host never did.
  EXPECT_EQ(sim::Calls(journal_, "PTRobot_Initialize").size(), 2u);
}

TEST_F(HostRobot, PublishStopsAtTheFirstDiscTheRobotCannotMake) {
  RunResult result = Run(
      {"publish", TwoDiscJob(), "--size", "100KiB", "--burn-seconds", "0", "--robot", "0x10000"},
      {{"QLX_SIM_INPUT_DISCS", "1"}});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_THAT(result.err, HasSubstr("Disc 2 of 2: cannot load a blank disc from the input bin"));
  EXPECT_THAT(result.err, HasSubstr("error 20"));
  EXPECT_EQ(Texts("PTRobot_UnLoadPrinter").size(), 1u);
}

}  // namespace
}  // namespace qlx::host::test
