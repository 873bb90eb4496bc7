// A real agent per fixture: what reaches the vendor library (the
// simulator's journal) and what the agent writes into its log.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "AgentHarness.h"
#include "agent/AgentRpc.h"

using agent_test::AgentHarness;
using qlx::platform::RpcBinding;
using qlx::platform::RpcException;

namespace {

struct ForwardCase {
  int procedure;
  std::function<void(RpcBinding)> call;
  std::string journal;  // the vendor call as the simulator records it
};

std::vector<ForwardCase> ForwardCases() {
  static int32_t handles[10];
  static int32_t count;
  static int32_t value;
  static DrvInfo drvInfo;
  static DrvInfo2 drvInfo2;
  static RobotInfo robotInfo;
  static RobotInfo2 robotInfo2;
  static RobotStatus robotStatus;
  static RobotStatus2 robotStatus2;
  static ManufactureInfo manufactureInfo;
  static PrinterSettings printerSettings;
  static PrinterSettings2 printerSettings2;
  static DiscInfo discInfo;
  static char16_t text[256];
  return {
      {3, [](RpcBinding b) { RPC_PTRobot_SetupDebugging(b, u"d.dbg", 3, u"t.dbg"); },
       "PTRobot_SetupDebugging(\"d.dbg\", 3, \"t.dbg\")"},
      {4,
       [](RpcBinding b) {
         count = 10;
         RPC_PTRobot_EnumRobots(b, handles, &count);
       },
       "PTRobot_EnumRobots(out, out)"},
      {5,
       [](RpcBinding b) {
         count = 10;
         RPC_PTRobot_EnumDrives(b, 26, handles, &count);
       },
       "PTRobot_EnumDrives(26, out, out)"},
      {6, [](RpcBinding b) { RPC_PTRobot_SetRoboticDrive(b, 26, 69, 0, 1); },
       "PTRobot_SetRoboticDrive(26, 69, 0, 1)"},
      {7, [](RpcBinding b) { RPC_PTRobot_SetRobotOptions(b, 26, 5); },
       "PTRobot_SetRobotOptions(26, 5)"},
      {8, [](RpcBinding b) { RPC_PTRobot_GetRobotOptions(b, 26, &value); },
       "PTRobot_GetRobotOptions(26, out)"},
      {9, [](RpcBinding b) { RPC_PTRobot_GetDriveInfo(b, 69, &drvInfo); },
       "PTRobot_GetDriveInfo(69, out)"},
      {10, [](RpcBinding b) { RPC_PTRobot_GetDriveInfo2(b, 69, &drvInfo2); },
       "PTRobot_GetDriveInfo2(69, out)"},
      {11, [](RpcBinding b) { RPC_PTRobot_GetRobotInfo(b, 26, &robotInfo); },
       "PTRobot_GetRobotInfo(26, out)"},
      {12, [](RpcBinding b) { RPC_PTRobot_GetRobotInfo2(b, 26, &robotInfo2); },
       "PTRobot_GetRobotInfo2(26, out)"},
      {13, [](RpcBinding b) { RPC_PTRobot_GetRobotStatus(b, 26, &robotStatus); },
       "PTRobot_GetRobotStatus(26, out)"},
      {14, [](RpcBinding b) { RPC_PTRobot_GetRobotStatus2(b, 26, &robotStatus2); },
       "PTRobot_GetRobotStatus2(26, out)"},
      {15, [](RpcBinding b) { RPC_PTRobot_GetManufactureInfo(b, 26, &manufactureInfo); },
       "PTRobot_GetManufactureInfo(26, out)"},
      {16, [](RpcBinding b) { RPC_PTRobot_LoadDrive(b, 26, 69, 100, 1); },
       "PTRobot_LoadDrive(26, 69, 100, 1)"},
      {17, [](RpcBinding b) { RPC_PTRobot_LoadPrinter(b, 26, 100); },
       "PTRobot_LoadPrinter(26, 100)"},
      {18, [](RpcBinding b) { RPC_PTRobot_LoadPrinterFromDrive(b, 26, 69); },
       "PTRobot_LoadPrinterFromDrive(26, 69)"},
      {19, [](RpcBinding b) { RPC_PTRobot_UnLoadDrive(b, 26, 69, 200); },
       "PTRobot_UnLoadDrive(26, 69, 200)"},
      {20, [](RpcBinding b) { RPC_PTRobot_UnLoadPrinter(b, 26, -1); },
       "PTRobot_UnLoadPrinter(26, -1)"},
      {21, [](RpcBinding b) { RPC_PTRobot_MoveDiscBetweenLocations(b, 26, 100, 200); },
       "PTRobot_MoveDiscBetweenLocations(26, 100, 200)"},
      {22, [](RpcBinding b) { RPC_PTRobot_SetPrintCopies(b, 26, 3); },
       "PTRobot_SetPrintCopies(26, 3)"},
      {23, [](RpcBinding b) { RPC_PTRobot_PrintFile(b, 26, u"\u6807\u7b7e.prn", 2); },
       "PTRobot_PrintFile(26, \"\xe6\xa0\x87\xe7\xad\xbe.prn\", 2)"},
      {24, [](RpcBinding b) { RPC_PTRobot_PrintFileWithMerge2(b, 26, u"a.std", 1); },
       "PTRobot_PrintFileWithMerge2(26, \"a.std\", 1)"},
      {25, [](RpcBinding b) { RPC_PTRobot_PrintFileWithMergeFile(b, 26, u"a.std", u"m.txt"); },
       "PTRobot_PrintFileWithMergeFile(26, \"a.std\", \"m.txt\")"},
      {26, [](RpcBinding b) { RPC_PTRobot_AddMergeFields(b, 26, u"Name"); },
       "PTRobot_AddMergeFields(26, \"Name\")"},
      {27, [](RpcBinding b) { RPC_PTRobot_ClearMergeList(b, 26); }, "PTRobot_ClearMergeList(26)"},
      {28, [](RpcBinding b) { RPC_PTRobot_GetSureThingPreview(b, u"a.std", u"p.bmp", 300); },
       "PTRobot_GetSureThingPreview(\"a.std\", \"p.bmp\", 300)"},
      {29,
       [](RpcBinding b) {
         printerSettings = {1, 2, 3};
         RPC_PTRobot_SetPrinterSettings(b, 26, &printerSettings);
       },
       "PTRobot_SetPrinterSettings(26, {1, 2, 3})"},
      {30, [](RpcBinding b) { RPC_PTRobot_GetPrinterSettings(b, 26, &printerSettings); },
       "PTRobot_GetPrinterSettings(26, out)"},
      {31,
       [](RpcBinding b) {
         for (int i = 0; i < 10; ++i) printerSettings2.Fields[i] = i;
         for (int i = 0; i < 9; ++i) printerSettings2.Values[i] = 10 + i;
         RPC_PTRobot_SetPrinterSettings2(b, 26, &printerSettings2);
       },
       "PTRobot_SetPrinterSettings2(26, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, "
       "16, 17, 18})"},
      {32, [](RpcBinding b) { RPC_PTRobot_GetPrinterSettings2(b, 26, &printerSettings2); },
       "PTRobot_GetPrinterSettings2(26, out)"},
      {33, [](RpcBinding b) { RPC_PTRobot_KillSystemError(b, 26, 1); },
       "PTRobot_KillSystemError(26, 1)"},
      {34, [](RpcBinding b) { RPC_PTRobot_SystemAction(b, 26, 7); }, "PTRobot_SystemAction(26, 7)"},
      {35, [](RpcBinding b) { RPC_PTRobot_OpenCloseDrive(b, 69, 1); },
       "PTRobot_OpenCloseDrive(69, 1)"},
      {36, [](RpcBinding b) { RPC_PTRobot_GetErrorString(b, 26, 1002, text, 256, 0); },
       "PTRobot_GetErrorString(26, 1002, out, 256, 0)"},
      {37, [](RpcBinding b) { RPC_PTRobot_GetMediaInfo(b, 26, &discInfo); },
       "PTRobot_GetMediaInfo(26, out)"},
      {38, [](RpcBinding b) { RPC_PTRobot_SetApplicationID(b, 26); },
       "PTRobot_SetApplicationID(26)"},
      {39, [](RpcBinding b) { RPC_PTRobot_SetRoboticDriveWithoutEnum(b, 26, 69, u"SN1", 0, 1, 1); },
       "PTRobot_SetRoboticDriveWithoutEnum(26, 69, \"SN1\", 0, 1, 1)"},
      {40, [](RpcBinding b) { RPC_PTRobot_GetDriveSerialFromFlash(b, 26, 0, 1, text); },
       "PTRobot_GetDriveSerialFromFlash(26, 0, 1, out)"},
      // Last: the library is shut down after it (and EnumRobots would retry).
      {2, [](RpcBinding b) { RPC_PTRobot_Destroy(b); }, "PTRobot_Destroy()"},
  };
}

class AgentCalls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    agent = new AgentHarness(agent_test::Settings{{"QLX_SIM_ROBOTS", "1"}});
  }
  static void TearDownTestSuite() {
    delete agent;
    agent = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(agent->Ready()); }
  static AgentHarness* agent;
};
AgentHarness* AgentCalls::agent = nullptr;

