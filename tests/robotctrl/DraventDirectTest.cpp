// The controller on the direct path: Dravent.dll binds the robot simulator
// (PTRobot.dll) from the host's folder; the simulator's journal shows what
// reached the vendor library.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "HostFolder.h"
#include "sim/robot/SimRobot.h"

namespace {

namespace sim = qlx::sim;

// Robots 1 to 4; robot 1 carries drive E: (handle 0x65, low byte 'e') in
// row 0 and drive F: (0x46) in row 1.
const std::string kRobot = "1";
const std::string kDriveE = "0x65";
const std::string kDriveF = "0x46";

class DirectPath : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(std::string(QLX_BIN_DIR) + "/PTRobot.dll")) {
      GTEST_SKIP() << "PTRobot.dll is not built";
    }
    folder.AddBin("PTRobot.dll");
    folder.SetEnv("QLX_SIM_ROBOTS", "1,2,3,4");
    folder.SetEnv("QLX_SIM_DRIVES", "1:101,70");
    folder.SetEnv("QLX_SIM_INPUT_DISCS", "5");
  }

  // Runs Init and then `calls`; results of `calls` only.
  std::vector<SlotResult> RunBound(std::vector<SlotCall> calls) {
    calls.insert(calls.begin(), SlotCall{"1"});
    HostRun run = RunHost(folder, calls);
    hostPid = run.pid;
    EXPECT_EQ(run.calls.size(), calls.size()) << run.output;
    if (run.calls.empty() || run.calls.size() != calls.size()) return {};
    EXPECT_EQ(run.calls[0].result, 0u) << "Init";
    run.calls.erase(run.calls.begin());
    return run.calls;
  }

  size_t Calls(const std::string& function) const { return folder.Journal(function).size(); }

  HostFolder folder;
  int hostPid = 0;
};

TEST_F(DirectPath, InitInitializesTheLibraryInTheHostProcess) {
  RunBound({});
  const auto journal = folder.Journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0].function, "PTRobot_Initialize");
  EXPECT_EQ(journal[1].function, "PTRobot_SetApplicationID");
  EXPECT_EQ(journal[1].Args(), std::vector<std::string>{"0"});
  EXPECT_EQ(journal[0].pid, hostPid);
  EXPECT_TRUE(folder.Records("CDraventImpl::Init", "ERROR").empty());
}

TEST_F(DirectPath, InitAgainRebindsAndDestroyReachesTheLibrary) {
  const auto results = RunBound({{"1"}, {"0"}});
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].result, 0u);
  EXPECT_EQ(results[1].result, 0u);
  EXPECT_EQ(Calls("PTRobot_Initialize"), 2u);
  EXPECT_EQ(Calls("PTRobot_SetApplicationID"), 2u);
  EXPECT_EQ(Calls("PTRobot_Destroy"), 1u);
}

