// Velnor.dll exports the vendor's 43 names and its two own, and nothing else.
#include <cstdio>
#include <set>
#include <string>

#include "VelnorLoader.h"
#include "gtest/gtest.h"

namespace qlx::proxytest {
namespace {

const std::string kVelnor = QLX_BIN_DIR "/Velnor.dll";

// Names the dynamic symbol table defines, as `nm -D --defined-only` lists them.
std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
  std::set<std::string> names;
  FILE* listing = popen(("nm -D --defined-only '" + library + "'").c_str(), "r");
  if (listing == nullptr) return names;
  char line[1024];
  while (std::fgets(line, sizeof line, listing) != nullptr) {
    char type = 0;
    char name[1024] = "";
    // "<address> <type> <name>"
    if (std::sscanf(line, "%*s %c %1023s", &type, name) == 2) names.insert(name);
  }
  pclose(listing);
  return names;
}

TEST(VelnorExports, ExactlyTheVendorNamesAndTheTwoOwnOnes) {
  std::set<std::string> expected = {"PTRobot_InitializeEx", "PTRobot_DestroyEx"};
#define VELNOR_EXPECT_NAME(Name, Params, Args) expected.insert(#Name);
  PTROBOT_FUNCTIONS(VELNOR_EXPECT_NAME)
#undef VELNOR_EXPECT_NAME
  ASSERT_EQ(expected.size(), 45u);
  EXPECT_EQ(DefinedDynamicSymbols(kVelnor), expected);
}

TEST(VelnorExports, EveryExportResolvesByName) {
  VelnorLibrary velnor(kVelnor);
  ASSERT_TRUE(velnor.Loaded());
  const VelnorApi& api = velnor.Api();
#define VELNOR_EXPECT_RESOLVED(Name, Params, Args) EXPECT_NE(api.Name, nullptr) << #Name;
  PTROBOT_FUNCTIONS(VELNOR_EXPECT_RESOLVED)
#undef VELNOR_EXPECT_RESOLVED
  EXPECT_NE(api.PTRobot_InitializeEx, nullptr);
  EXPECT_NE(api.PTRobot_DestroyEx, nullptr);
}

}  // namespace
}  // namespace qlx::proxytest