TEST_F(AgentCalls, EveryProcedureReachesTheVendorWithTheSameArguments) {
  RpcBinding binding = agent->Bind();
  for (const auto& forward : ForwardCases()) {
    SCOPED_TRACE("procedure " + std::to_string(forward.procedure));
    size_t before = agent->Journal().size();
    forward.call(binding);
    std::vector<std::string> journal = agent->Journal();
    ASSERT_EQ(journal.size(), before + 1);
    EXPECT_EQ(journal.back(), forward.journal);
  }
}

TEST_F(AgentCalls, InitializeSetsUpDebuggingInTheProgramFolder) {
  RPC_PTRobot_Initialize(agent->Bind());
  std::vector<std::string> journal = agent->Journal();
  ASSERT_GE(journal.size(), 3u);
  std::string folder = agent->Folder();
  EXPECT_EQ(journal[journal.size() - 3], "PTRobot_Initialize()");
  EXPECT_EQ(journal[journal.size() - 2], "PTRobot_SetupDebugging(\"" + folder +
                                             "/PTRobotDbg.dbg\", 4, \"" + folder +
                                             "/PTRobotTrace.dbg\")");
  EXPECT_EQ(journal.back(), "PTRobot_SetApplicationID(0)");
  EXPECT_EQ(agent->LastRecordOf("RPC_PTRobot_Initialize"), "");
}