// Each pass-through slot reaches its own vendor function with the caller's
// arguments, in order.
TEST_F(DirectPath, EverySlotReachesItsVendorFunction) {
  struct Case {
    SlotCall call;
    std::string journaled;
  };
  const std::vector<Case> cases = {
      {{"7", "101", "1"}, "PTRobot_OpenCloseDrive(101, 1)"},
      {{"8", "1", "3"}, "PTRobot_SystemAction(1, 3)"},
      {{"9", "1", "101", "1", "0"}, "PTRobot_LoadDrive(1, 101, 1, 0)"},
      {{"10", "1", "101", "2"}, "PTRobot_UnLoadDrive(1, 101, 2)"},
      {{"11", "1", "1", "4"}, "PTRobot_MoveDiscBetweenLocations(1, 1, 4)"},
      {{"12", "1", "1"}, "PTRobot_LoadPrinter(1, 1)"},
      {{"13", "1", "70"}, "PTRobot_LoadPrinterFromDrive(1, 70)"},
      {{"14", "1", "2"}, "PTRobot_UnLoadPrinter(1, 2)"},
      {{"15", "1", "s:Title=Backup"}, "PTRobot_AddMergeFields(1, \"Title=Backup\")"},
      {{"16", "1", "s:merge.std", "1"}, "PTRobot_PrintFileWithMerge2(1, \"merge.std\", 1)"},
      {{"17", "1", "s:label.std", "2"}, "PTRobot_PrintFile(1, \"label.std\", 2)"},
      {{"18", "1"}, "PTRobot_ClearMergeList(1)"},
      {{"19", "1", "buf:12"}, "PTRobot_GetPrinterSettings(1, out)"},
      {{"20", "1", "buf:12"}, "PTRobot_SetPrinterSettings(1, {0, 0, 0})"},
      {{"21", "1", "5", "buf:512", "256", "0"}, "PTRobot_GetErrorString(1, 5, out, 256, 0)"},
      {{"22", "1", "1"}, "PTRobot_KillSystemError(1, 1)"},
      {{"23", "1", "int:0"}, "PTRobot_GetRobotOptions(1, out)"},
      {{"24", "1", "6"}, "PTRobot_SetRobotOptions(1, 6)"},
      {{"25", "1", "buf:24"}, "PTRobot_GetRobotStatus(1, out)"},
      {{"26", "1", "buf:164"}, "PTRobot_GetRobotStatus2(1, out)"},
      {{"27", "s:a.std", "s:b.bmp", "300"},
       "PTRobot_GetSureThingPreview(\"a.std\", \"b.bmp\", 300)"},
      {{"29", "s:dbg.txt", "4", "s:trace.txt"},
       "PTRobot_SetupDebugging(\"dbg.txt\", 4, \"trace.txt\")"},
      {{"30", "cb"}, "PTRobot_SetOpenCloseFunction(fn)"},
  };
  std::vector<SlotCall> calls;
  for (const Case& c : cases) calls.push_back(c.call);
  const auto results = RunBound(calls);
  ASSERT_EQ(results.size(), cases.size());
  auto journal = folder.Journal();
  journal.erase(journal.begin(), journal.begin() + 2);  // Init's calls
  ASSERT_EQ(journal.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(journal[i].Text(), cases[i].journaled) << "slot " << cases[i].call[0];
  }
  // Results pass unchanged, as the simulated robot's state makes them.
  EXPECT_EQ(results[5].result, sim::kErrTargetOccupied);    // the move filled the printer
  EXPECT_EQ(results[6].result, sim::kErrNoDiscAtSource);    // drive 70 is empty
  EXPECT_EQ(results[9].result, sim::kErrPrinterEmpty);      // after the unload
  EXPECT_EQ(results[13].result, sim::kErrInvalidArgument);  // zero copies
  EXPECT_EQ(results[0].result, 0u);
}

TEST_F(DirectPath, WindowsVersionChoosesTheLibrary) {
  struct Case {
    const char* version;
    uint32_t init;
  };
  // Only PTRobot.dll is in the folder: the Windows XP choice, Velnor.dll, is missing.
  for (const Case& c : {Case{"", 0}, Case{"5.1", 500}, Case{"5.0", 0}, Case{"5.2", 0},
                        Case{"6.1", 0}, Case{"10.0", 0}}) {
    SCOPED_TRACE(c.version);
    folder.SetEnv("QLX_WINDOWS_VERSION", c.version);
    const HostRun run = RunHost(folder, {{"1"}});
    ASSERT_EQ(run.calls.size(), 1u) << run.output;
    EXPECT_EQ(run.calls[0].result, c.init);
  }
}

TEST_F(DirectPath, FailingInitializeIsLoggedAndReturned) {
  folder.SetEnv("QLX_SIM_INIT_RESULT", "4021");
  const HostRun run = RunHost(folder, {{"1"}});
  ASSERT_EQ(run.calls.size(), 1u) << run.output;
  EXPECT_EQ(run.calls[0].result, 4021u);
  EXPECT_EQ(folder.Records("CDraventImpl::Init", "ERROR"),
            std::vector<std::string>{"PTRobot_Initialize fail 4021"});
  EXPECT_EQ(Calls("PTRobot_SetApplicationID"), 0u);
}

