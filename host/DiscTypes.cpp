#include "host/DiscTypes.h"

#include <Poco/AutoPtr.h>
#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/String.h>
#include <Poco/Util/IniFileConfiguration.h>

namespace qlx::host {

namespace {

struct DiscTypeRow {
  const char* name;
  const char* key;
  uint64_t defaultMiB;
};

constexpr DiscTypeRow kDiscTypes[] = {
    {"CD", "CD_MaxMB", 690},         {"DVD", "DVD_MaxMB", 4403},    {"DVDDL", "DVDDL_MaxMB", 7987},
    {"BD25", "BD25_MaxMB", 22528},   {"BD50", "BD50_MaxMB", 45056}, {"BD100", "BD100_MaxMB", 94924},
    {"BD128", "BD128_MaxMB", 121344}};

constexpr int32_t kTypeCount = 7;

}  // namespace

int32_t DiscTypeByName(const std::string& name) {
  for (int32_t type = 1; type <= kTypeCount; ++type) {
    if (Poco::icompare(name, std::string(kDiscTypes[type - 1].name)) == 0) return type;
  }
  return 0;
}

std::string DiscTypeName(int32_t type) {
  return type >= 1 && type <= kTypeCount ? kDiscTypes[type - 1].name : "";
}

std::string DiscTypeChoices() {
  std::string choices;
  for (const auto& row : kDiscTypes)
    choices += (choices.empty() ? "" : "|") + std::string(row.name);
  return choices;
}

uint64_t DiscCapacity(int32_t type, const std::string& folder) {
  if (type < 1 || type > kTypeCount) return 0;
  uint64_t mebibytes[kTypeCount];
  for (int32_t i = 0; i < kTypeCount; ++i) mebibytes[i] = kDiscTypes[i].defaultMiB;
  try {
    const std::string path = folder + "assign_disc.ini";
    if (Poco::File(path).exists()) {
      Poco::AutoPtr<Poco::Util::IniFileConfiguration> ini(
          new Poco::Util::IniFileConfiguration(path));
      // In table order, like the plug-in: a bad value keeps it and every
      // later key at the default.
      for (int32_t i = 0; i < type; ++i) {
        mebibytes[i] = ini->getUInt64(kDiscTypes[i].key, kDiscTypes[i].defaultMiB);
      }
    }
  } catch (const Poco::Exception&) {
    // The plug-in logs this itself and keeps the defaults as well.
  }
  return mebibytes[type - 1] << 20;
}

}  // namespace qlx::host