TEST_F(AgentCalls, RecordsWordForWord) {
  RpcBinding binding = agent->Bind();
  char16_t text[256];
  RPC_PTRobot_SetRoboticDrive(binding, 26, 69, 0, 1);
  EXPECT_EQ(agent->LastRecordOf("RPC_PTRobot_SetRoboticDrive"),
            "Robot:1a Drive:45 ColIndex:0 RowIndex:1");
  RPC_PTRobot_GetErrorString(binding, 26, 1002, text, 256, 0);
  EXPECT_EQ(agent->LastRecordOf("RPC_PTRobot_GetErrorString"),
            "Robot:1a ErrorNum:3ea ErrorString: MaxLength:100 Languag:0");
  RPC_PTRobot_SetApplicationID(binding, 26);
  EXPECT_EQ(agent->LastRecordOf("RPC_PTRobot_SetApplicationID"), "AppID:26");
  RPC_PTRobot_GetSureThingPreview(binding, u"a.std", nullptr, -1);
  EXPECT_EQ(agent->LastRecordOf("RPC_PTRobot_GetSureThingPreview"),
            "SureThingFile:a.std OutputFile:(null) Resolution:4294967295");
  RPC_PTRobot_SetRoboticDriveWithoutEnum(binding, 26, 69, u"SN1", 2, 3, 1);
  EXPECT_EQ(agent->LastRecordOf("RPC_PTRobot_SetRoboticDriveWithoutEnum"),
            "Robot:1a Drive:45 Serial:SN1 ColIndex:2 RowIndex:3");
}