TEST_F(DirectPath, EnumRobotsHonoursTheCallersCapacity) {
  const auto results = RunBound({{"2", "buf:12:ff", "int:3"},
                                 {"2", "buf:40:ff", "int:10"},
                                 {"2", "null", "int:10"},
                                 {"2", "buf:40:ff", "null"}});
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[0].result, 601u);
  EXPECT_EQ(results[0].buffers[0], Repeat("ff", 12));
  EXPECT_EQ(Int32s(results[0].buffers[1]), std::vector<int32_t>{3});
  EXPECT_EQ(results[1].result, 0u);
  EXPECT_EQ(Int32s(results[1].buffers[0]),
            (std::vector<int32_t>{1, 2, 3, 4, -1, -1, -1, -1, -1, -1}));
  EXPECT_EQ(Int32s(results[1].buffers[1]), std::vector<int32_t>{4});
  EXPECT_EQ(results[2].result, 600u);
  EXPECT_EQ(results[3].result, 600u);
  EXPECT_EQ(Calls("PTRobot_EnumRobots"), 2u);
}

TEST_F(DirectPath, GetDriveInfoFillsTheServicesRecordByteForByte) {
  const auto results = RunBound({{"6", kDriveE, "buf:532:cd"}});
  ASSERT_EQ(results.size(), 1u);
  ASSERT_EQ(results[0].result, 0u);
  const std::string& hex = results[0].buffers[0];
  auto bytes = [&hex](size_t offset, size_t count) { return hex.substr(2 * offset, 2 * count); };
  EXPECT_EQ(bytes(0, 2), "4500");               // 'E'
  EXPECT_EQ(bytes(2, 2), "cdcd");               // not written
  EXPECT_EQ(bytes(4, 4), "65000000");           // the handle as passed
  EXPECT_NE(bytes(8, 264), Repeat("cd", 264));  // the vendor's fields
  EXPECT_EQ(bytes(444, 80), Repeat("cd", 80));  // not written
  EXPECT_EQ(bytes(524, 6), "45003a000000");     // "E:"
  EXPECT_EQ(bytes(530, 2), "cdcd");
  EXPECT_EQ(Calls("PTRobot_GetDriveInfo"), 1u);
}

TEST_F(DirectPath, NullRecordsAndSerialReturn600AndCallNothing) {
  const auto results = RunBound({{"3", "1", "null"},
                                 {"5", "1", "null"},
                                 {"6", kDriveE, "null"},
                                 {"28", "1", kDriveE, "null", "0", "0"},
                                 {"4", "1", "null", "int:10"}});
  ASSERT_EQ(results.size(), 5u);
  for (const SlotResult& result : results) EXPECT_EQ(result.result, 600u);
  for (const char* function :
       {"PTRobot_GetRobotInfo", "PTRobot_GetMediaInfo", "PTRobot_GetDriveInfo",
        "PTRobot_SetRoboticDriveWithoutEnum", "PTRobot_SetRoboticDrive", "PTRobot_EnumDrives"}) {
    EXPECT_EQ(Calls(function), 0u) << function;
  }
  EXPECT_TRUE(folder.Records("CDraventImpl::SetRoboticDrive", "INFO").empty());
}

TEST_F(DirectPath, UnknownHandlesGiveTheVendorsCodesAndLeaveRecordsAlone) {
  const auto results = RunBound({{"3", "99", "buf:320:ab"},
                                 {"4", "99", "buf:40:ab", "int:10"},
                                 {"5", "99", "buf:80:ab"},
                                 {"6", "0x7a", "buf:532:ab"},
                                 {"9", "1", "0x7a", "1", "0"},
                                 {"11", "1", "77", "78"},
                                 {"25", "99", "buf:24:ab"}});
  ASSERT_EQ(results.size(), 7u);
  const std::vector<uint32_t> expected = {
      sim::kErrInvalidRobot, sim::kErrInvalidRobot,    sim::kErrInvalidRobot, sim::kErrInvalidDrive,
      sim::kErrInvalidDrive, sim::kErrInvalidLocation, sim::kErrInvalidRobot};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(results[i].result, expected[i]) << i;
  EXPECT_EQ(results[0].buffers[0], Repeat("ab", 320));
  EXPECT_EQ(results[2].buffers[0], Repeat("ab", 80));
  EXPECT_EQ(results[3].buffers[0], Repeat("ab", 532));
  EXPECT_EQ(
      folder.Records("CDraventImpl::GetRobotInfo", "ERROR"),
      std::vector<std::string>{"PTRobot_GetRobotInfo fail " + std::to_string(results[0].result)});
  EXPECT_EQ(folder.Records("CDraventImpl::EnumDrives", "ERROR"),
            std::vector<std::string>{"PTRobot_EnumDrives: " + std::to_string(results[1].result)});
}

