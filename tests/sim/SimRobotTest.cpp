// The simulated robots: handles, disc movements, flash serials, records,
// error strings, injected faults, concurrency and the exported names.
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <thread>

#include "SimTestSupport.h"
#include "agent/PTRobotApi.h"
#include "gtest/gtest.h"
#include "sim/robot/SimJournal.h"
#include "sim/robot/SimRobot.h"

extern "C" uint32_t MoveBD(const char16_t* DriveRoot);

namespace {

using namespace qlx::sim;
using simtest::RunChild;

constexpr int32_t kRobot = 1 << 16;  // RobotHandle(0)

std::vector<int32_t> Robots() {
  int32_t robots[10] = {};
  int32_t count = 10;
  EXPECT_EQ(PTRobot_EnumRobots(robots, &count), 0u);
  return std::vector<int32_t>(robots, robots + count);
}

std::vector<int32_t> Drives(int32_t robot) {
  int32_t drives[10] = {};
  int32_t count = 10;
  EXPECT_EQ(PTRobot_EnumDrives(robot, drives, &count), 0u);
  return std::vector<int32_t>(drives, drives + count);
}

TEST(SimHandles, DriveHandlesCarryTheirLetterAndFollowTheScheme) {
  const auto result = RunChild({{"QLX_SIM_ROBOTS", "3"}, {"QLX_SIM_DRIVES", "2"}}, "", [] {
    ASSERT_EQ(PTRobot_Initialize(), 0u);
    const auto robots = Robots();
    ASSERT_EQ(robots.size(), 3u);
    std::string letters;
    for (int r = 0; r < 3; ++r) {
      EXPECT_EQ(robots[r], RobotHandle(r));
      const auto drives = Drives(robots[r]);
      ASSERT_EQ(drives.size(), 2u);
      for (int d = 0; d < 2; ++d) {
        EXPECT_EQ(drives[d], DriveHandle(r, d, 2));
        letters += static_cast<char>(drives[d] & 0xff);
      }
    }
    EXPECT_EQ(letters, "DEFGHI");
  });
  EXPECT_EQ(result.exitCode, 0);
}

TEST(SimHandles, ListedHandlesAreUsedAsGiven) {
  const auto result = RunChild({{"QLX_SIM_ROBOTS", "1,2"}, {"QLX_SIM_DRIVES", "1:101,70"}}, "", [] {
    ASSERT_EQ(PTRobot_Initialize(), 0u);
    EXPECT_EQ(Robots(), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(Drives(1), (std::vector<int32_t>{101, 70}));
    EXPECT_TRUE(Drives(2).empty());
    DrvInfo info{};
    ASSERT_EQ(PTRobot_GetDriveInfo(101, &info), 0u);
    EXPECT_EQ(info.hDrive, 101);
    EXPECT_EQ(std::u16string(info.Serial), DriveSerial(0, 0, 'e'));
  });
  EXPECT_EQ(result.exitCode, 0);
}

TEST(SimHandles, EnumerationHonoursTheCapacity) {
  const auto result = RunChild({{"QLX_SIM_ROBOTS", "4"}}, "", [] {
    ASSERT_EQ(PTRobot_Initialize(), 0u);
    int32_t robots[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    int32_t count = 3;
    EXPECT_EQ(PTRobot_EnumRobots(robots, &count), kErrBufferTooSmall);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(robots[0], -1) << "nothing written past a too small capacity";
    EXPECT_EQ(PTRobot_EnumRobots(nullptr, &count), kErrInvalidArgument);
    int32_t drives[1];
    count = 1;
    EXPECT_EQ(PTRobot_EnumDrives(RobotHandle(0), drives, &count), kErrBufferTooSmall);
    EXPECT_EQ(count, 2);
    count = 10;
    EXPECT_EQ(PTRobot_EnumDrives(12345, robots, &count), kErrInvalidRobot);
  });
  EXPECT_EQ(result.exitCode, 0);
}

// One step of a disc movement scenario and the code it must give.
struct Step {
  const char* what;
  std::function<uint32_t()> call;
  uint32_t expected;
};

TEST(SimMovement, RulesOfTheRobot) {
  const auto result = RunChild(
      {{"QLX_SIM_ROBOTS", "2"}, {"QLX_SIM_INPUT_DISCS", "2"}, {"QLX_SIM_BIN_CAPACITY", "1"}}, "",
      [] {
        ASSERT_EQ(PTRobot_Initialize(), 0u);
        const int32_t r = RobotHandle(0), d = DriveHandle(0, 0, 2), e = DriveHandle(0, 1, 2);
        const int32_t other = DriveHandle(1, 0, 2);
        const Step steps[] = {
            {"unknown robot", [&] { return PTRobot_LoadDrive(77, d, kLocationInputBin, 0); },
             kErrInvalidRobot},
            {"drive of another robot",
             [&] { return PTRobot_LoadDrive(r, other, kLocationInputBin, 0); }, kErrInvalidDrive},
            {"unknown location", [&] { return PTRobot_LoadDrive(r, d, 9, 0); },
             kErrInvalidLocation},
            {"load from the printer", [&] { return PTRobot_LoadDrive(r, d, kLocationPrinter, 0); },
             kErrInvalidLocation},
            {"nothing in the output bin",
             [&] { return PTRobot_LoadDrive(r, d, kLocationOutputBin, 0); }, kErrNoDiscAtSource},
            {"unload an empty drive", [&] { return PTRobot_UnLoadDrive(r, d, kLocationOutputBin); },
             kErrNoDiscAtSource},
            {"load D", [&] { return PTRobot_LoadDrive(r, d, kLocationInputBin, 0); }, 0},
            {"D is occupied", [&] { return PTRobot_LoadDrive(r, d, kLocationInputBin, 0); },
             kErrTargetOccupied},
            {"print without a disc", [&] { return PTRobot_PrintFile(r, u"label.std", 1); },
             kErrPrinterEmpty},
            {"D to the printer", [&] { return PTRobot_LoadPrinterFromDrive(r, d); }, 0},
            {"printer occupied", [&] { return PTRobot_LoadPrinter(r, kLocationInputBin); },
             kErrTargetOccupied},
            {"print", [&] { return PTRobot_PrintFile(r, u"label.std", 1); }, 0},
            {"print a null file", [&] { return PTRobot_PrintFile(r, nullptr, 1); },
             kErrInvalidArgument},
            {"printer to output", [&] { return PTRobot_UnLoadPrinter(r, kLocationOutputBin); }, 0},
            {"output bin full", [&] { return PTRobot_LoadDrive(r, e, kLocationInputBin, 0); }, 0},
            {"", [&] { return PTRobot_UnLoadDrive(r, e, kLocationOutputBin); }, kErrBinFull},
            {"input bin now empty", [&] { return PTRobot_LoadPrinter(r, kLocationInputBin); },
             kErrNoDiscAtSource},
            {"back onto the input bin",
             [&] { return PTRobot_UnLoadDrive(r, e, kLocationInputBin); }, 0},
            {"the disc put back comes first",
             [&] { return PTRobot_LoadDrive(r, d, kLocationInputBin, 0); }, 0},
            {"D occupied", [&] { return PTRobot_LoadDrive(r, d, kLocationOutputBin, 0); },
             kErrTargetOccupied},
            {"clearing D sends its disc to the reject bin",
             [&] { return PTRobot_LoadDrive(r, d, kLocationOutputBin, 1); }, 0},
            {"reject bin full: no clearing",
             [&] { return PTRobot_LoadDrive(r, d, kLocationRejectBin, 1); }, kErrBinFull},
            {"move between the same location",
             [&] { return PTRobot_MoveDiscBetweenLocations(r, 2, 2); }, kErrInvalidLocation},
            {"move reject to printer", [&] { return PTRobot_MoveDiscBetweenLocations(r, 3, 4); },
             0},
        };
        for (const Step& step : steps) EXPECT_EQ(step.call(), step.expected) << step.what;
        RobotStatus status{};
        ASSERT_EQ(PTRobot_GetRobotStatus(r, &status), 0u);
        EXPECT_EQ(status.InputBinCount, 0);
        EXPECT_EQ(status.OutputBinCount, 0);
        EXPECT_EQ(status.DiscInPrinter, 1);
      });
  EXPECT_EQ(result.exitCode, 0);
}

TEST(SimMovement, NothingButTheBasicsBeforeInitialize) {
  const auto result = RunChild({{"QLX_SIM_INIT_RESULT", "7"}}, "", [] {
    char16_t text[64];
    EXPECT_EQ(PTRobot_GetErrorString(0, kErrNoDiscAtSource, text, 64, 0), 0u);
    EXPECT_EQ(PTRobot_SetApplicationID(0), 0u);
    EXPECT_EQ(PTRobot_LoadDrive(kRobot, DriveHandle(0, 0, 2), 1, 0), kErrNotInitialized);
    EXPECT_EQ(PTRobot_Initialize(), 7u);
    int32_t robots[10];
    int32_t count = 10;
    EXPECT_EQ(PTRobot_EnumRobots(robots, &count), kErrNotInitialized);
  });
  EXPECT_EQ(result.exitCode, 0);
}

TEST(SimFlash, SerialAppearsAfterTheConfiguredReadsAtTheSwappedRow) {
  const auto result = RunChild({{"QLX_SIM_SERIAL_READS", "2"}, {"QLX_SIM_DRIVES", "3"}}, "", [] {
    ASSERT_EQ(PTRobot_Initialize(), 0u);
    DrvInfo info{};
    ASSERT_EQ(PTRobot_GetDriveInfo(DriveHandle(0, 2, 3), &info), 0u);
    ASSERT_EQ(info.Row, 2);
    char16_t serial[kSerialCapacity];
    for (int read = 1; read <= 3; ++read) {
      std::fill(std::begin(serial), std::end(serial), u'#');
      ASSERT_EQ(PTRobot_GetDriveSerialFromFlash(kRobot, 0, 3, serial), 0u);
      EXPECT_EQ(std::u16string(serial), read <= 2 ? u"" : std::u16string(info.Serial))
          << "read " << read;
    }
    // Each position counts its own reads; row 0's drive answers at row 1.
    ASSERT_EQ(PTRobot_GetDriveSerialFromFlash(kRobot, 0, 1, serial), 0u);
    EXPECT_EQ(std::u16string(serial), u"");
    ASSERT_EQ(PTRobot_GetDriveSerialFromFlash(kRobot, 0, 1, serial), 0u);
    ASSERT_EQ(PTRobot_GetDriveSerialFromFlash(kRobot, 0, 1, serial), 0u);
    EXPECT_EQ(std::u16string(serial), DriveSerial(0, 0, 'D'));
    // No drive there: empty for ever.
    for (int read = 0; read < 4; ++read) {
      ASSERT_EQ(PTRobot_GetDriveSerialFromFlash(kRobot, 0, 5, serial), 0u);
      EXPECT_EQ(std::u16string(serial), u"");
    }
    EXPECT_EQ(PTRobot_GetDriveSerialFromFlash(kRobot, 10, 0, serial), kErrInvalidPosition);
    EXPECT_EQ(PTRobot_GetDriveSerialFromFlash(kRobot, 0, -1, serial), kErrInvalidPosition);
    EXPECT_EQ(PTRobot_GetDriveSerialFromFlash(kRobot, 0, 1, nullptr), kErrInvalidArgument);
  });
  EXPECT_EQ(result.exitCode, 0);
}

TEST(SimFlash, AssignmentIsRecordedInTheDriveInfoButNotInTheFlash) {
  const auto result = RunChild({}, "", [] {
    ASSERT_EQ(PTRobot_Initialize(), 0u);
    const int32_t drive = DriveHandle(0, 1, 2);
    EXPECT_EQ(PTRobot_SetRoboticDriveWithoutEnum(kRobot, drive, u"X", 0, 1, 1), 0u);
    EXPECT_EQ(PTRobot_SetRoboticDrive(kRobot, drive, 1, 3), 0u);
    EXPECT_EQ(PTRobot_SetRoboticDrive(kRobot, drive, 0, 10), kErrInvalidPosition);
    EXPECT_EQ(PTRobot_SetRoboticDrive(kRobot, 0x45, 0, 1), kErrInvalidDrive);
    EXPECT_EQ(PTRobot_SetRoboticDriveWithoutEnum(kRobot, drive, nullptr, 0, 1, 1),
              kErrInvalidArgument);
    DrvInfo info{};
    ASSERT_EQ(PTRobot_GetDriveInfo(drive, &info), 0u);
    EXPECT_EQ(info.Column, 1);
    EXPECT_EQ(info.Row, 3);
    // The flash still finds the drive where it sits: row 1, read as row 0.
    char16_t serial[kSerialCapacity];
    ASSERT_EQ(PTRobot_GetDriveSerialFromFlash(kRobot, 0, 0, serial), 0u);
    EXPECT_EQ(std::u16string(serial), std::u16string(info.Serial));
    ASSERT_EQ(PTRobot_GetDriveSerialFromFlash(kRobot, 1, 2, serial), 0u);
    EXPECT_EQ(std::u16string(serial), u"");
  });
  EXPECT_EQ(result.exitCode, 0);
}

// Every Get function fills its whole record: no byte of the 0xcd fill survives.
template <typename Record>
void ExpectFilled(const char* what, uint32_t (*get)(int32_t, Record*), int32_t handle) {
  Record record;
  std::memset(&record, 0xcd, sizeof record);
  ASSERT_EQ(get(handle, &record), 0u) << what;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  for (size_t i = 0; i < sizeof record; ++i) {
    EXPECT_NE(bytes[i], 0xcd) << what << " byte " << i;
    if (bytes[i] == 0xcd) break;
  }
  Record untouched;
  std::memset(&untouched, 0xab, sizeof untouched);
  EXPECT_NE(get(0x7777, &untouched), 0u) << what;
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(&untouched)[0], 0xab) << what;
  EXPECT_EQ(get(handle, nullptr), kErrInvalidArgument) << what;
}

TEST(SimRecords, GetFunctionsFillWholeRecords) {
  const auto result = RunChild({}, "", [] {
    ASSERT_EQ(PTRobot_Initialize(), 0u);
    const int32_t drive = DriveHandle(0, 0, 2);
    ExpectFilled("DrvInfo", PTRobot_GetDriveInfo, drive);
    ExpectFilled("DrvInfo2", PTRobot_GetDriveInfo2, drive);
    ExpectFilled("RobotInfo", PTRobot_GetRobotInfo, kRobot);
    ExpectFilled("RobotInfo2", PTRobot_GetRobotInfo2, kRobot);
    ExpectFilled("RobotStatus", PTRobot_GetRobotStatus, kRobot);
    ExpectFilled("RobotStatus2", PTRobot_GetRobotStatus2, kRobot);
    ExpectFilled("ManufactureInfo", PTRobot_GetManufactureInfo, kRobot);
    ExpectFilled("PrinterSettings", PTRobot_GetPrinterSettings, kRobot);
    ExpectFilled("PrinterSettings2", PTRobot_GetPrinterSettings2, kRobot);
    ExpectFilled("DiscInfo", PTRobot_GetMediaInfo, kRobot);

    RobotInfo info{};
    ASSERT_EQ(PTRobot_GetRobotInfo(kRobot, &info), 0u);
    EXPECT_EQ(info.NumDrives, 2);
    EXPECT_EQ(info.Drives[0], drive);
    EXPECT_EQ(info.Drives[2], 0);
    // Settings and options come back as they were set.
    const PrinterSettings settings{3, 5, 1};
    EXPECT_EQ(PTRobot_SetPrinterSettings(kRobot, &settings), 0u);
    const PrinterSettings bad{9, 1, 0};
    EXPECT_EQ(PTRobot_SetPrinterSettings(kRobot, &bad), kErrInvalidArgument);
    PrinterSettings read{};
    ASSERT_EQ(PTRobot_GetPrinterSettings(kRobot, &read), 0u);
    EXPECT_EQ(std::memcmp(&read, &settings, sizeof read), 0);
    int32_t options = 0;
    EXPECT_EQ(PTRobot_SetRobotOptions(kRobot, 0x30), 0u);
    ASSERT_EQ(PTRobot_GetRobotOptions(kRobot, &options), 0u);
    EXPECT_EQ(options, 0x30);
  });
  EXPECT_EQ(result.exitCode, 0);
}

TEST(SimErrorStrings, EveryCodeHasATextCutToMaxLength) {
  const auto result = RunChild({}, "", [] {
    for (uint32_t code : {kErrInvalidRobot, kErrInvalidDrive, kErrInvalidLocation,
                          kErrInvalidArgument, kErrInvalidPosition, kErrBufferTooSmall,
                          kErrNoDiscAtSource, kErrTargetOccupied, kErrBinFull, kErrPrinterEmpty,
                          kErrEnumFailed, kErrNotInitialized, kErrFileNotFound, kErrInternal}) {
      char16_t text[256];
      ASSERT_EQ(PTRobot_GetErrorString(0, static_cast<int32_t>(code), text, 256, 0), 0u);
      EXPECT_EQ(std::u16string(text).find(u"Unknown"), std::u16string::npos) << code;
    }
    char16_t small[8];
    std::fill(std::begin(small), std::end(small), u'#');
    ASSERT_EQ(PTRobot_GetErrorString(0, kErrNoDiscAtSource, small, 5, 0), 0u);
    EXPECT_EQ(std::u16string(small), u"No d");
    EXPECT_EQ(small[5], u'#') << "written past MaxLength";
    EXPECT_EQ(PTRobot_GetErrorString(0, 1, small, 0, 0), kErrInvalidArgument);
    EXPECT_EQ(PTRobot_GetErrorString(0, 1, nullptr, 8, 0), kErrInvalidArgument);
  });
  EXPECT_EQ(result.exitCode, 0);
}

TEST(SimFaults, FirstEnumerationsFail) {
  const auto result = RunChild({{"QLX_SIM_ENUM_ROBOTS_FAILURES", "2"}}, "", [] {
    ASSERT_EQ(PTRobot_Initialize(), 0u);
    int32_t robots[10];
    int32_t count = 10;
    EXPECT_EQ(PTRobot_EnumRobots(robots, &count), kErrEnumFailed);
    EXPECT_EQ(count, 0);
    count = 10;
    EXPECT_EQ(PTRobot_EnumRobots(robots, &count), kErrEnumFailed);
    count = 10;
    EXPECT_EQ(PTRobot_EnumRobots(robots, &count), 0u);
    EXPECT_EQ(count, 1);
  });
  EXPECT_EQ(result.exitCode, 0);
}

TEST(SimFaults, ExitFunctionEndsTheProcessAfterItsJournalLine) {
  simtest::TempJournal journal;
  const auto result =
      RunChild({{"QLX_SIM_EXIT_FUNCTION", "PTRobot_UnLoadPrinter"}}, journal.Path(), [] {
        PTRobot_Initialize();
        PTRobot_UnLoadPrinter(kRobot, 2);
        ADD_FAILURE() << "still running";
      });
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 99);
  EXPECT_EQ(CallTexts(journal.Path()),
            (std::vector<std::string>{"PTRobot_Initialize()", "PTRobot_UnLoadPrinter(65536, 2)"}));
}

TEST(SimFaults, HangFunctionNeverReturnsButIsJournaled) {
  simtest::TempJournal journal;
  const auto result = RunChild(
      {{"QLX_SIM_HANG_FUNCTION", "PTRobot_SystemAction"}}, journal.Path(),
      [] { PTRobot_SystemAction(kRobot, 1); }, 500);
  EXPECT_TRUE(result.stillRunning);
  EXPECT_EQ(CallTexts(journal.Path()), std::vector<std::string>{"PTRobot_SystemAction(65536, 1)"});
}

TEST(SimFaults, FailFunctionReturnsItsResultAndDoesNothing) {
  const auto result = RunChild(
      {{"QLX_SIM_FAIL_FUNCTION", "PTRobot_UnLoadDrive,MoveBD"}, {"QLX_SIM_FAIL_RESULT", "4711"}},
      "", [] {
        ASSERT_EQ(PTRobot_Initialize(), 0u);
        const int32_t drive = DriveHandle(0, 0, 2);
        ASSERT_EQ(PTRobot_LoadDrive(kRobot, drive, kLocationInputBin, 0), 0u);
        EXPECT_EQ(PTRobot_UnLoadDrive(kRobot, drive, kLocationOutputBin), 4711u);
        EXPECT_EQ(PTRobot_LoadDrive(kRobot, drive, kLocationInputBin, 0), kErrTargetOccupied);
        EXPECT_EQ(MoveBD(u"D:"), 4711u);
      });
  EXPECT_EQ(result.exitCode, 0);
}

// Threads move discs round between the input bin, the drives, the printer
// and the output bin; no disc may be lost or doubled, and every call leaves
// exactly one whole journal line.
TEST(SimConcurrency, ConcurrentMovesKeepEveryDiscAndEveryJournalLine) {
  simtest::TempJournal journal;
  constexpr int kThreads = 8;
  constexpr int kRounds = 150;
  std::atomic<int> calls{0};
  const auto result = RunChild(
      {{"QLX_SIM_DRIVES", "4"}, {"QLX_SIM_INPUT_DISCS", "6"}, {"QLX_SIM_BIN_CAPACITY", "10"}},
      journal.Path(), [&] {
        ASSERT_EQ(PTRobot_Initialize(), 0u);
        std::vector<std::thread> threads;
        std::atomic<int> made{1};
        for (int t = 0; t < kThreads; ++t) {
          threads.emplace_back([t, &made] {
            const int32_t drive = DriveHandle(0, t % 4, 4);
            for (int i = 0; i < kRounds; ++i) {
              PTRobot_LoadDrive(kRobot, drive, kLocationInputBin, 0);
              PTRobot_LoadPrinterFromDrive(kRobot, drive);
              PTRobot_PrintFile(kRobot, u"a \"quoted\", label", i);
              PTRobot_UnLoadPrinter(kRobot, kLocationOutputBin);
              PTRobot_MoveDiscBetweenLocations(kRobot, kLocationOutputBin, kLocationInputBin);
              PTRobot_UnLoadDrive(kRobot, drive, kLocationInputBin);
              made += 6;
            }
          });
        }
        for (auto& thread : threads) thread.join();
        RobotStatus2 status{};
        ASSERT_EQ(PTRobot_GetRobotStatus2(kRobot, &status), 0u);
        int discs = status.BinsA[0] + status.BinsA[1] + status.BinsA[2];
        discs += status.Flags[0] == 'P' ? 1 : 0;
        for (int d = 0; d < 4; ++d) {
          DrvInfo2 info{};
          ASSERT_EQ(PTRobot_GetDriveInfo2(DriveHandle(0, d, 4), &info), 0u);
          discs += std::u16string(info.Extra) == u"Disc loaded" ? 1 : 0;
        }
        EXPECT_EQ(discs, 6);
        // Calls: Initialize, the rounds, then the status and drive reads.
        const auto lines = ReadJournal(journal.Path());
        EXPECT_EQ(static_cast<int>(lines.size()), made.load() + 5);
      });
  EXPECT_EQ(result.exitCode, 0);
  for (const JournalCall& call : ReadJournal(journal.Path())) {
    if (call.function == "PTRobot_PrintFile") {
      ASSERT_EQ(call.Args().size(), 3u) << call.Text();
      EXPECT_EQ(call.Args()[1], "\"a \"quoted\", label\"");
    }
    ++calls;
  }
  EXPECT_EQ(calls.load(), 1 + kThreads * kRounds * 6 + 5);
}

TEST(SimExports, ExactlyTheVendorNames) {
  const std::string path = std::string(QLX_BIN_DIR) + "/PTRobot.dll";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  std::set<std::string> expected;
#define SIM_EXPECT_EXPORT(Name, Params, Args)                    \
  EXPECT_NE(dlsym(library, #Name), nullptr) << #Name " missing"; \
  expected.insert(#Name);
  PTROBOT_FUNCTIONS(SIM_EXPECT_EXPORT)
#undef SIM_EXPECT_EXPORT
  dlclose(library);
  // The dynamic symbol table holds nothing else.
  std::unique_ptr<FILE, int (*)(FILE*)> nm(
      popen(("nm -D --defined-only '" + path + "' 2>/dev/null").c_str(), "r"), pclose);
  ASSERT_NE(nm, nullptr);
  std::set<std::string> exported;
  char line[512];
  while (std::fgets(line, sizeof line, nm.get())) {
    std::string text(line);
    text = text.substr(text.find_last_of(' ') + 1);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    exported.insert(text);
  }
  if (exported.empty()) GTEST_SKIP() << "nm is not available";
  EXPECT_EQ(exported, expected);
}

TEST(SimPtbd, MoveBDAcceptsRootsOfKnownDrives) {
  simtest::TempJournal journal;
  const auto result = RunChild({{"QLX_SIM_MOVEBD_RESULT", "0"}}, journal.Path(), [] {
    EXPECT_EQ(MoveBD(u"D:"), 0u);
    EXPECT_EQ(MoveBD(u"e:"), 0u);
    EXPECT_EQ(MoveBD(u"F:"), kErrInvalidDrive);
    EXPECT_EQ(MoveBD(u"D:\\"), kErrInvalidDrive);
    EXPECT_EQ(MoveBD(u""), kErrInvalidDrive);
    EXPECT_EQ(MoveBD(nullptr), kErrInvalidArgument);
  });
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(CallTexts(journal.Path()),
            (std::vector<std::string>{"MoveBD(\"D:\")", "MoveBD(\"e:\")", "MoveBD(\"F:\")",
                                      "MoveBD(\"D:\\\")", "MoveBD(\"\")", "MoveBD(null)"}));
  const auto configured = RunChild(
      {{"QLX_SIM_MOVEBD_RESULT", "17"}, {"QLX_SIM_ROBOTS", "5,6"}, {"QLX_SIM_DRIVES", "5:0x58"}},
      "", [] {
        EXPECT_EQ(MoveBD(u"X:"), 17u);
        EXPECT_EQ(MoveBD(u"D:"), kErrInvalidDrive);
      });
  EXPECT_EQ(configured.exitCode, 0);
}

}  // namespace