TEST_F(AgentCalls, PointersAreWrittenAsUpperCaseHexOfThePointerWidth) {
  RobotInfo info;
  RPC_PTRobot_GetRobotInfo(agent->Bind(), 26, &info);
  std::string record = agent->LastRecordOf("RPC_PTRobot_GetRobotInfo");
  const std::string label = "Robot:1a RobotInfo:";
  ASSERT_EQ(record.rfind(label, 0), 0u) << record;
  std::string pointer = record.substr(label.size());
  EXPECT_EQ(pointer.size(), sizeof(void*) * 2) << record;
  EXPECT_EQ(pointer.find_first_not_of("0123456789ABCDEF"), std::string::npos) << record;
}

TEST_F(AgentCalls, NullTextReachesTheVendorAsNullAndIsLoggedAsNull) {
  RPC_PTRobot_PrintFile(agent->Bind(), 26, nullptr, 2);
  EXPECT_EQ(agent->Journal().back(), "PTRobot_PrintFile(26, null, 2)");
  EXPECT_EQ(agent->LastRecordOf("RPC_PTRobot_PrintFile"), "Robot:1a File:(null) PrintIndex:2");
}

TEST_F(AgentCalls, CountsAboveTenFailInTheRunTimeBeforeTheHandler) {
  RpcBinding binding = agent->Bind();
  int32_t drives[11] = {};
  int32_t count = 10;
  EXPECT_NO_THROW(RPC_PTRobot_EnumDrives(binding, 26, drives, &count));
  for (int32_t bad : {11, -1}) {
    size_t before = agent->Journal().size();
    count = bad;
    try {
      RPC_PTRobot_EnumDrives(binding, 26, drives, &count);
      ADD_FAILURE() << "count " << bad << " was accepted";
    } catch (const RpcException& e) {
      EXPECT_EQ(e.Status(), qlx::platform::kRpcInvalidBound);
    }
    EXPECT_EQ(agent->Journal().size(), before);
  }
}

TEST_F(AgentCalls, NullOutPointersFailInTheClient) {
  RpcBinding binding = agent->Bind();
  int32_t count = 1;
  size_t before = agent->Journal().size();
  EXPECT_THROW(RPC_PTRobot_GetRobotInfo(binding, 26, nullptr), RpcException);
  EXPECT_THROW(RPC_PTRobot_EnumRobots(binding, nullptr, &count), RpcException);
  EXPECT_THROW(RPC_PTRobot_SetPrinterSettings(binding, 26, nullptr), RpcException);
  EXPECT_EQ(agent->Journal().size(), before);
}

TEST_F(AgentCalls, OutTextsComeBackTerminatedWithinTheirBuffers) {
  RpcBinding binding = agent->Bind();
  // A short buffer: the text is cut, terminated within it, nothing beyond.
  char16_t small[8];
  std::fill(std::begin(small), std::end(small), u'#');
  RPC_PTRobot_GetErrorString(binding, 26, 1002, small, 4, 0);
  EXPECT_NE(std::find(small, small + 4, u'\0'), small + 4);
  EXPECT_EQ(small[4], u'#');
  // The serial: only the text and its terminator travel back.
  char16_t serial[100];
  std::fill(std::begin(serial), std::end(serial), u'#');
  RPC_PTRobot_GetDriveSerialFromFlash(binding, 26, 0, 0, serial);
  size_t length = std::char_traits<char16_t>::length(serial);
  ASSERT_LT(length, 100u);
  if (length + 1 < 100) {
    EXPECT_EQ(serial[length + 1], u'#');
  }
  // Capacities outside 1..32768 are refused before the handler.
  size_t before = agent->Journal().size();
  EXPECT_THROW(RPC_PTRobot_GetErrorString(binding, 26, 1, small, 0, 0), RpcException);
  EXPECT_THROW(RPC_PTRobot_GetErrorString(binding, 26, 1, small, 1 << 20, 0), RpcException);
  EXPECT_EQ(agent->Journal().size(), before);
}

}  // namespace