// ------------------------------------------------------ SetRoboticDrive --

// One robot of the simulator's own numbering, with drives D: (row 0) and E: (row 1).
class RoboticDrive : public DirectPath {
 protected:
  void SetUp() override {
    DirectPath::SetUp();
    folder.SetEnv("QLX_SIM_ROBOTS", "1");
    UseDrives(2);
  }

  // `drives` drives in rows 0 to drives - 1.
  void UseDrives(int drives) {
    drivesPerRobot = drives;
    folder.SetEnv("QLX_SIM_DRIVES", std::to_string(drives));
  }

  static std::string Robot() { return std::to_string(sim::RobotHandle(0)); }
  std::string Drive(int drive) const {
    return std::to_string(sim::DriveHandle(0, drive, drivesPerRobot));
  }
  std::string Serial(int drive) const {
    const std::u16string serial =
        sim::DriveSerial(0, drive, sim::DriveLetter(0, drive, drivesPerRobot));
    return std::string(serial.begin(), serial.end());
  }

  // SetRoboticDrive for `drive` expecting `serial`; its result and duration.
  uint32_t Assign(int drive, const std::string& serial, const std::string& column,
                  const std::string& row, std::chrono::milliseconds* took = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    const auto results = RunBound({{"28", Robot(), Drive(drive), "s:" + serial, column, row}});
    if (took != nullptr) {
      *took = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);
    }
    return results.empty() ? ~0u : results[0].result;
  }

  int drivesPerRobot = 2;

  std::vector<std::string> FlashRows() const {
    std::vector<std::string> rows;
    for (const JournalEntry& read : folder.Journal("PTRobot_GetDriveSerialFromFlash")) {
      rows.push_back(read.Args().at(2));
    }
    return rows;
  }
};

TEST_F(RoboticDrive, FirstReadMatchingAssignsAtOnce) {
  EXPECT_EQ(Assign(0, Serial(0), "0", "0"), 0u);
  const auto assign = folder.Journal("PTRobot_SetRoboticDriveWithoutEnum");
  ASSERT_EQ(assign.size(), 1u);
  EXPECT_EQ(assign[0].Args(),
            (std::vector<std::string>{Robot(), Drive(0), "\"" + Serial(0) + "\"", "0", "0", "1"}));
  EXPECT_EQ(FlashRows(), std::vector<std::string>{"1"});  // row 0 is read as 1
  const auto set = folder.Journal("PTRobot_SetRoboticDrive");
  ASSERT_EQ(set.size(), 1u);
  EXPECT_EQ(set[0].Args(), (std::vector<std::string>{Robot(), Drive(0), "0", "0"}));
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(sim::DriveHandle(0, 0, 2)));
  EXPECT_EQ(folder.Records("CDraventImpl::SetRoboticDrive", "INFO"),
            std::vector<std::string>{"SetRoboticDrive hDrive:" + std::string(hex) +
                                     " tszSerial: " + Serial(0) + " dwColIndex: 0 dwRowIndex: 0"});
  EXPECT_TRUE(folder.Records("CDraventImpl::SetRoboticDrive", "ERROR").empty());
}

TEST_F(RoboticDrive, FlashRowsArePairedTheOtherWayRound) {
  // Drive j sits in row j; its serial is read from the paired row.
  UseDrives(4);
  const auto results = RunBound({{"28", Robot(), Drive(0), "s:" + Serial(0), "0", "0"},
                                 {"28", Robot(), Drive(1), "s:" + Serial(1), "0", "1"},
                                 {"28", Robot(), Drive(2), "s:" + Serial(2), "0", "2"},
                                 {"28", Robot(), Drive(3), "s:" + Serial(3), "0", "3"}});
  ASSERT_EQ(results.size(), 4u);
  for (const SlotResult& result : results) EXPECT_EQ(result.result, 0u);
  EXPECT_EQ(FlashRows(), (std::vector<std::string>{"1", "0", "3", "2"}));
  EXPECT_TRUE(folder.Records("CDraventImpl::SetRoboticDrive", "ERROR").empty());
}

