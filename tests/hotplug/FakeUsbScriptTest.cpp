#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "sim/fakeusb/FakeUsbScript.h"

using fakeusb::ParseScript;
using fakeusb::Script;

TEST(FakeUsbScript, ReadsDevicesAndEventsSortedByTime) {
  Script script;
  std::string error;
  ASSERT_TRUE(
      ParseScript("# demo\r\nhotplug off\ndevice 04b4 0x8613 5\n\n"
                  "at 3000 detach 7   # gone again\nat 1500 attach 04B4 8613 7\n",
                  script, error))
      << error;
  EXPECT_FALSE(script.hotplug);
  ASSERT_EQ(script.initialDevices.size(), 1u);
  EXPECT_EQ(script.initialDevices[0].vendorId, 0x04b4);
  EXPECT_EQ(script.initialDevices[0].productId, 0x8613);
  EXPECT_EQ(script.initialDevices[0].address, 5);
  ASSERT_EQ(script.events.size(), 2u);
  EXPECT_EQ(script.events[0].atMilliseconds, 1500);
  EXPECT_TRUE(script.events[0].attach);
  EXPECT_EQ(script.events[0].device.address, 7);
  EXPECT_EQ(script.events[1].atMilliseconds, 3000);
  EXPECT_FALSE(script.events[1].attach);
}

TEST(FakeUsbScript, RejectsMalformedLinesNamingThem) {
  const char* const bad[] = {"hotplug maybe",       "device 04b4 8613",     "device 04b4 8613 256",
                             "device 1ffff 8613 1", "at -5 attach 1 2 3",   "at 10 detach",
                             "at 10 remove 3",      "device 04b4 8613 1 2", "plug 1 2 3"};
  for (const char* line : bad) {
    Script script;
    std::string error;
    EXPECT_FALSE(ParseScript(std::string("hotplug on\n") + line + "\n", script, error)) << line;
    EXPECT_NE(error.find("line 2"), std::string::npos) << line << ": " << error;
  }
}

TEST(FakeUsbScript, ShippedExampleIsValid) {
  std::ifstream file(FAKEUSB_EXAMPLE_SCRIPT);
  std::stringstream text;
  text << file.rdbuf();
  Script script;
  std::string error;
  ASSERT_TRUE(file && ParseScript(text.str(), script, error)) << error;
  EXPECT_EQ(script.events.size(), 2u);
}