TEST_F(RoboticDrive, ASerialThatShowsLateIsWaitedFor) {
  folder.SetEnv("QLX_SIM_SERIAL_READS", "12");  // reads 1 to 12 are empty
  EXPECT_EQ(Assign(0, Serial(0), "0", "0"), 0u);
  EXPECT_EQ(folder.Journal("PTRobot_SetRoboticDriveWithoutEnum").size(), 2u);
  EXPECT_EQ(FlashRows().size(), 13u);
  EXPECT_EQ(folder.Records("CDraventImpl::SetRoboticDrive", "ERROR"),
            std::vector<std::string>(12, "Serial is different: "));
}

TEST_F(RoboticDrive, NeverMatchingSpendsFortyReadsAndStillAssigns) {
  std::chrono::milliseconds took{};
  EXPECT_EQ(Assign(0, "NOT-THIS-ONE", "0", "0", &took), 0u);
  EXPECT_EQ(folder.Journal("PTRobot_SetRoboticDriveWithoutEnum").size(), 4u);
  EXPECT_EQ(FlashRows().size(), 40u);
  EXPECT_EQ(folder.Journal("PTRobot_SetRoboticDrive").size(), 1u);
  EXPECT_EQ(folder.Records("CDraventImpl::SetRoboticDrive", "ERROR"),
            std::vector<std::string>(40, "Serial is different: " + Serial(0)));
  EXPECT_GE(took.count(), 36 * 100);  // 36 waits of 100 ms
}

TEST_F(RoboticDrive, FailingReadsAreLoggedAndTheAssignmentsCodeReturned) {
  // Column 12 is no drive position: every read and the assignment fail.
  EXPECT_EQ(Assign(0, Serial(0), "12", "0"), sim::kErrInvalidPosition);
  EXPECT_EQ(folder.Records("CDraventImpl::SetRoboticDrive", "ERROR"),
            std::vector<std::string>(40, "PTRobot_GetDriveSerialFromFlash fail error: " +
                                             std::to_string(sim::kErrInvalidPosition)));
}

// ------------------------------------------------ MoveDiscBetweenDrives --

TEST_F(DirectPath, MoveDiscBetweenDrivesUsesMoveBDWhenPTBDIsThere) {
  folder.AddBin("PTBD.dll");
  folder.SetEnv("QLX_SIM_MOVEBD_RESULT", "77");
  const auto results = RunBound({{"31", kRobot, kDriveE, kDriveF}});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].result, 77u);
  const auto moves = folder.Journal("MoveBD");
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].args, "\"E:\"");  // 'e' made upper case
  EXPECT_TRUE(folder.Journal("PTRobot_UnLoadDrive").empty());
  EXPECT_TRUE(folder.Journal("PTRobot_LoadDrive").empty());
}

TEST_F(DirectPath, MoveDiscBetweenDrivesWithoutPTBDGoesThroughTheInputBin) {
  const auto results = RunBound({{"9", kRobot, kDriveE, "1", "0"},  // a disc into E:
                                 {"31", kRobot, kDriveE, kDriveF},
                                 {"31", kRobot, kDriveE, kDriveF}});
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].result, 0u);
  EXPECT_EQ(results[1].result, 0u);
  EXPECT_EQ(folder.Journal("PTRobot_UnLoadDrive")[0].Args(),
            (std::vector<std::string>{"1", "101", "1"}));
  const auto loads = folder.Journal("PTRobot_LoadDrive");
  ASSERT_EQ(loads.size(), 2u);
  EXPECT_EQ(loads[1].Args(), (std::vector<std::string>{"1", "70", "1", "0"}));
  // E: is empty now: the unload fails and nothing is loaded.
  EXPECT_EQ(results[2].result, sim::kErrNoDiscAtSource);
  EXPECT_EQ(folder.Journal("PTRobot_UnLoadDrive").size(), 2u);
  EXPECT_EQ(folder.Journal("PTRobot_LoadDrive").size(), 2u);
}

}  // namespace
